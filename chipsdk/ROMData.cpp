// Chip and mask-ROM identification and the parameter-table layouts.

#include <zqscan/ROMData.h>
#include <zqscan/SFData.h>
#include <zqscan/XUOptDev.h>
#include "sdk_internal.h"

#include <cstring>

extern "C" {

const USHORT RomStringAddr[ROMSTRADDRCNT] = {0x9FF8, 0xD2B2, 0xDFF8, 0xBFF8, 0xC7F8, 0xAFF8};

#define ROM_ROW(addr, family, ver, b6, b7, sfType, code1, code2, bypass, f0, f1, f2, f3, f4, f5)   \
    {                                                                                              \
        addr, {family[0], family[1], family[2], 'R', '0', ver, b6, b7}, sfType, code1, code2,      \
            bypass, f0, f1, f2, f3, f4, f5                                                         \
    }

// clang-format off
const ROM_INFO RomInfo[ROMCOUNT] = {
    //      string   family ver  b6    b7    SFType code1   code2  Bypass  newest swErase disCmd generic compact lc
    ROM_ROW(0x9FF8, "220", 0x01, 0x00, 0x00, 0x3C5, 0,      0,     0xA000, 1, 0, 0, 0, 0, 0),
    ROM_ROW(0x9FF8, "225", 0x03, 0x00, 0x00, 0x31D, 0,      0x1E8, 0xA000, 1, 0, 0, 0, 0, 0),
    ROM_ROW(0x9FF8, "250", 0x01, 0x00, 0x00, 0x530, 0,      0x1E8, 0xA000, 0, 0, 0, 0, 0, 0),
    ROM_ROW(0x9FF8, "250", 0x02, 0x00, 0x00, 0x5F0, 0,      0x1E8, 0xA000, 1, 0, 0, 0, 0, 0),
    ROM_ROW(0xD2B2, "230", 0x01, 0x00, 0x00, 0x530, 0,      0x1E8, 0xE000, 0, 0, 0, 0, 0, 0),
    ROM_ROW(0xDFF8, "230", 0x02, 0x00, 0x00, 0x5E0, 0,      0x1E8, 0xE000, 0, 1, 0, 0, 0, 0),
    ROM_ROW(0xDFF8, "230", 0x03, 0x00, 0x03, 0x5F0, 0,      0x1E8, 0xE000, 1, 1, 0, 0, 0, 0),
    ROM_ROW(0xDFF8, "231", 0x01, 0x00, 0x01, 0x5F0, 0,      0x1E8, 0xE000, 0, 1, 0, 0, 0, 0),
    ROM_ROW(0xDFF8, "216", 0x01, 0x00, 0x01, 0x5F0, 0,      0x148, 0xE000, 1, 1, 1, 1, 0, 0),
    ROM_ROW(0xBFF8, "215", 0x01, 0x00, 0x00, 0x5F0, 0,      0x1E8, 0xC000, 1, 0, 0, 0, 0, 0),
    ROM_ROW(0xBFF8, "236", 0x01, 0x00, 0x00, 0x690, 0,      0x1E8, 0xC000, 0, 0, 0, 0, 0, 0),
    ROM_ROW(0xBFF8, "236", 0x02, 0x00, 0x02, 0x5F0, 0,      0x1E8, 0xC000, 1, 1, 0, 0, 0, 0),
    ROM_ROW(0xBFF8, "256", 0x01, 0x00, 0x01, 0x5F0, 0,      0x1E8, 0xC000, 1, 1, 1, 0, 0, 0),
    ROM_ROW(0xBFF8, "231", 0x02, 0x10, 0x01, 0x5F0, 0x6000, 0x61E8, 0xC000, 1, 1, 1, 0, 0, 0),
    ROM_ROW(0xBFF8, "266", 0x01, 0x00, 0x01, 0x5F0, 0,      0x1E8, 0xC000, 1, 1, 1, 0, 0, 0),
    ROM_ROW(0xBFF8, "276", 0x01, 0x40, 0x06, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 0, 0),
    ROM_ROW(0xBFF8, "275", 0x01, 0x30, 0x05, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 0, 0),
    ROM_ROW(0xBFF8, "290", 0x01, 0x60, 0x07, 0x5F0, 0,      0x148, 0xC000, 0, 1, 1, 1, 0, 0),
    ROM_ROW(0xBFF8, "290", 0x02, 0x61, 0x20, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 0),
    ROM_ROW(0xBFF8, "286", 0x01, 0x41, 0x19, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xBFF8, "288", 0x01, 0x42, 0x21, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xBFF8, "288", 0x01, 0x42, 0x21, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xBFF8, "270", 0x01, 0x43, 0x22, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xBFF8, "271", 0x01, 0x43, 0x22, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xBFF8, "280", 0x01, 0x45, 0x23, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xBFF8, "281", 0x01, 0x45, 0x23, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xC7F8, "232", 0x01, 0x20, 0x05, 0x5F0, 0,      0x148, 0xE000, 0, 1, 1, 1, 0, 0),
    ROM_ROW(0xC7F8, "232", 0x02, 0x50, 0x07, 0x5F0, 0,      0x148, 0xE000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xAFF8, "272", 0x01, 0x46, 0x25, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xAFF8, "273", 0x01, 0x46, 0x25, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xAFF8, "275", 0x01, 0x46, 0x25, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xAFF8, "283", 0x01, 0x46, 0x24, 0x5F0, 0,      0x148, 0xC000, 0, 1, 1, 0, 1, 0),
    ROM_ROW(0x9FF8, "292", 0x01, 0x61, 0x08, 0x5F0, 0,      0x148, 0xC000, 0, 1, 1, 0, 1, 0),
    ROM_ROW(0xAFF8, "287", 0x01, 0x46, 0x31, 0x5F0, 0,      0x148, 0xC000, 0, 1, 1, 0, 1, 0),
    ROM_ROW(0xAFF8, "267", 0x01, 0x46, 0x32, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 1, 1),
    ROM_ROW(0xAFF8, "276", 0x01, 0x46, 0x35, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 1, 0, 0),
    ROM_ROW(0xAFF8, "285", 0x01, 0x46, 0x36, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 0, 1, 0),
    ROM_ROW(0xAFF8, "286", 0x01, 0x46, 0x36, 0x5F0, 0,      0x148, 0xC000, 1, 1, 1, 0, 1, 0),
};
// clang-format on

#undef ROM_ROW

unsigned int uiRomID = 0;

} // extern "C"

