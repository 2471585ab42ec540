// Serial-flash access: the data window, the flash engine's raw SPI
// commands, erasing and lifting the write protection.

#include <zqscan/SFData.h>
#include <zqscan/ROMData.h>
#include <zqscan/XUOptDev.h>
#include "sdk_internal.h"
#include "sys.h"

#include <cstring>
#include <initializer_list>

extern "C" {

// clang-format off
// Command sets: the standard SPI NOR opcodes each row stands for (row 0
// serves no flash).  Only the write-enable and program columns are used
// here, when the firmware's own flash commands are unlocked.
const BYTE cbSFLib_Cmd[SF_CMD_ROWS][SF_CMD_COLUMNS] = {
    // read  write-enable  program  write-status  chip-erase  sector-erase  write-disable
    {0x03,   0x04,         0x03,    0x05,         0x03,       0x03,         0x04},
    {0x03,   0x06,         0x02,    0x01,         0x60,       0x20,         0x04},
    {0x03,   0x06,         0x02,    0x01,         0x60,       0x20,         0x04},
    {0x03,   0x06,         0x02,    0x01,         0xC7,       0xD7,         0x04},
    {0x03,   0x06,         0xAF,    0x01,         0x60,       0x20,         0x04},
};

const BYTE cbSFLib_ID[SF_ID_ROWS][SF_ID_COLUMNS] = {
    // manufacturer  id 1  id 2  family            command row  last
    {0x00,           0x00, 0x00, SFT_UNKNOW,       0,           0},
    {0xC2,           0x20, 0x10, SFT_MXIC,         1,           1},
    {0xC2,           0x22, 0x10, SFT_MXIC,         1,           1},
    {0xC2,           0x20, 0x13, SFT_MXIC,         1,           1},
    {0x1F,           0x65, 0x01, SFT_ATMEL_AT25F,  2,           1},
    {0x9D,           0x20, 0xFF, SFT_PMC,          3,           1},
    {0x9D,           0x7B, 0xFF, SFT_PMC,          3,           1},
    {0x9D,           0x10, 0xFF, SFT_PMC,          3,           1},
    {0xBF,           0x48, 0xFF, SFT_SST,          4,           1},
    {0x20,           0x20, 0x11, SFT_ST,           1,           1},
    {0x8C,           0x30, 0x10, SFT_ESMT,         1,           1},
    {0xC8,           0x40, 0x10, SFT_GIGA,         1,           1},
    {0xC8,           0x40, 0x13, SFT_GIGA,         1,           1},
    {0xEF,           0x30, 0x10, SFT_WINBOND,      1,           1},
    {0xEF,           0x30, 0x11, SFT_WINBOND,      1,           1},
    {0x5E,           0x60, 0x13, SFT_FENTECH,      1,           1},
    {0x5E,           0x60, 0x12, SFT_FENTECH,      1,           1},
    {0xC2,           0x20, 0x11, SFT_MXIC,         1,           1},
};
// clang-format on

BYTE ubSFLib_CmdID = 0;
BYTE sfManufactureID = 0;
BYTE sfDeviceID1 = 0;
BYTE sfDeviceID2 = 0;

} // extern "C"

