// Firmware burning, export and the parameter-table update.

#include <zqscan/ChipCamera.h>
#include <zqscan/zq_messages.h>
#include "library_log.h"
#include "sdk_internal.h"
#include "sys.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace
{

using zq::chip::chipOpen;
using zq::chip::fitsWithin;
using zq::chip::knownFlashType;
using zq::chip::validBuffer;

constexpr unsigned kEraseWaitUs = 1000000;
constexpr LONG kGroup = 8;
constexpr LONG kProgressStep = 512;
constexpr LONG kEraseCheckStep = 1024;
constexpr LONG kQuickVerifyStep = 1024;
constexpr LONG kDeferred = 0x160; // the layout block, written last
constexpr LONG kDeferredBlanked = 4;
constexpr ULONG kSector = 0x1000;
constexpr ULONG kTableSlotsEnd = 0x180; // the last string slot ends here
constexpr LONG kTableEraseCheckStep = 80;
constexpr LONG kTableQuickVerifyStep = 512;
constexpr LONG kTableProgressStep = 256;

// Nothing may throw across the interface; a failed allocation is the
// call's failure.
template <typename F> BOOL guarded(const char *call, F f)
{
    try {
        return f();
    } catch (...) {
        zq::failWithCurrentException(call);
        return 0;
    }
}

class Progress
{
  public:
    Progress(ChipCam_SetProgress callback, void *context) : callback_(callback), context_(context)
    {
    }
    void report(double fraction) const
    {
        if (callback_)
            callback_(context_, float(fraction));
    }

  private:
    ChipCam_SetProgress callback_;
    void *context_;
};

// The image, padded with 0xFF to whole groups; only the first length
// bytes are the image's own.
struct Image {
    std::vector<BYTE> bytes;
    LONG length;

    Image(const BYTE *data, LONG size)
        : bytes(size_t((size + kGroup - 1) / kGroup * kGroup), 0xFF), length(size)
    {
        std::memcpy(bytes.data(), data, size_t(size));
    }
    BYTE *at(LONG addr) { return bytes.data() + addr; }
};

bool usableImage(const BYTE *data, LONG length)
{
    if (!data)
        zq::failWith("no firmware image given (null pointer)");
    else if (length < CHIPCAM_MIN_FW_LENGTH || length > SF_WINDOW_LIMIT)
        zq::failWith("a firmware image of %ld bytes: images have 0x%X to 0x%lX", length,
                     CHIPCAM_MIN_FW_LENGTH, SF_WINDOW_LIMIT);
    else
        return true;
    return false;
}

bool sameBytes(const BYTE *read, const BYTE *expected, LONG count)
{
    return std::memcmp(read, expected, size_t(count)) == 0;
}

bool allErased(const BYTE *read, LONG count)
{
    for (LONG i = 0; i < count; ++i)
        if (read[i] != 0xFF)
            return false;
    return true;
}

// Whether the group of flash bytes at addr reads as erased; the reason is
// recorded when not.
bool erasedAt(LONG addr)
{
    BYTE read[kGroup];
    if (!XU_ReadDataFormFlash(addr, read, kGroup))
        return false;
    if (allErased(read, kGroup))
        return true;
    zq::failWith("the flash at 0x%lX is not erased after the erase", addr);
    return false;
}

// Whether the group of flash bytes at addr begins with the count expected
// ones; the reason is recorded when not.
bool holdsAt(LONG addr, const BYTE *expected, LONG count)
{
    BYTE read[kGroup];
    if (!XU_ReadDataFormFlash(addr, read, kGroup))
        return false;
    if (sameBytes(read, expected, count))
        return true;
    zq::failWith("the flash at 0x%lX reads back other bytes than were written", addr);
    return false;
}

// ---- whole-image burn -----------------------------------------------------------

// The chip must be known; one chip needs an unlock first.
bool prepareChip()
{
    BYTE chipId = 0;
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    if (XU_GetChipRomType(&chipId, &arch) == DRT_Unknow)
        return false;
    if (chipId == 0x85)
        XU_WriteToASIC(0x5FF, 0x5A);
    return true;
}

bool eraseWholeFlash(SERIAL_FLASH_TYPE sft, LONG length)
{
    if (!XU_DisableSerialFlashWriteProtect(sft) || !XU_SerialFlashErase(sft))
        return false;
    zq::sys::usleep(kEraseWaitUs);
    for (LONG addr = 0; addr < length - kEraseCheckStep; addr += kEraseCheckStep)
        if (!erasedAt(addr))
            return false;
    return true;
}

// Writes every group, the layout block's first bytes as 0xFF until the
// very end: an interrupted burn leaves no layout that looks valid.
bool writeImage(Image &image, const Progress &progress, bool fullCheck)
{
    BYTE deferred[kGroup];
    std::memcpy(deferred, image.at(kDeferred), kGroup);
    std::memset(image.at(kDeferred), 0xFF, kDeferredBlanked);
    const double scale = fullCheck ? 0.5 : 1.0;
    bool written = true;
    for (LONG addr = 0; written && addr < image.length; addr += kGroup) {
        if (addr % kProgressStep == 0)
            progress.report(scale * double(addr) / double(image.length));
        written = XU_WriteDataToFlash(addr, image.at(addr), kGroup);
    }
    std::memcpy(image.at(kDeferred), deferred, kGroup);
    if (!written || !XU_WriteDataToFlash(kDeferred, deferred, kGroup))
        return false;
    progress.report(scale);
    return true;
}

bool verifyImage(Image &image, const Progress &progress, bool fullCheck)
{
    const LONG step = fullCheck ? kGroup : kQuickVerifyStep;
    for (LONG addr = 0; addr < image.length; addr += step) {
        if (fullCheck && addr % kProgressStep == 0)
            progress.report(0.5 + 0.5 * double(addr) / double(image.length));
        const LONG own = image.length - addr < kGroup ? image.length - addr : kGroup;
        if (!holdsAt(addr, image.at(addr), own))
            return false;
    }
    if (fullCheck)
        progress.report(1.0);
    return true;
}

BOOL burn(Image &image, const Progress &progress, SERIAL_FLASH_TYPE sft, bool erase, bool fullCheck)
{
    if (!prepareChip())
        return 0;
    if (erase && !eraseWholeFlash(sft, image.length))
        return 0;
    return writeImage(image, progress, fullCheck) && verifyImage(image, progress, fullCheck);
}

// ---- parameter table --------------------------------------------------------------

struct TextEntry {
    const char *text;
    unsigned int length;
    ULONG offset;
    const char *name;
};

// The entries in the order they are patched.
std::vector<TextEntry> textEntries(const ChangeParamInfo &p)
{
    return {{p.pProduct, p.ProductLength, PARAM_PRODUCT_OFFSET, "product"},
            {p.pManufacture, p.ManufactureLength, PARAM_MANUFACTURER_OFFSET, "manufacturer"},
            {p.pSerialNumber, p.SerialNumberLength, PARAM_SERIAL_NUMBER_OFFSET, "serial number"},
            {p.pString3, p.String3Length, PARAM_STRING3_OFFSET, "string 3"},
            {p.pInterface, p.InterfaceLength, PARAM_INTERFACE_OFFSET, "interface"}};
}

bool textsFit(const ChangeParamInfo &p)
{
    for (const TextEntry &e : textEntries(p))
        if (e.text && e.length > CHIPCAM_MAX_STRING) {
            zq::failWith("the %s text has %u characters, more than %d", e.name, e.length,
                         CHIPCAM_MAX_STRING);
            return false;
        }
    return true;
}

struct Table {
    ULONG start = 0, end = 0, crc = 0;
};

// Locates the table in the image and checks that everything a patch and
// its checksum touch lies inside it.
bool locateTable(const BYTE *image, LONG length, Table &t)
{
    if (!zq::chip::paramTableFromImage(image, ULONG(length), &t.start, &t.end, &t.crc))
        return false;
    if (fitsWithin(t.start, kTableSlotsEnd, ULONG(length)))
        return true;
    zq::failWith("the parameter table at 0x%lX runs past the image's %ld bytes", t.start, length);
    return false;
}

void patchTable(BYTE *image, const Table &t, const ChangeParamInfo &p)
{
    if (p.pVidPid)
        std::memcpy(image + t.start + 6, p.pVidPid, 4);
    for (const TextEntry &e : textEntries(p))
        if (e.text)
            SetParamToParamBuffer(image, LONG(t.start + e.offset),
                                  reinterpret_cast<BYTE *>(const_cast<char *>(e.text)),
                                  LONG(e.length));
    CheckCRC(image, LONG(t.start), LONG(t.end - t.start), LONG(t.crc));
}

uint16_t modbusCrc(const BYTE *data, LONG length)
{
    uint16_t crc = 0xFFFF;
    for (LONG i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

// The step log of the parameter-table update; silent without a file.
class StepLog
{
  public:
    explicit StepLog(const char *path)
    {
        if (!path)
            return;
        file_ = std::fopen(path, "a");
        if (!file_)
            zq::log(ZQ_LOG_WARNING, zq::Console::Out, "Can't open the Log.txt file");
    }
    ~StepLog()
    {
        if (file_)
            std::fclose(file_);
    }
    StepLog(const StepLog &) = delete;
    StepLog &operator=(const StepLog &) = delete;

    void line(const char *text)
    {
        if (!file_)
            return;
        std::fputs(text, file_);
        std::fflush(file_);
    }
    BOOL fail(const char *text)
    {
        line(text);
        return 0;
    }

  private:
    FILE *file_ = nullptr;
};

// The one or two sectors the update rewrites: the table's, and the
// checksum's when it lies in another.
struct Sectors {
    ULONG table, crc;
    bool separate() const { return crc != table; }
};

template <typename F> bool forEachSector(const Sectors &s, LONG offset, F f)
{
    if (s.separate() && !f(LONG(s.crc) + offset))
        return false;
    return f(LONG(s.table) + offset);
}

bool eraseSectors(const Sectors &s, const Table &t, SERIAL_FLASH_TYPE sft)
{
    XU_EraseSectorForSerialFlash(LONG(t.start), sft);
    zq::sys::usleep(kEraseWaitUs);
    if (s.separate()) {
        XU_EraseSectorForSerialFlash(LONG(s.crc), sft);
        zq::sys::usleep(kEraseWaitUs);
    }
    for (LONG off = 0; off < LONG(kSector); off += kTableEraseCheckStep)
        if (!forEachSector(s, off, erasedAt))
            return false;
    return true;
}

bool writeSectors(const Sectors &s, Image &image, const Progress &progress, double scale)
{
    for (LONG off = 0; off < LONG(kSector); off += kGroup) {
        if (off % kTableProgressStep == 0)
            progress.report(scale * double(off) / double(kSector));
        if (!forEachSector(s, off, [&](LONG addr) {
                return XU_WriteDataToFlash(addr, image.at(addr), kGroup);
            }))
            return false;
    }
    progress.report(scale);
    return true;
}

bool checkSectors(const Sectors &s, Image &image, const Progress &progress, bool fullCheck)
{
    const LONG step = fullCheck ? kGroup : kTableQuickVerifyStep;
    for (LONG off = 0; off < LONG(kSector); off += step) {
        if (fullCheck && off % kTableProgressStep == 0)
            progress.report(0.5 + 0.5 * double(off) / double(kSector));
        if (!forEachSector(s, off,
                           [&](LONG addr) { return holdsAt(addr, image.at(addr), kGroup); }))
            return false;
    }
    if (fullCheck)
        progress.report(1.0);
    return true;
}

BOOL updateTable(const BYTE *pFW, LONG length, const ChangeParamInfo &info,
                 const Progress &progress, SERIAL_FLASH_TYPE sft, StepLog &log, bool fullCheck)
{
    Table t;
    if (!usableImage(pFW, length) || !textsFit(info) || !locateTable(pFW, length, t))
        return 0;
    const Sectors sectors{t.start / kSector * kSector, t.crc / kSector * kSector};
    // Both sectors are written whole from the image: they must lie in it.
    if (!fitsWithin(sectors.table, kSector, ULONG(length)) ||
        !fitsWithin(sectors.crc, kSector, ULONG(length))) {
        zq::failWith("the parameter table's sectors at 0x%lX and 0x%lX run past the image's %ld "
                     "bytes",
                     sectors.table, sectors.crc, length);
        return 0;
    }
    Image image(pFW, length);
    log.line("1.Set param table\n");
    patchTable(image.at(0), t, info);
    log.line("2.Start CRC Check\n");
    log.line("3.Start disable flash write protect\n");
    if (!XU_DisableSerialFlashWriteProtect(sft))
        return log.fail("Disable flash write prote fail\n");
    log.line("4.Start erase flash\n");
    if (!eraseSectors(sectors, t, sft))
        return log.fail("Erase flash fail!\n");
    log.line("Erase flash success\n");
    log.line("6.Start burn param table data\n");
    if (!writeSectors(sectors, image, progress, fullCheck ? 0.5 : 1.0))
        return log.fail("Burn param table data fail\n");
    log.line("Burn param table data success\n");
    log.line("7.Start check param table data\n");
    if (!checkSectors(sectors, image, progress, fullCheck))
        return log.fail("Check param table data fail\n");
    log.line("Check param table data success\n");
    return 1;
}

} // namespace

extern "C" {

BOOL CheckCRC(BYTE *pFW, LONG paraTableStartAddr, LONG paraTableLength, LONG crcStartAddr)
{
    if (!pFW || paraTableStartAddr < 0 || paraTableLength < 0 || crcStartAddr < 0) {
        zq::failWith("CheckCRC: no image, or a negative address or length");
        return 0;
    }
    const uint16_t crc = modbusCrc(pFW + paraTableStartAddr, paraTableLength);
    pFW[crcStartAddr + zq::chip::kCrcOffset] = BYTE(crc >> 8);
    pFW[crcStartAddr + zq::chip::kCrcOffset + 1] = BYTE(crc & 0xFF);
    return 1;
}

BOOL SetParamToParamBuffer(BYTE *paramBuffer, LONG paramAddr, BYTE *param, LONG length)
{
    // A 64-byte slot holds the two header bytes and 31 characters.
    if (length > CHIPCAM_MAX_STRING) {
        zq::failWith("a text of %ld characters is longer than %d", length, CHIPCAM_MAX_STRING);
        return 0;
    }
    if (!paramBuffer || paramAddr < 0 || length < 0 || (!param && length)) {
        zq::failWith("SetParamToParamBuffer: no buffer or text, or a negative address or length");
        return 0;
    }
    BYTE *slot = paramBuffer + paramAddr;
    std::memset(slot, 0xFF, 64);
    slot[0] = BYTE((length + 1) * 2);
    slot[1] = 3;
    for (LONG i = 0; i < length; ++i) {
        slot[2 + 2 * i] = param[i];
        slot[3 + 2 * i] = 0;
    }
    return 1;
}

BOOL ChipCam_BurnerFW(BYTE *pFwBuffer, LONG lFwLength, ChipCam_SetProgress setProgress,
                      void *ptrClass, SERIAL_FLASH_TYPE sft, BOOL bFullCheckFW)
{
    if (!chipOpen() || !knownFlashType(sft) || !usableImage(pFwBuffer, lFwLength))
        return 0;
    return guarded("ChipCam_BurnerFW", [&] {
        Image image(pFwBuffer, lFwLength);
        return burn(image, Progress(setProgress, ptrClass), sft, true, bFullCheckFW);
    });
}

BOOL ChipCam_CustomBurnerFW(ChangeParamInfo paramInfo, BYTE *pFwBuffer, LONG lFwLength,
                            ChipCam_SetProgress setProgress, void *ptrClass, SERIAL_FLASH_TYPE sft,
                            BOOL bFullCheckFW)
{
    if (!chipOpen() || !knownFlashType(sft) || !usableImage(pFwBuffer, lFwLength) ||
        !textsFit(paramInfo))
        return 0;
    Table t;
    if (!locateTable(pFwBuffer, lFwLength, t))
        return 0;
    return guarded("ChipCam_CustomBurnerFW", [&] {
        Image image(pFwBuffer, lFwLength);
        patchTable(image.at(0), t, paramInfo);
        return burn(image, Progress(setProgress, ptrClass), sft, true, bFullCheckFW);
    });
}

BOOL ChipCam_WriteFwToFlash(BYTE *pFwBuffer, LONG lFwLength, ChipCam_SetProgress setProgress,
                            void *ptrClass, BOOL bFullCheckFW)
{
    if (!chipOpen() || !usableImage(pFwBuffer, lFwLength))
        return 0;
    return guarded("ChipCam_WriteFwToFlash", [&] {
        Image image(pFwBuffer, lFwLength);
        return burn(image, Progress(setProgress, ptrClass), SFT_UNKNOW, false, bFullCheckFW);
    });
}

BOOL ChipCam_ExportFW(BYTE *pFwBuffer, LONG lFwLength, ChipCam_SetProgress, void *)
{
    if (!chipOpen() || !validBuffer(pFwBuffer, lFwLength))
        return 0;
    for (LONG addr = 0; addr < lFwLength; addr += kGroup) {
        BYTE read[kGroup];
        if (!XU_ReadDataFormFlash(addr, read, kGroup))
            return 0;
        const LONG fits = lFwLength - addr < kGroup ? lFwLength - addr : kGroup;
        std::memcpy(pFwBuffer + addr, read, size_t(fits));
    }
    return 1;
}

BOOL ChipCam_SetParamTableFromFWFile(BYTE *pFW, LONG lFwLength, ChangeParamInfo paramInfo,
                                     ChipCam_SetProgress setProgress, void *ptrClass,
                                     SERIAL_FLASH_TYPE sft, const char *pLogFilePath,
                                     BOOL bFullCheckFW)
{
    if (!chipOpen() || !knownFlashType(sft))
        return 0;
    return guarded("ChipCam_SetParamTableFromFWFile", [&] {
        StepLog log(pLogFilePath);
        return updateTable(pFW, lFwLength, paramInfo, Progress(setProgress, ptrClass), sft, log,
                           bFullCheckFW);
    });
}

} // extern "C"