namespace
{

namespace reg = zq::chip::reg;

using zq::chip::fitsWithin;

// ---- chip classification ---------------------------------------------------

struct ChipClass {
    BYTE id;
    DSP_ROM_TYPE romType;
    DSP_ARCH_TYPE arch;
};

const ChipClass kChipClasses[] = {
    {0x15, DRT_64K, DAT_FIRST},   {0x16, DRT_64K, DAT_FIRST},   {0x22, DRT_64K, DAT_FIRST},
    {0x23, DRT_64K, DAT_FIRST},   {0x25, DRT_64K, DAT_FIRST},   {0x32, DRT_64K, DAT_FIRST},
    {0x33, DRT_64K, DAT_FIRST},   {0x56, DRT_64K, DAT_FIRST},   {0x70, DRT_64K, DAT_FIRST},
    {0x71, DRT_64K, DAT_FIRST},   {0x75, DRT_64K, DAT_FIRST},   {0x87, DRT_64K, DAT_FIRST},
    {0x88, DRT_64K, DAT_FIRST},   {0x90, DRT_64K, DAT_FIRST},   {0x67, DRT_32K, DAT_FIRST},
    {0x76, DRT_128K, DAT_FIRST},  {0x83, DRT_128K, DAT_FIRST},  {0x92, DRT_128K, DAT_FIRST},
    {0x85, DRT_128K, DAT_SECOND}, {0x86, DRT_256K, DAT_SECOND},
};

const ChipClass *classify(BYTE id)
{
    for (const ChipClass &c : kChipClasses)
        if (c.id == id)
            return &c;
    return nullptr;
}

// ---- ROM version -------------------------------------------------------------

constexpr int kVersionByte = 5;
constexpr int kFamilyDigit = 2;
constexpr int kRevisionDigit = 4;

bool rowMatches(const ROM_INFO &row, const BYTE *data)
{
    if (std::memcmp(row.RomString, data, 4) != 0)
        return false;
    const BYTE wanted = row.RomString[kVersionByte];
    return row.IsNewestVer ? data[kVersionByte] >= wanted : data[kVersionByte] == wanted;
}

// The fixed-address registers the ROM probes use.

BYTE readRegister(USHORT addr)
{
    BYTE value = 0;
    XU_ReadFromASIC(addr, &value);
    return value;
}

// Makes one GPIO an input with its pull-up and reads its level.  The
// output latch is left with the pin's bit set; *latch receives it.
bool probePullUp(int bit, BYTE *latch)
{
    const BYTE mask = BYTE(1u << bit);
    const BYTE enables = readRegister(reg::kGpioEnable) & BYTE(~mask);
    *latch = readRegister(reg::kGpioOut) | mask;
    XU_WriteToASIC(reg::kGpioEnable, enables);
    XU_WriteToASIC(reg::kGpioOut, *latch);
    return readRegister(reg::kGpioIn) & mask;
}

void releasePullUp(int bit, BYTE latch)
{
    XU_WriteToASIC(reg::kGpioOut, latch & BYTE(~(1u << bit)));
}

// The chip id as read with the id-select bit 4 of 0x100A cleared, which
// tells sibling chips that share a ROM apart.
BYTE siblingChipId()
{
    const BYTE select = readRegister(reg::kIdSelect);
    XU_WriteToASIC(reg::kIdSelect, select & ~0x10);
    const BYTE id = readRegister(reg::kChipId);
    XU_WriteToASIC(reg::kIdSelect, select);
    return id;
}

void probe276(BYTE *data)
{
    const BYTE value = readRegister(reg::kRevision) | 0x70;
    XU_WriteToASIC(reg::kRevision, value);
    if ((readRegister(reg::kRevision) & 0x70) == 0x70)
        data[kRevisionDigit] = '1';
}

void probe288(BYTE *data)
{
    if (readRegister(reg::kChipId) == 0x89) {
        data[kFamilyDigit] = '9';
        uiRomID = ROM289V1;
        return;
    }
    BYTE latch = 0;
    if (probePullUp(5, &latch))
        data[kRevisionDigit] = '1';
    else
        releasePullUp(5, latch);
}

// ROMs 271 and 281 serve a sibling chip too, of family digit 0, which
// answers with its own id.
void probeSibling(BYTE *data, BYTE siblingId, unsigned int rom)
{
    if (siblingChipId() == siblingId) {
        data[kFamilyDigit] = '0';
        uiRomID = rom;
    }
}

// Pin 3 pulled up marks revision 1; the pin is released again.
bool probeRevisionOneOnPin3(BYTE *data, BYTE *latch)
{
    if (!probePullUp(3, latch))
        return false;
    data[kRevisionDigit] = '1';
    releasePullUp(3, *latch);
    return true;
}

void probe271(BYTE *data)
{
    probeSibling(data, 0x70, ROM270V1);
    BYTE latch = 0;
    if (probeRevisionOneOnPin3(data, &latch))
        return;
    if (probePullUp(4, &latch)) {
        data[kRevisionDigit] = '0';
    } else if (uiRomID == ROM270V1) {
        data[kRevisionDigit] = '2';
        releasePullUp(4, latch);
    }
}

void probe281(BYTE *data)
{
    probeSibling(data, 0x80, ROM280V1);
    BYTE latch = 0;
    if (!probeRevisionOneOnPin3(data, &latch))
        data[kRevisionDigit] = '0';
}

// ---- parameter-table layouts -------------------------------------------------

enum class Layout { None, Fixed, ShortTable, LongTable, Default, Image216 };
enum class Source { Flash, Image };

constexpr BYTE kAnyByte6 = 0;

struct LayoutRow {
    const char *family; // the first four bytes of the version string
    BYTE version;
    BYTE byte6; // required byte 6, or kAnyByte6
    bool imageOnly;
    Layout layout;
};

const LayoutRow kLayouts[] = {
    {"232R", 1, kAnyByte6, false, Layout::Fixed},
    {"275R", 1, '0', false, Layout::Fixed},
    {"276R", 1, kAnyByte6, false, Layout::Fixed},
    {"290R", 1, kAnyByte6, false, Layout::Fixed},
    {"232R", 2, kAnyByte6, false, Layout::ShortTable},
    {"290R", 2, kAnyByte6, false, Layout::ShortTable},
    {"286R", 1, kAnyByte6, false, Layout::ShortTable},
    {"288R", 1, kAnyByte6, false, Layout::ShortTable},
    {"289R", 1, kAnyByte6, false, Layout::ShortTable},
    {"270R", 1, kAnyByte6, false, Layout::ShortTable},
    {"271R", 1, kAnyByte6, false, Layout::ShortTable},
    {"280R", 1, kAnyByte6, false, Layout::ShortTable},
    {"281R", 1, kAnyByte6, false, Layout::ShortTable},
    {"272R", 1, kAnyByte6, false, Layout::LongTable},
    {"273R", 1, kAnyByte6, false, Layout::LongTable},
    {"275R", 1, 'F', false, Layout::LongTable},
    {"283R", 1, 'F', false, Layout::LongTable},
    {"285R", 1, 'F', true, Layout::LongTable},
    {"287R", 1, 'F', false, Layout::LongTable},
    {"267R", 1, 'F', false, Layout::LongTable},
    {"292R", 1, kAnyByte6, false, Layout::LongTable},
};

Layout layoutFor(const BYTE *version, Source source)
{
    if (std::memcmp(version, "231R", 4) == 0 && version[kVersionByte] > 1)
        return Layout::None;
    for (const LayoutRow &row : kLayouts)
        if (std::memcmp(version, row.family, 4) == 0 && version[kVersionByte] == row.version &&
            (row.byte6 == kAnyByte6 || version[6] == row.byte6) &&
            (!row.imageOnly || source == Source::Image))
            return row.layout;
    if (source == Source::Image && std::memcmp(version, "216R", 4) == 0)
        return Layout::Image216;
    return Layout::Default;
}

constexpr ULONG kTableBlock = 0x160;
constexpr ULONG kShortTableSize = 32;
constexpr ULONG kLongTableSize = 43;

ULONG bigEndian32(const BYTE *p)
{
    return ULONG(p[0]) << 24 | ULONG(p[1]) << 16 | ULONG(p[2]) << 8 | ULONG(p[3]);
}

struct TableAddresses {
    ULONG start, end, crc;
};

// Reads the sector table of the layout from flash or image.
bool readTableBlock(Source source, const BYTE *image, ULONG imageLength, BYTE *t, ULONG size)
{
    if (source == Source::Flash)
        return XU_ReadFormSF(LONG(kTableBlock), t, LONG(size));
    if (!fitsWithin(kTableBlock, size, imageLength)) {
        zq::failWith("the image of %lu bytes ends before its layout block", imageLength);
        return false;
    }
    std::memcpy(t, image + kTableBlock, size);
    return true;
}

bool locate(Source source, const BYTE *version, const BYTE *image, ULONG imageLength,
            TableAddresses &a)
{
    BYTE t[kLongTableSize] = {};
    switch (layoutFor(version, source)) {
    case Layout::None:
        zq::failWith("this ROM version keeps no parameter table the SDK can locate");
        return false;
    case Layout::Fixed:
        a = {0xC000, 0xCF00, 0xCF00};
        break;
    case Layout::ShortTable:
        if (!readTableBlock(source, image, imageLength, t, kShortTableSize))
            return false;
        a.start = ULONG(t[8]) * 0x100;
        a.end = a.start + ULONG(t[9]) * 0x100;
        a.crc = ULONG(t[14]) * 0x100;
        break;
    case Layout::LongTable:
        if (!readTableBlock(source, image, imageLength, t, kLongTableSize))
            return false;
        a.start = bigEndian32(t + 15);
        a.end = a.start + bigEndian32(t + 19);
        a.crc = bigEndian32(t + 39);
        break;
    case Layout::Default:
        a = {0x8000, 0x8800, 0};
        break;
    case Layout::Image216:
        a = {0x5800, 0x6700, 0x6700};
        break;
    }
    // Nothing read from a device or an image is trusted as an address.
    const ULONG limit = imageLength < ULONG(SF_WINDOW_LIMIT) ? imageLength : SF_WINDOW_LIMIT;
    if (a.start <= a.end && a.end <= limit && fitsWithin(a.crc, zq::chip::kCrcOffset + 2, limit))
        return true;
    zq::failWith("the parameter table (0x%lX to 0x%lX, checksum at 0x%lX) lies beyond the "
                 "0x%lX bytes within reach",
                 a.start, a.end, a.crc, limit);
    return false;
}

// The layout follows the chip's ROM version, read afresh each time.
bool locateOnChip(Source source, const BYTE *image, ULONG imageLength, TableAddresses &a)
{
    BYTE version[ROM_STRING_SIZE + 2] = {};
    return XU_GetAsicRomVersion(version) && locate(source, version, image, imageLength, a);
}

BOOL report(bool found, const TableAddresses &a, ULONG *start, ULONG *end, ULONG *crc)
{
    if (!found)
        return 0;
    if (start)
        *start = a.start;
    if (end)
        *end = a.end;
    if (crc)
        *crc = a.crc;
    return 1;
}

constexpr DWORD kStringRead = 64;
constexpr DWORD kMaxDescriptorChars = (kStringRead - 2) / 2;
constexpr DWORD kMaxPlainChars = 32;

} // namespace

