// A SPI NOR flash as the controller's flash engine sees it: JEDEC id, a
// status register with busy, write-enable latch, block-protect and
// status-write-disable bits, a write-protect pin, sector/block/chip erase
// that leave 0xFF and stay busy for a while, and page programming that can
// only clear bits.  Commands arrive byte by byte between select and
// deselect; writing commands take effect at deselect, as on the real part.
#ifndef ZQ_SIM_SPI_FLASH_H
#define ZQ_SIM_SPI_FLASH_H

#include <cstdint>
#include <string>
#include <vector>

namespace zq::sim
{

struct EraseOpcode {
    uint8_t opcode;
    uint32_t size; // 0: the whole chip
};

// One flash part: what it answers to.  Opcodes a part does not list are
// ignored, as the real part ignores them.
struct FlashPart {
    const char *name;
    uint8_t jedecId[3];
    uint32_t size;
    EraseOpcode erase[4];
    uint8_t programOpcodes[2]; // 0: unused entry
};

// The parts the virtual chip can carry; nullptr when the name is unknown.
const FlashPart *findFlashPart(const std::string &name);

namespace flash_status
{
constexpr uint8_t kBusy = 0x01;
constexpr uint8_t kWriteEnable = 0x02;
constexpr uint8_t kBlockProtect = 0x1C; // any bit set protects the whole array
constexpr uint8_t kWriteDisable = 0x80; // with the WP pin low the status is read-only
} // namespace flash_status

struct FlashTiming {
    int busyPolls = 3;            // status reads an erase stays busy for
    long long busyMicros = 50000; // or this much time, whichever ends first
};

class SpiFlash
{
  public:
    SpiFlash(const FlashPart &part, FlashTiming timing = {});

    const FlashPart &part() const { return part_; }
    std::vector<uint8_t> &contents() { return memory_; }
    const std::vector<uint8_t> &contents() const { return memory_; }
    uint8_t status() const;
    void setStatus(uint8_t status) { status_ = status & ~flash_status::kBusy; }
    bool busy() const { return busyPolls_ > 0 && busyMicros_ > 0; }

    // The bus.
    void select();
    void deselect();
    uint8_t transfer(uint8_t out);
    // WP# level: low together with the status-write-disable bit locks the status.
    void setWriteProtectPin(bool high) { wpHigh_ = high; }
    void elapse(long long micros) { busyMicros_ -= micros; }

    // What tests look at.
    int erasesDone() const { return erases_; }
    int programsDone() const { return programs_; }

  private:
    uint8_t respond();
    void execute();
    void erase(uint32_t size);
    void program();
    void writeStatus();
    uint32_t address() const;
    bool isProgramOpcode(uint8_t opcode) const;
    const EraseOpcode *eraseOpcode(uint8_t opcode) const;
    bool writable() const;

    const FlashPart &part_;
    FlashTiming timing_;
    std::vector<uint8_t> memory_;
    std::vector<uint8_t> command_; // the bytes received since select
    bool selected_ = false;
    uint8_t status_ = 0;
    bool statusWriteEnabled_ = false; // EWSR, for parts that use it
    bool wpHigh_ = true;
    int busyPolls_ = 0;
    long long busyMicros_ = 0;
    uint32_t readOffset_ = 0;
    int erases_ = 0;
    int programs_ = 0;
};

} // namespace zq::sim

#endif
