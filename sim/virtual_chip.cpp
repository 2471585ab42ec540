#include "virtual_chip.h"

#include <linux/usb/video.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>

namespace zq::sim
{
namespace
{

int fail(int errnum)
{
    errno = errnum;
    return -1;
}

// clang-format off
const ChipRegisterMap kMaps[2] = {
    // id    ready   gpioIn  gpioOut gpioOE  sfMode  sfCS    sfWr    sfRd    sfTrg   i2cDev  i2cMode i2cTrg  i2cScl  i2cSlv  i2cData
    {0x101F, 0x1084, 0x1005, 0x1006, 0x1007, 0x1080, 0x1091, 0x1082, 0x1083, 0x1081, 0x10D0, 0x10D9, 0x10D7, 0x10D8, 0x10D1, 0x10D2},
    {0x80F0, 0x8E04, 0x8200, 0x8201, 0x8202, 0x8E00, 0x8E11, 0x8E02, 0x8E03, 0x8E01, 0x8600, 0x8609, 0x8607, 0x8608, 0x8601, 0x8602},
};
// clang-format on

// Selectors of the extension unit and their sizes.
constexpr uint8_t kRegisterSelector = 1;
constexpr uint8_t kFlashSelector = 3;
constexpr uint8_t kRomSelector = 4;
constexpr uint8_t kMemoryTypeSelector = 5;
constexpr uint16_t kRegisterSize = 4;
constexpr uint16_t kWindowSize = 11;

// Fixed registers of the chip family.
constexpr uint16_t kIdSelect = 0x100A;
constexpr uint8_t kIdSelectBit = 0x10;
constexpr uint16_t kRevision = 0x1185;
constexpr uint8_t kRevisionBits = 0x70;
constexpr uint16_t kFirmwareWriteEnable = 0x05F3;
constexpr uint16_t kFirmwareProgram = 0x05F5;
constexpr uint16_t kFirmwareKey = 0x05F8;
constexpr uint8_t kKey[4] = {0x12, 0x12, 0xED, 0xED};

// I2C control and status bits.
constexpr uint8_t kI2cStart = 0x80;
constexpr uint8_t kI2cRead = 0x02;
constexpr uint8_t kI2cDone = 0x04;
constexpr uint8_t kI2cError = 0x08;
constexpr uint8_t kI2cStatusBits = kI2cDone | kI2cError;
constexpr int kI2cSlots = 5;

const FlashPart &partNamed(const std::string &name)
{
    const FlashPart *part = findFlashPart(name);
    if (!part) {
        std::fprintf(stderr, "virtual chip: unknown flash part %s\n", name.c_str());
        std::abort();
    }
    return *part;
}

} // namespace

const ChipRegisterMap &ChipConfig::registerMap(int architecture)
{
    return kMaps[architecture == 1 ? 1 : 0];
}

VirtualChip::VirtualChip(ChipConfig config)
    : config_(std::move(config)), map_(ChipConfig::registerMap(config_.architecture)),
      flash_(partNamed(config_.flashPart), config_.flashTiming), sensor_(config_.sensor),
      registers_(0x10000, 0), rom_(0x10000, 0)
{
    registers_[kIdSelect] = kIdSelectBit;
    for (size_t i = 0; i < config_.romString.size(); ++i)
        rom_[(config_.romStringAddr + i) & 0xFFFF] = config_.romString[i];
    auto &memory = flash_.contents();
    std::copy_n(config_.flashContents.begin(),
                std::min(memory.size(), config_.flashContents.size()), memory.begin());
    flash_.setStatus(config_.flashStatus);
    updateWriteProtect();
}

VirtualChip::~VirtualChip()
{
    if (persistPath_.empty())
        return;
    if (FILE *file = std::fopen(persistPath_.c_str(), "wb")) {
        std::fwrite(flash_.contents().data(), 1, flash_.contents().size(), file);
        std::fclose(file);
    }
}

bool VirtualChip::pinLevel(int pin) const
{
    const uint8_t mask = uint8_t(1u << pin);
    if (registers_[map_.gpioEnable] & mask)
        return registers_[map_.gpioOut] & mask;
    if (config_.pinsTiedHigh & mask)
        return true;
    if (config_.pinsTiedLow & mask)
        return false;
    return registers_[map_.gpioOut] & mask; // the latch selects the pull-up
}

void VirtualChip::failQuery(int nth, int errnum)
{
    faults_.push_back({queries_ + nth, queries_ + nth, -1, errnum});
}

void VirtualChip::failFrom(int nth, int errnum)
{
    faults_.push_back({queries_ + nth, LONG_MAX, -1, errnum});
}

void VirtualChip::failOnSelector(uint8_t selector, int nth, int errnum)
{
    const long at = selectorQueries_[selector] + nth;
    faults_.push_back({at, at, selector, errnum});
}

long VirtualChip::queries(uint8_t selector, uint8_t query) const
{
    const auto it = counts_.find(uint16_t(selector << 8 | query));
    return it == counts_.end() ? 0 : it->second;
}

bool VirtualChip::injectedFault(uint8_t selector, int &errnum)
{
    const long onSelector = ++selectorQueries_[selector];
    if (unplugged_) {
        errnum = ENODEV;
        return true;
    }
    for (const Fault &f : faults_) {
        const long count = f.selector < 0 ? queries_ : f.selector == selector ? onSelector : -1;
        if (count >= f.from && count <= f.to) {
            errnum = f.errnum;
            return true;
        }
    }
    return false;
}

int VirtualChip::query(uvc_xu_control_query &q)
{
    ++queries_;
    ++counts_[uint16_t(q.selector << 8 | q.query)];
    Transfer t{q.unit, q.selector, q.query, q.size, {}, {}, 0};
    // Sizes beyond the largest control are refused below; nothing to copy.
    const bool copyBytes = keepLog_ && q.data && q.size <= kWindowSize;
    if (copyBytes)
        t.sent.assign(q.data, q.data + q.size);
    int errnum = 0;
    const int result = injectedFault(q.selector, errnum) ? fail(errnum) : dispatch(q);
    t.error = result < 0 ? errno : 0;
    if (copyBytes)
        t.received.assign(q.data, q.data + q.size);
    if (keepLog_)
        log_.push_back(std::move(t));
    if (result < 0)
        errno = t.error;
    return result;
}

// The driver's checks come first: unit, selector, size and request.
int VirtualChip::dispatch(const uvc_xu_control_query &q)
{
    if (config_.unitId == 0 || q.unit != config_.unitId)
        return fail(ENOENT);
    uint16_t size = 0;
    switch (q.selector) {
    case kRegisterSelector:
        size = kRegisterSize;
        break;
    case kFlashSelector:
    case kRomSelector:
    case kMemoryTypeSelector:
        size = kWindowSize;
        break;
    default:
        return fail(ENOENT);
    }
    if (q.size != size)
        return fail(ENOBUFS);
    if (!q.data)
        return fail(EFAULT);
    if (q.query != UVC_SET_CUR && q.query != UVC_GET_CUR)
        return fail(EINVAL);
    switch (q.selector) {
    case kRegisterSelector:
        return registerControl(q);
    case kFlashSelector:
        return flashWindow(q);
    case kRomSelector:
        return romWindow(q);
    default:
        return memoryTypeControl(q);
    }
}

// ---- selector 1: registers ---------------------------------------------------

int VirtualChip::registerControl(const uvc_xu_control_query &q)
{
    uint8_t *d = q.data;
    if (q.query == UVC_SET_CUR) {
        latchedRegister_ = uint16_t(d[0] | d[1] << 8);
        if (d[3] != 0xFF)
            writeRegister(latchedRegister_, d[2]);
        return 0;
    }
    d[0] = uint8_t(latchedRegister_);
    d[1] = uint8_t(latchedRegister_ >> 8);
    d[2] = readRegister(latchedRegister_);
    d[3] = 0;
    return 0;
}

uint8_t VirtualChip::readRegister(uint16_t addr)
{
    if (addr == map_.chipId)
        return config_.siblingId && !(registers_[kIdSelect] & kIdSelectBit) ? *config_.siblingId
                                                                            : config_.chipId;
    if (addr == map_.gpioIn) {
        uint8_t levels = 0;
        for (int pin = 0; pin < 8; ++pin)
            levels |= pinLevel(pin) ? uint8_t(1u << pin) : 0;
        return levels;
    }
    if (addr == map_.sfReady) {
        if (engineBusy_ == 0)
            return 1;
        if (engineBusy_ > 0)
            --engineBusy_;
        return 0;
    }
    if (addr == map_.i2cControl) {
        const uint8_t control = registers_[addr] & ~kI2cStatusBits;
        if (i2cBusy_ > 0) {
            --i2cBusy_;
            return control;
        }
        return control | i2cStatus_;
    }
    if (addr == kRevision && !config_.revisionRegister)
        return registers_[addr] & ~kRevisionBits;
    return registers_[addr];
}

void VirtualChip::writeRegister(uint16_t addr, uint8_t value)
{
    if (addr == map_.chipId || addr == map_.gpioIn || addr == map_.sfReady)
        return;
    registers_[addr] = value;
    if (addr == map_.sfMode && !(value & 1) && flashSelected_) {
        flash_.deselect();
        flashSelected_ = false;
    } else if (addr == map_.sfSelect && (registers_[map_.sfMode] & 1)) {
        flashSelected_ = !(value & 1);
        flashSelected_ ? flash_.select() : flash_.deselect();
    } else if (addr == map_.sfTrigger) {
        flashEngineTrigger(value);
    } else if (addr == map_.i2cControl) {
        i2cStatus_ = 0;
    } else if (addr == map_.i2cTrigger && (value & 0x10)) {
        i2cTrigger();
    } else if (addr == map_.gpioOut || addr == map_.gpioEnable) {
        updateWriteProtect();
    }
}

// 1 shifts the write-data byte out, 2 shifts a byte in; the ready flag
// drops for the configured number of reads.
void VirtualChip::flashEngineTrigger(uint8_t value)
{
    if (flashSelected_ && value == 1)
        flash_.transfer(registers_[map_.sfWriteData]);
    else if (flashSelected_ && value == 2)
        registers_[map_.sfReadData] = flash_.transfer(registers_[map_.sfReadData]);
    engineBusy_ = config_.engineBusyPolls;
}

void VirtualChip::i2cTrigger()
{
    i2cBusy_ = config_.i2cBusyPolls;
    i2cStatus_ = 0;
    if (!config_.sensor.answers)
        return; // no done bit, ever
    const uint8_t control = registers_[map_.i2cControl];
    const int count = (control >> 4) & 0x07;
    uint8_t *slots = &registers_[map_.i2cData];
    bool ok = (control & kI2cStart) && (registers_[map_.i2cMode] & 1) && count <= kI2cSlots;
    const uint8_t slave = registers_[map_.i2cSlave];
    if (ok && (control & kI2cRead)) {
        std::vector<uint8_t> bytes;
        ok = sensor_.read(slave, count, bytes);
        for (int i = 0; ok && i < count; ++i)
            slots[kI2cSlots - count + i] = bytes[size_t(i)];
    } else if (ok) {
        ok = sensor_.write(slave, std::vector<uint8_t>(slots, slots + count));
    }
    i2cStatus_ = kI2cDone | (ok ? 0 : kI2cError);
}

void VirtualChip::updateWriteProtect()
{
    const int pin = config_.writeProtectGpio;
    flash_.setWriteProtectPin(pin < 0 || (pinLevel(pin) != config_.writeProtectInverted));
}

// ---- selector 3: the flash data window -----------------------------------------

int VirtualChip::flashWindow(const uvc_xu_control_query &q)
{
    uint8_t *d = q.data;
    if (q.query == UVC_SET_CUR) {
        const int count = d[2] & 0x0F;
        if (count == 0 || count > 8 || (d[2] & 0x40))
            return fail(EPIPE); // the device stalls
        const uint32_t addr = uint32_t((d[2] >> 4) & 0x03) << 16 | d[1] << 8 | d[0];
        if (d[2] & 0x80)
            std::memcpy(windowControl_, d, 3);
        else
            windowWrite(addr, count, d + 3);
        return 0;
    }
    if (!(windowControl_[2] & 0x80))
        return fail(EPIPE);
    std::memcpy(d, windowControl_, 3);
    std::memset(d + 3, 0, kWindowSize - 3);
    const uint32_t addr = uint32_t((windowControl_[2] >> 4) & 0x03) << 16 | windowControl_[1] << 8 |
                          windowControl_[0];
    windowRead(addr, windowControl_[2] & 0x0F, d + 3);
    return 0;
}

// The window runs ordinary SPI commands on the flash.
void VirtualChip::windowRead(uint32_t addr, int count, uint8_t *into)
{
    flash_.select();
    for (uint8_t b : {uint8_t(0x03), uint8_t(addr >> 16), uint8_t(addr >> 8), uint8_t(addr)})
        flash_.transfer(b);
    for (int i = 0; i < count; ++i)
        into[i] = flash_.transfer(0);
    flash_.deselect();
    auto next = [this] { return (flipState_ = flipState_ * 1103515245u + 12345u) >> 8; };
    for (int i = 0; i < count && config_.readFlips > 0; ++i)
        if (double(next()) < config_.readFlips * double(1u << 24))
            into[i] ^= uint8_t(1u << (next() % 8));
}

bool VirtualChip::firmwareUnlocked() const
{
    return std::memcmp(&registers_[kFirmwareKey], kKey, sizeof(kKey)) == 0;
}

void VirtualChip::windowWrite(uint32_t addr, int count, const uint8_t *from)
{
    uint8_t writeEnable = 0x06;
    uint8_t program = 0x02;
    if (config_.windowWritesLost)
        return;
    if (config_.firmwareGuardsFlash) {
        if (!firmwareUnlocked())
            return;
        writeEnable = registers_[kFirmwareWriteEnable];
        program = registers_[kFirmwareProgram];
    }
    flash_.select();
    flash_.transfer(writeEnable);
    flash_.deselect();
    flash_.select();
    for (uint8_t b : {program, uint8_t(addr >> 16), uint8_t(addr >> 8), uint8_t(addr)})
        flash_.transfer(b);
    for (int i = 0; i < count; ++i)
        flash_.transfer(from[i]);
    flash_.deselect();
}

// ---- selectors 4 and 5 -------------------------------------------------------------

int VirtualChip::romWindow(const uvc_xu_control_query &q)
{
    uint8_t *d = q.data;
    if (q.query == UVC_SET_CUR) {
        if ((d[2] & 0x0F) == 0 || (d[2] & 0x0F) > 8)
            return fail(EPIPE);
        romAddress_ = uint16_t(d[0] | d[1] << 8);
        return 0;
    }
    d[0] = uint8_t(romAddress_);
    d[1] = uint8_t(romAddress_ >> 8);
    d[2] = 0x08;
    for (int i = 0; i < 8; ++i)
        d[3 + i] = rom_[(romAddress_ + i) & 0xFFFF];
    return 0;
}

int VirtualChip::memoryTypeControl(const uvc_xu_control_query &q)
{
    if (q.query != UVC_GET_CUR)
        return fail(EBADRQC); // a read-only control
    std::memset(q.data, 0, kWindowSize);
    q.data[2] = config_.memoryType;
    return 0;
}

} // namespace zq::sim