namespace zq::chip
{

BOOL paramTableFromImage(const BYTE *image, ULONG imageLength, ULONG *start, ULONG *end, ULONG *crc)
{
    if (!image) {
        failWith("no firmware image given (null pointer)");
        return 0;
    }
    TableAddresses a{};
    return report(locateOnChip(Source::Image, image, imageLength, a), a, start, end, crc);
}

} // namespace zq::chip

extern "C" {

BOOL XU_GetChipID(LONG idAddr, BYTE *pChipID)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        BYTE value = 0;
        if (XU_ReadFromASIC(USHORT(idAddr), &value)) {
            if (pChipID)
                *pChipID = value;
            return 1;
        }
    }
    return 0;
}

DSP_ROM_TYPE XU_GetChipRomType(BYTE *pChipID, DSP_ARCH_TYPE *pAsicArchType)
{
    BYTE ids[DSP_ARCH_COUNT] = {};
    for (int arch = DAT_FIRST; arch < DSP_ARCH_COUNT; ++arch) {
        BYTE &id = ids[arch];
        if (!XU_GetChipID(g_AsicArchInfo[arch].asicIdAddr, &id))
            return DRT_Unknow;
        const ChipClass *c = classify(id);
        if (!c)
            continue;
        if (pChipID)
            *pChipID = id;
        if (pAsicArchType)
            *pAsicArchType = c->arch;
        XU_SetAsicArchInfo(c->arch);
        return c->romType;
    }
    zq::failWith("chip ids 0x%02X and 0x%02X (one in each register map) are none the SDK knows",
                 ids[DAT_FIRST], ids[DAT_SECOND]);
    return DRT_Unknow;
}

