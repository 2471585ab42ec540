#include "spi_flash.h"

#include <algorithm>

namespace zq::sim
{
namespace
{

constexpr uint8_t kWriteEnable = 0x06;
constexpr uint8_t kWriteDisable = 0x04;
constexpr uint8_t kReadStatus = 0x05;
constexpr uint8_t kWriteStatus = 0x01;
constexpr uint8_t kEnableWriteStatus = 0x50;
constexpr uint8_t kRead = 0x03;
constexpr uint8_t kReadId = 0x9F;
constexpr uint32_t kPage = 256;
constexpr size_t kAddressEnd = 4; // opcode and three address bytes

// clang-format off
const FlashPart kParts[] = {
    // name          JEDEC id           size     erase opcodes                                   program
    {"MX25L512",   {0xC2, 0x20, 0x10}, 0x10000, {{0x20, 0x1000}, {0x52, 0x10000}, {0xD8, 0x10000}, {0x60, 0}}, {0x02, 0}},
    {"MX25L1005",  {0xC2, 0x20, 0x11}, 0x20000, {{0x20, 0x1000}, {0x52, 0x10000}, {0xD8, 0x10000}, {0xC7, 0}}, {0x02, 0}},
    {"W25X20",     {0xEF, 0x30, 0x12}, 0x40000, {{0x20, 0x1000}, {0x52, 0x8000}, {0xD8, 0x10000}, {0xC7, 0}},  {0x02, 0}},
    {"M25P10",     {0x20, 0x20, 0x11}, 0x20000, {{0xD8, 0x8000}, {0xC7, 0}, {0, 0}, {0, 0}},                  {0x02, 0}},
    {"PM25LV512",  {0x9D, 0x7B, 0x7F}, 0x10000, {{0xD7, 0x1000}, {0xD8, 0x8000}, {0xC7, 0}, {0, 0}},          {0x02, 0}},
    {"SST25VF512", {0xBF, 0x48, 0xBF}, 0x10000, {{0x20, 0x1000}, {0x52, 0x8000}, {0x60, 0}, {0, 0}},          {0x02, 0xAF}},
    {"GD25Q20",    {0xC8, 0x40, 0x12}, 0x40000, {{0x20, 0x1000}, {0x52, 0x8000}, {0xD8, 0x10000}, {0x60, 0}}, {0x02, 0}},
    {"EN25F10",    {0x1C, 0x31, 0x11}, 0x20000, {{0x20, 0x1000}, {0x52, 0x8000}, {0xD8, 0x10000}, {0x60, 0}}, {0x02, 0}},
};
// clang-format on

} // namespace

const FlashPart *findFlashPart(const std::string &name)
{
    for (const FlashPart &p : kParts)
        if (name == p.name)
            return &p;
    return nullptr;
}

SpiFlash::SpiFlash(const FlashPart &part, FlashTiming timing)
    : part_(part), timing_(timing), memory_(part.size, 0xFF)
{
}

uint8_t SpiFlash::status() const
{
    return status_ | (busy() ? flash_status::kBusy : 0);
}

void SpiFlash::select()
{
    selected_ = true;
    command_.clear();
}

void SpiFlash::deselect()
{
    if (selected_ && !command_.empty())
        execute();
    selected_ = false;
    command_.clear();
}

uint8_t SpiFlash::transfer(uint8_t out)
{
    if (!selected_)
        return 0xFF;
    command_.push_back(out);
    return respond();
}

// What the part drives on its output while the byte just received went in.
uint8_t SpiFlash::respond()
{
    const uint8_t opcode = command_[0];
    if (command_.size() < 2)
        return 0xFF;
    if (opcode == kReadStatus) {
        const uint8_t value = status();
        if (busyPolls_ > 0)
            --busyPolls_;
        return value;
    }
    if (busy())
        return 0xFF; // a busy part answers nothing but its status
    if (opcode == kReadId)
        return command_.size() - 2 < 3 ? part_.jedecId[command_.size() - 2] : 0xFF;
    if (opcode == kRead && command_.size() > kAddressEnd)
        return memory_[(address() + command_.size() - kAddressEnd - 1) % part_.size];
    return 0xFF;
}

uint32_t SpiFlash::address() const
{
    return (uint32_t(command_[1]) << 16 | uint32_t(command_[2]) << 8 | command_[3]) % part_.size;
}

bool SpiFlash::isProgramOpcode(uint8_t opcode) const
{
    return opcode && (opcode == part_.programOpcodes[0] || opcode == part_.programOpcodes[1]);
}

const EraseOpcode *SpiFlash::eraseOpcode(uint8_t opcode) const
{
    for (const EraseOpcode &e : part_.erase)
        if (e.opcode && e.opcode == opcode)
            return &e;
    return nullptr;
}

bool SpiFlash::writable() const
{
    return (status_ & flash_status::kWriteEnable) && !(status_ & flash_status::kBlockProtect);
}

// A command ends at deselect.  A busy part ignores everything; every
// writing command, carried out or refused, clears the write-enable latch.
void SpiFlash::execute()
{
    if (busy())
        return;
    const uint8_t opcode = command_[0];
    const bool writing = opcode == kWriteStatus || isProgramOpcode(opcode) || eraseOpcode(opcode);
    if (opcode == kWriteEnable)
        status_ |= flash_status::kWriteEnable;
    else if (opcode == kWriteDisable)
        status_ &= ~flash_status::kWriteEnable;
    else if (opcode == kEnableWriteStatus)
        statusWriteEnabled_ = true;
    else if (opcode == kWriteStatus)
        writeStatus();
    else if (isProgramOpcode(opcode))
        program();
    else if (const EraseOpcode *e = eraseOpcode(opcode))
        erase(e->size);
    if (writing) {
        status_ &= ~flash_status::kWriteEnable;
        statusWriteEnabled_ = false;
    }
}

void SpiFlash::writeStatus()
{
    const bool enabled = (status_ & flash_status::kWriteEnable) || statusWriteEnabled_;
    const bool locked = (status_ & flash_status::kWriteDisable) && !wpHigh_;
    if (command_.size() < 2 || !enabled || locked)
        return;
    status_ = command_[1] & (flash_status::kBlockProtect | flash_status::kWriteDisable);
}

void SpiFlash::erase(uint32_t size)
{
    const bool whole = size == 0;
    if (!writable() || (!whole && command_.size() < kAddressEnd))
        return;
    const uint32_t start = whole ? 0 : address() / size * size;
    const uint32_t length = whole ? part_.size : size;
    std::fill(memory_.begin() + start, memory_.begin() + start + length, 0xFF);
    busyPolls_ = timing_.busyPolls;
    busyMicros_ = timing_.busyMicros;
    ++erases_;
}

void SpiFlash::program()
{
    if (!writable() || command_.size() <= kAddressEnd)
        return;
    // Within one page the address wraps, as on the real part.
    const uint32_t page = address() / kPage * kPage;
    uint32_t offset = address() % kPage;
    for (size_t i = kAddressEnd; i < command_.size(); ++i) {
        memory_[page + offset] &= command_[i];
        offset = (offset + 1) % kPage;
    }
    ++programs_;
}

} // namespace zq::sim