namespace
{

namespace reg = zq::chip::reg;

// SPI NOR flash commands.
constexpr BYTE kWriteEnable = 0x06;
constexpr BYTE kReadStatus = 0x05;
constexpr BYTE kWriteStatus = 0x01;
constexpr BYTE kEnableWriteStatus = 0x50;
constexpr BYTE kBusy = 0x01;

constexpr BYTE kReadId = 0x9F;
// GPIO 2, which some ROMs wire to the flash's protect input.
constexpr BYTE kProtectPinBit = 0x04;

constexpr BYTE kWindowRead = 0x80;
constexpr int kWindowData = 3;
constexpr int kWindowMax = 8;
constexpr int kReadyPolls = 50;
constexpr int kStatusAttempts = 10000;
constexpr unsigned kPollSleepUs = 1000;

// ---- the flash data window -------------------------------------------------

// The eleven window bytes for a transfer of count bytes at addr.
void windowHeader(BYTE *control, LONG addr, BYTE count, bool read)
{
    const LONG bank = addr > 0x2FFFF ? 3 : addr >> 16;
    control[0] = BYTE(addr & 0xFF);
    control[1] = BYTE((addr >> 8) & 0xFF);
    control[2] = BYTE((read ? kWindowRead : 0) | (bank << 4) | count);
}

bool windowReaches(LONG addr)
{
    return addr >= 0 && addr < SF_WINDOW_LIMIT;
}

// Whether the window carries count bytes at addr from or to data.
bool windowTransfer(LONG addr, const BYTE *data, BYTE count)
{
    if (!data)
        zq::failWith("no buffer for the flash data (null pointer)");
    else if (count == 0 || count > kWindowMax)
        zq::failWith("%u bytes: a flash window transfer carries 1 to %d", count, kWindowMax);
    else if (!windowReaches(addr))
        zq::failWith("flash address 0x%lX lies beyond the window's reach (0x%lX)", addr,
                     SF_WINDOW_LIMIT);
    else
        return true;
    return false;
}

// ---- the flash engine ------------------------------------------------------

BOOL manualMode(bool on)
{
    return XU_WriteToASIC(sfModeAddr, on ? 1 : 0);
}
BOOL select()
{
    return XU_WriteToASIC(sfCSAddr, 0);
}
BOOL release()
{
    return XU_WriteToASIC(sfCSAddr, 1);
}

BOOL sendByte(BYTE value)
{
    return XU_WriteToASIC(sfWriteDataAddr, value) && XU_WriteToASIC(sfReadWriteTriggerAddr, 1) &&
           XU_SFWaitReady();
}

BOOL receiveByte(BYTE *value)
{
    return XU_WriteToASIC(sfReadDataAddr, 0) && XU_WriteToASIC(sfReadWriteTriggerAddr, 2) &&
           XU_SFWaitReady() && XU_ReadFromASIC(sfReadDataAddr, value);
}

// One selected command of the given bytes.
BOOL command(std::initializer_list<BYTE> bytes)
{
    if (!select())
        return 0;
    for (BYTE b : bytes)
        if (!sendByte(b))
            return 0;
    return release();
}

// Erase of a sector or block at addr: write enable, then the command and
// the address.  The flash's busy status is left to the caller's wait.
BOOL eraseAt(LONG addr, BYTE opcode)
{
    manualMode(true);
    command({kWriteEnable});
    command({opcode, BYTE((addr >> 16) & 0xFF), BYTE((addr >> 8) & 0xFF), BYTE(addr & 0xFF)});
    XU_SFWaitReady();
    manualMode(false);
    return 1;
}

// Erase commands by flash family; every family not listed takes the default.
struct FamilyOpcode {
    SERIAL_FLASH_TYPE family;
    BYTE opcode;
};

BYTE opcodeFor(SERIAL_FLASH_TYPE sft, std::initializer_list<FamilyOpcode> table, BYTE fallback)
{
    for (const FamilyOpcode &row : table)
        if (row.family == sft)
            return row.opcode;
    return fallback;
}

BYTE sectorEraseOpcode(SERIAL_FLASH_TYPE sft)
{
    return opcodeFor(sft, {{SFT_ST, 0xD8}, {SFT_PMC, 0xD7}}, 0x20);
}

BYTE blockEraseOpcode(SERIAL_FLASH_TYPE sft)
{
    return opcodeFor(sft, {{SFT_ST, 0xD8}, {SFT_GIGA, 0xD8}, {SFT_FENTECH, 0xD8}}, 0x52);
}

BYTE chipEraseOpcode(SERIAL_FLASH_TYPE sft)
{
    return opcodeFor(sft, {{SFT_ST, 0xC7}, {SFT_WINBOND, 0xC7}, {SFT_PMC, 0xC7}, {SFT_AMIC, 0xC7}},
                     0x60);
}

// ---- flash size ------------------------------------------------------------

struct FlashPart {
    BYTE id[3]; // JEDEC manufacturer, device id 1 and 2
    LONG size;
};

// clang-format off
const FlashPart kFlashParts[] = {
    {{0xC2, 0x20, 0x10}, 0x10000}, // MX25L512
    {{0xC2, 0x20, 0x11}, 0x20000}, // MX25L1005
    {{0xC2, 0x20, 0x12}, 0x40000}, // MX25L2005
    {{0xC2, 0x20, 0x13}, 0x80000}, // MX25L4005
    {{0xEF, 0x30, 0x10}, 0x10000}, // W25X05
    {{0xEF, 0x30, 0x11}, 0x20000}, // W25X10
    {{0xEF, 0x30, 0x12}, 0x40000}, // W25X20
    {{0xEF, 0x30, 0x13}, 0x80000}, // W25X40
    {{0xC8, 0x40, 0x10}, 0x10000}, // GD25Q512
    {{0xC8, 0x40, 0x11}, 0x20000}, // GD25Q10
    {{0xC8, 0x40, 0x12}, 0x40000}, // GD25Q20
    {{0xC8, 0x40, 0x13}, 0x80000}, // GD25Q40
    {{0x20, 0x20, 0x10}, 0x10000}, // M25P05
    {{0x20, 0x20, 0x11}, 0x20000}, // M25P10
    {{0x20, 0x20, 0x12}, 0x40000}, // M25P20
    {{0x9D, 0x7B, 0x7F}, 0x10000}, // PM25LV512
    {{0x9D, 0x7C, 0x7F}, 0x20000}, // PM25LV010
    {{0x1F, 0x65, 0x01}, 0x10000}, // AT25F512
};
// clang-format on

const FlashPart *knownPart(const BYTE *id)
{
    for (const FlashPart &p : kFlashParts)
        if (std::memcmp(p.id, id, sizeof p.id) == 0)
            return &p;
    return nullptr;
}

// A flash ignores the address bits above its size, so its first bytes
// reappear at its size: the smallest power of two from 64 KiB at which
// every sample reads the same as at 0 is the size.
constexpr LONG kSmallestFlash = 0x10000;
constexpr int kWrapSamples = 16;

bool sameAt(LONG addr, LONG otherAddr, bool &same)
{
    BYTE a[kWindowMax];
    BYTE b[kWindowMax];
    if (!XU_ReadDataFormFlash(addr, a, kWindowMax) ||
        !XU_ReadDataFormFlash(otherAddr, b, kWindowMax))
        return false;
    same = std::memcmp(a, b, kWindowMax) == 0;
    return true;
}

bool sizeFromWrap(LONG *size)
{
    LONG candidate = kSmallestFlash;
    for (; candidate < SF_WINDOW_LIMIT; candidate *= 2) {
        bool wraps = true;
        for (int i = 0; wraps && i < kWrapSamples; ++i) {
            const LONG addr = candidate / kWrapSamples * i;
            if (!sameAt(addr, addr + candidate, wraps))
                return false;
        }
        if (wraps)
            break;
    }
    *size = candidate;
    return true;
}

// ---- write protection ------------------------------------------------------

// Where the firmware keeps its write-protect setting, by chip id; -1: none.
struct WriteProtectAddress {
    BYTE chipId;
    LONG addr;
};
// clang-format off
const WriteProtectAddress kWriteProtectAddresses[] = {
    // chip id  setting's flash address
    {0x16,      0x5834},
    {0x32,      0xC034},
    {0x76,      0xC034},
    {0x33,      0x000F},
    {0x75,      0xB034},
    {0x71,      -1},
    {0x85,      -1},
};
// clang-format on
constexpr LONG kDefaultWriteProtectAddress = 0x8034;

BYTE readWriteProtectSetting(BYTE chipId)
{
    LONG addr = kDefaultWriteProtectAddress;
    for (const auto &row : kWriteProtectAddresses)
        if (row.chipId == chipId)
            addr = row.addr;
    BYTE setting = 0xFF;
    if (addr >= 0 && !XU_ReadFormSF(addr, &setting, 1))
        setting = 0xFF;
    return setting;
}

// All GPIO pins that may drive the protect input become high outputs.
void prepareGpio(DSP_ROM_TYPE romType)
{
    BYTE out = 0;
    BYTE enables = 0;
    XU_ReadFromASIC(gpioOutputAddr, &out);
    if (romType == DRT_64K) {
        XU_WriteToASIC(gpioOutputAddr, out | 0x1F);
        XU_ReadFromASIC(gpioOutputAddr, &out);
        XU_ReadFromASIC(gpioOEAddr, &enables);
        XU_WriteToASIC(gpioOEAddr, enables | 0x1F);
    } else {
        XU_WriteToASIC(gpioOutputAddr, 0xFF);
        XU_ReadFromASIC(gpioOutputAddr, &out);
        XU_ReadFromASIC(gpioOEAddr, &enables);
        XU_WriteToASIC(gpioOEAddr, 0xFF);
    }
}

struct ProtectSetting {
    BYTE level; // 0: pin untouched, 1: driven low, other: driven high
    BYTE pin;
    bool newer;
};

ProtectSetting decodeSetting(BYTE wp)
{
    ProtectSetting s{wp, BYTE((wp >> 4) & 0x07), false};
    s.newer = (uiRomID < 30 || uiRomID > 33) && (wp & 0x0C) == 0x08;
    if (!s.newer)
        s.level = wp & 0x03;
    else if ((wp & 0x03) == 2)
        s.level = 1;
    else if ((wp & 0x03) == 3)
        s.level = 2;
    return s;
}

void setBits(USHORT addr, BYTE bits)
{
    BYTE value = 0;
    XU_ReadFromASIC(addr, &value);
    XU_WriteToASIC(addr, value | bits);
}

// The firmware's own flash commands: unlocked with a key, given the
// write-enable and program opcodes of the flash in use.
BOOL unlockFirmwareCommands(const ProtectSetting &s, SERIAL_FLASH_TYPE sft)
{
    const BYTE *row = cbSFLib_Cmd[ubSFLib_CmdID < SF_CMD_ROWS ? ubSFLib_CmdID : 0];
    BYTE unused = 0;
    if (!XU_ReadFromASIC(reg::kFirmwareWriteEnable, &unused) ||
        !XU_WriteToASIC(reg::kFirmwareWriteEnable, s.newer ? row[1] : 0x06))
        return 0;
    for (const reg::KeyByte &key : reg::kFirmwareCommandKey)
        if (!XU_WriteToASIC(key.addr, key.value))
            return 0;
    const BYTE program = s.newer ? row[2] : sft == SFT_SST ? 0xAF : 0x02;
    return XU_ReadFromASIC(reg::kFirmwareProgram, &unused) &&
           XU_WriteToASIC(reg::kFirmwareProgram, program);
}

BOOL driveProtectPin(const ProtectSetting &s)
{
    const BYTE mask = BYTE(1u << s.pin);
    if (uiRomID == ROM292) {
        if (s.level != 0) {
            XU_WriteToASIC(reg::kGpioEnable, mask);
            XU_WriteToASIC(reg::kGpioOut, s.level == 1 ? BYTE(~mask) : mask);
        }
        setBits(reg::kGpioOut, kProtectPinBit);
        setBits(reg::kGpioEnable, kProtectPinBit);
        setBits(reg::kRom292ProtectControl1, 0x01);
        setBits(reg::kRom292ProtectControl2, 0x01);
        return 1;
    }
    if (uiRomID == ROM283 || s.level == 0)
        return 1;
    BYTE enables = 0;
    BYTE levels = 0;
    if (!XU_ReadFromASIC(reg::kGpioEnable, &enables) || !XU_ReadFromASIC(reg::kGpioOut, &levels) ||
        !XU_WriteToASIC(reg::kGpioEnable, enables | mask))
        return 0;
    return XU_WriteToASIC(reg::kGpioOut, s.level == 1 ? BYTE(levels & ~mask) : BYTE(levels | mask));
}

// Status register to 0: no block protected.
BOOL clearFlashStatus(SERIAL_FLASH_TYPE sft)
{
    if (!manualMode(true) || !command({kWriteEnable}) || !XU_SFCMDreadStatus())
        return 0;
    if (sft == SFT_SST && !command({kEnableWriteStatus}))
        return 0;
    return command({kWriteStatus, 0x00}) && XU_SFCMDreadStatus() && manualMode(false);
}

// A row of cbSFLib_ID by the names of its columns.
struct KnownFlash {
    BYTE manufacturer, deviceId1, deviceId2, family, commandSet, last;
};

KnownFlash knownFlash(int row)
{
    const BYTE *c = cbSFLib_ID[row];
    return {c[0], c[1], c[2], c[3], c[4], c[5]};
}

} // namespace