BOOL XU_ReadFromROM(LONG addr, BYTE *data)
{
    if (!data) {
        zq::failWith("XU_ReadFromROM: no place for the bytes (null pointer)");
        return 0;
    }
    BYTE control[XU_WINDOW_CONTROL_SIZE] = {BYTE(addr & 0xFF), BYTE((addr >> 8) & 0xFF), 0x08};
    if (XU_Set_Cur(g_curExtendUnitID, XU_CS_ROM_WINDOW, sizeof(control), control) < 0 ||
        XU_Get_Cur(g_curExtendUnitID, XU_CS_ROM_WINDOW, sizeof(control), control) < 0)
        return 0;
    std::memcpy(data, control + 3, ROM_STRING_SIZE);
    return 1;
}

BOOL XU_DefGetAsicRomVersion(BYTE *data)
{
    if (!data) {
        zq::failWith("XU_DefGetAsicRomVersion: no place for the version (null pointer)");
        return 0;
    }
    for (USHORT addr : RomStringAddr) {
        BYTE read[ROM_STRING_SIZE];
        if (!XU_ReadFromROM(addr, read))
            continue;
        for (unsigned row = 0; row < ROMCOUNT; ++row) {
            if (RomInfo[row].RomStringAddr != addr || !rowMatches(RomInfo[row], read))
                continue;
            std::memcpy(data, read, ROM_STRING_SIZE);
            uiRomID = row;
            return 1;
        }
    }
    zq::failWith("no ROM version the SDK knows at any of the %d places one may lie",
                 int(ROMSTRADDRCNT));
    return 0;
}

