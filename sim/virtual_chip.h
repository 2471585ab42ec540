// The camera's controller chip behind its UVC extension unit: a register
// space with the chip id, GPIOs, the serial-flash engine and the I2C engine;
// the flash data window; the mask-ROM window; the memory type.  Every query
// is logged and counted, and queries can be made to fail.
#ifndef ZQ_SIM_VIRTUAL_CHIP_H
#define ZQ_SIM_VIRTUAL_CHIP_H

#include "i2c_sensor.h"
#include "spi_flash.h"

#include <linux/uvcvideo.h>

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zq::sim
{

// The registers of one controller architecture that the model gives a
// meaning to.
struct ChipRegisterMap {
    uint16_t chipId, sfReady, gpioIn, gpioOut, gpioEnable, sfMode, sfSelect, sfWriteData,
        sfReadData, sfTrigger, i2cControl, i2cMode, i2cTrigger, i2cSclSelect, i2cSlave, i2cData;
};

struct ChipConfig {
    uint8_t unitId = 3; // extension unit id; 0: the camera has none
    uint8_t chipId = 0x76;
    int architecture = 0; // 0: registers from 0x1000, 1: from 0x8000
    // What the id register reads while bit 4 of 0x100A is clear (sibling
    // chips that share a ROM); nullopt: the same id.
    std::optional<uint8_t> siblingId;
    // Mask ROM: a version string at its address.
    uint16_t romStringAddr = 0xBFF8;
    std::array<uint8_t, 8> romString{'2', '7', '6', 'R', '0', 0x01, 0x40, 0x06};
    bool revisionRegister = false; // bits 4 to 6 of 0x1185 exist (a later revision)
    uint8_t pinsTiedLow = 0;       // GPIO inputs held low on the board
    uint8_t pinsTiedHigh = 0;      // GPIO inputs held high on the board
    uint8_t memoryType = 0;
    // The firmware refuses flash writes through the data window until its
    // command registers are unlocked and given the flash's opcodes.
    bool firmwareGuardsFlash = false;
    std::string flashPart = "MX25L512";
    std::vector<uint8_t> flashContents; // placed at address 0
    uint8_t flashStatus = 0;
    int writeProtectGpio = -1;         // GPIO wired to the flash's WP# pin; -1: none
    bool writeProtectInverted = false; // an inverter sits between GPIO and WP#
    FlashTiming flashTiming;
    int engineBusyPolls = 0; // ready-flag reads that show busy after a flash byte
    int i2cBusyPolls = 0;    // status reads before an I2C transfer shows done
    SensorConfig sensor;

    // Faults of the flash window: this share of the bytes read through it
    // come with one bit flipped (damaged on the way, the flash itself
    // intact); writes through it are lost (the flash erases, but takes no data).
    double readFlips = 0;
    bool windowWritesLost = false;

    static const ChipRegisterMap &registerMap(int architecture);
};

struct Transfer {
    uint8_t unit, selector, query;
    uint16_t size;
    std::vector<uint8_t> sent;     // the bytes handed in
    std::vector<uint8_t> received; // the bytes after the query
    int error;                     // 0 or the errno it failed with
};

class VirtualChip
{
  public:
    explicit VirtualChip(ChipConfig config);
    ~VirtualChip();
    VirtualChip(const VirtualChip &) = delete;
    VirtualChip &operator=(const VirtualChip &) = delete;

    const ChipConfig &config() const { return config_; }
    SpiFlash &flash() { return flash_; }
    I2cSensor &sensor() { return sensor_; }
    uint8_t peek(uint16_t addr) const { return registers_[addr]; }
    void poke(uint16_t addr, uint8_t value) { registers_[addr] = value; }
    // The level on a GPIO pin as the board sees it.
    bool pinLevel(int pin) const;

    // Faults, counted from now: 1 = the next query.
    void failQuery(int nth, int errnum = EPIPE);
    void failFrom(int nth, int errnum = EPIPE);
    // The nth query on one selector fails, counted from now.
    void failOnSelector(uint8_t selector, int nth, int errnum = EPIPE);
    void unplug() { unplugged_ = true; }
    // Saves the flash to this file when the chip goes away.
    void persistTo(std::string path) { persistPath_ = std::move(path); }

    // What tests look at.
    const std::vector<Transfer> &log() const { return log_; }
    void clearLog() { log_.clear(); }
    void keepLog(bool keep) { keepLog_ = keep; }
    long queries() const { return queries_; }
    long queries(uint8_t selector, uint8_t query) const;

    // The UVC driver's extension-unit query; 0 or -1 with errno set.
    int query(uvc_xu_control_query &q);
    void elapse(long long micros) { flash_.elapse(micros); }

  private:
    int dispatch(const uvc_xu_control_query &q);
    int registerControl(const uvc_xu_control_query &q);
    int flashWindow(const uvc_xu_control_query &q);
    int romWindow(const uvc_xu_control_query &q);
    int memoryTypeControl(const uvc_xu_control_query &q);
    bool injectedFault(uint8_t selector, int &errnum);

    uint8_t readRegister(uint16_t addr);
    void writeRegister(uint16_t addr, uint8_t value);
    void flashEngineTrigger(uint8_t value);
    void i2cTrigger();
    void updateWriteProtect();

    void windowRead(uint32_t addr, int count, uint8_t *into);
    void windowWrite(uint32_t addr, int count, const uint8_t *from);
    bool firmwareUnlocked() const;

    ChipConfig config_;
    const ChipRegisterMap &map_;
    SpiFlash flash_;
    I2cSensor sensor_;
    std::vector<uint8_t> registers_;
    std::vector<uint8_t> rom_;
    uint16_t latchedRegister_ = 0;
    uint8_t windowControl_[3] = {};
    uint16_t romAddress_ = 0;
    bool flashSelected_ = false;
    int engineBusy_ = 0;
    uint8_t i2cStatus_ = 0;
    int i2cBusy_ = 0;
    uint32_t flipState_ = 1; // the generator that picks the bytes readFlips damages

    std::vector<Transfer> log_;
    bool keepLog_ = true;
    long queries_ = 0;
    std::map<uint16_t, long> counts_; // selector << 8 | query
    struct Fault {
        long from, to; // in queries, or in queries on the selector
        int selector;  // -1: any
        int errnum;
    };
    std::map<uint8_t, long> selectorQueries_;
    std::vector<Fault> faults_;
    bool unplugged_ = false;
    std::string persistPath_;
};

} // namespace zq::sim

#endif