BYTE zq::chip::commandSetFor(SERIAL_FLASH_TYPE family)
{
    for (int row = 1; row < SF_ID_ROWS; ++row)
        if (knownFlash(row).family == family)
            return knownFlash(row).commandSet;
    return 1;
}

extern "C" {

BOOL XU_ReadDataFormFlash(LONG addr, BYTE *pData, BYTE dataLen)
{
    if (!windowTransfer(addr, pData, dataLen))
        return 0;
    BYTE control[XU_WINDOW_CONTROL_SIZE] = {};
    windowHeader(control, addr, dataLen, true);
    if (XU_Set_Cur(g_curExtendUnitID, XU_CS_FLASH_WINDOW, sizeof(control), control) < 0 ||
        XU_Get_Cur(g_curExtendUnitID, XU_CS_FLASH_WINDOW, sizeof(control), control) < 0)
        return 0;
    std::memcpy(pData, control + kWindowData, dataLen);
    return 1;
}

BOOL XU_WriteDataToFlash(LONG addr, BYTE *pData, BYTE dataLen)
{
    if (dataLen > kWindowMax)
        dataLen = kWindowMax;
    if (!windowTransfer(addr, pData, dataLen))
        return 0;
    BYTE control[XU_WINDOW_CONTROL_SIZE] = {};
    windowHeader(control, addr, dataLen, false);
    std::memcpy(control + kWindowData, pData, dataLen);
    return XU_Set_Cur(g_curExtendUnitID, XU_CS_FLASH_WINDOW, sizeof(control), control) == 0;
}

BOOL XU_ReadFormSF(LONG addr, BYTE *pData, LONG len)
{
    if (!zq::chip::validBuffer(pData, len))
        return 0;
    for (LONG done = 0; done < len; done += kWindowMax) {
        const BYTE piece = BYTE(len - done < kWindowMax ? len - done : kWindowMax);
        BYTE buffer[kWindowMax];
        std::memset(buffer, 0xFF, sizeof(buffer));
        if (!XU_ReadDataFormFlash(addr + done, buffer, piece))
            return 0;
        std::memcpy(pData + done, buffer, piece);
    }
    return 1;
}

BOOL XU_SFWaitReady(void)
{
    for (int i = 0; i < kReadyPolls; ++i) {
        if (XU_ReadBitFormAsic(sfRdyAddr, 0))
            return 1;
        zq::sys::usleep(kPollSleepUs);
    }
    zq::failWith("the flash engine stayed busy through %d polls", kReadyPolls);
    return 0;
}

BOOL XU_SFCMDreadStatus(void)
{
    BYTE status = 0;
    for (int i = 0; i < kStatusAttempts; ++i) {
        if (!select() || !sendByte(kReadStatus) || !receiveByte(&status))
            return 0;
        if (!(status & kBusy))
            return release();
        zq::sys::usleep(kPollSleepUs);
    }
    zq::failWith("the flash stayed busy (status 0x%02X) through %d reads", status, kStatusAttempts);
    return 0;
}

BOOL XU_EraseSectorForSerialFlash(LONG addr, SERIAL_FLASH_TYPE sft)
{
    if (!zq::chip::knownFlashType(sft))
        return 0;
    return eraseAt(addr, sectorEraseOpcode(sft));
}

BOOL XU_EraseBlockForSerialFlash(LONG addr, SERIAL_FLASH_TYPE sft)
{
    if (!zq::chip::knownFlashType(sft))
        return 0;
    return eraseAt(addr, blockEraseOpcode(sft));
}

BOOL XU_SerialFlashErase(SERIAL_FLASH_TYPE sft)
{
    manualMode(true);
    if (sft == SFT_SST) {
        command({kEnableWriteStatus});
        command({kWriteStatus, 0x00});
    }
    command({kWriteEnable});
    command({chipEraseOpcode(sft)});
    XU_SFCMDreadStatus();
    manualMode(false);
    return 1;
}

BOOL XU_DisableSerialFlashWriteProtect(SERIAL_FLASH_TYPE sft)
{
    if (!zq::chip::knownFlashType(sft))
        return 0;
    BYTE version[ROM_STRING_SIZE + 2] = {};
    if (!XU_GetAsicRomVersion(version))
        return 0;
    BYTE chipId = 0;
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    const DSP_ROM_TYPE romType = XU_GetChipRomType(&chipId, &arch);
    if (romType == DRT_Unknow)
        return 0;
    prepareGpio(romType);
    const ProtectSetting setting = decodeSetting(readWriteProtectSetting(chipId));
    const ROM_INFO &rom = RomInfo[uiRomID];
    BYTE memType = 0;
    if (rom.IsCompactMode && !XU_GetMemType(&memType))
        memType = 0;
    if (rom.IsDisSFWriteCmd && !unlockFirmwareCommands(setting, sft))
        return 0;
    if (!driveProtectPin(setting))
        return 0;
    if (rom.IsCompactMode && memType == 2)
        return 1;
    if (!clearFlashStatus(sft))
        return 0;
    if (uiRomID == ROM275V2 || uiRomID == ROM283 || uiRomID == ROM287) {
        setBits(reg::kGpioOut, kProtectPinBit);
        setBits(reg::kGpioEnable, kProtectPinBit);
    }
    return 1;
}

LONG ubSFLib_GetIDSize(void)
{
    return SF_ID_ROWS;
}

BOOL XU_ReadSerialFlashID(BYTE *pID)
{
    if (!pID) {
        zq::failWith("XU_ReadSerialFlashID: no place for the id (null pointer)");
        return 0;
    }
    bool read = manualMode(true) && select() && sendByte(kReadId);
    for (int i = 0; read && i < 3; ++i)
        read = receiveByte(&pID[i]);
    // Released and back in normal mode whatever happened.
    const bool released = release();
    return manualMode(false) && released && read;
}

BOOL XU_GetSerialFlashSize(LONG *pSize, BOOL *pByID)
{
    if (!pSize || !pByID) {
        zq::failWith("XU_GetSerialFlashSize: no place for the size (null pointer)");
        return 0;
    }
    BYTE id[3] = {};
    const FlashPart *part = XU_ReadSerialFlashID(id) ? knownPart(id) : nullptr;
    *pByID = part != nullptr;
    if (!part)
        return sizeFromWrap(pSize);
    *pSize = part->size < SF_WINDOW_LIMIT ? part->size : SF_WINDOW_LIMIT;
    return 1;
}

} // extern "C"