BOOL XU_GetAsicRomVersion(BYTE *data)
{
    if (!XU_DefGetAsicRomVersion(data))
        return 0;
    switch (uiRomID) {
    case ROM276V1:
        probe276(data);
        break;
    case ROM288V1:
        probe288(data);
        break;
    case ROM271V1:
        probe271(data);
        break;
    case ROM281V1:
        probe281(data);
        break;
    default:
        break;
    }
    return 1;
}

BOOL XU_GetParaTableAndCRCAddrFormSF(ULONG *paraTableStartAddr, ULONG *paraTableEndAddr,
                                     ULONG *crcAddr)
{
    TableAddresses a{};
    return report(locateOnChip(Source::Flash, nullptr, ULONG(SF_WINDOW_LIMIT), a), a,
                  paraTableStartAddr, paraTableEndAddr, crcAddr);
}

BOOL XU_GetParaTableAndCRCAddrFormFW(BYTE *pFW, ULONG *paraTableStartAddr, ULONG *paraTableEndAddr,
                                     ULONG *crcAddr)
{
    return zq::chip::paramTableFromImage(pFW, ULONG(SF_WINDOW_LIMIT), paraTableStartAddr,
                                         paraTableEndAddr, crcAddr);
}

BOOL XU_GetParaTableAndCRCAddrFormImage(const BYTE *romVersion, const BYTE *pFW, ULONG fwLength,
                                        ULONG *paraTableStartAddr, ULONG *paraTableEndAddr,
                                        ULONG *crcAddr)
{
    if (!romVersion || !pFW) {
        zq::failWith("XU_GetParaTableAndCRCAddrFormImage: no ROM version or no image (null "
                     "pointer)");
        return 0;
    }
    TableAddresses a{};
    return report(locate(Source::Image, romVersion, pFW, fwLength, a), a, paraTableStartAddr,
                  paraTableEndAddr, crcAddr);
}

BOOL XU_GetStringSettingFormSF(BYTE *pbyString, DWORD stringSize, DWORD StringOffset,
                               BOOL bIsCRCProtect)
{
    if (!pbyString && stringSize) {
        zq::failWith("no buffer for a string of up to %u bytes (null pointer)", stringSize);
        return 0;
    }
    ULONG start = 0;
    ULONG end = 0;
    ULONG crc = 0;
    if (!XU_GetParaTableAndCRCAddrFormSF(&start, &end, &crc))
        return 0;
    BYTE raw[kStringRead] = {};
    if (!XU_ReadFormSF(LONG((bIsCRCProtect ? start : crc) + StringOffset), raw, kStringRead))
        return 0;
    BYTE text[kStringRead];
    DWORD length = 0;
    if (bIsCRCProtect) {
        // A USB string descriptor; only the low byte of each UTF-16 unit.
        length = raw[0] < 2 ? 0 : (raw[0] - 2) / 2u;
        if (length > kMaxDescriptorChars)
            length = kMaxDescriptorChars;
        for (DWORD i = 0; i < length; ++i)
            text[i] = raw[2 + 2 * i];
    } else {
        while (length < kMaxPlainChars && raw[length] != 0xFF) {
            text[length] = raw[length];
            ++length;
        }
    }
    if (length > stringSize) {
        zq::failWith("the string's %u characters do not fit %u bytes", length, stringSize);
        return 0;
    }
    if (length)
        std::memcpy(pbyString, text, length);
    return 1;
}

} // extern "C"
