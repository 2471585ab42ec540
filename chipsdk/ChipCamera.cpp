// The ChipCam_ entry points: open state, registers, sensor, flash, USB
// strings and ids, firmware version.

#include <zqscan/ChipCamera.h>
#include <zqscan/zq_messages.h>
#include "library_log.h"
#include "sdk_internal.h"
#include "sys.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace
{

using zq::chip::chipOpen;
using zq::chip::knownFlashType;
using zq::chip::validBuffer;

constexpr unsigned kEraseWaitUs = 1000000;
constexpr LONG kGroup = 8;

// Sensor addresses travel in two bytes; larger ones do not fit the slots.
bool sensorRange(LONG addr, LONG len)
{
    if (addr >= 0 && len >= 0 && addr + len <= 0x10000)
        return true;
    zq::failWith("sensor registers 0x%lX to 0x%lX lie outside 0 to 0xFFFF", addr, addr + len - 1);
    return false;
}

BOOL stringSetting(BYTE *pData, int len, DWORD offset)
{
    if (!chipOpen() || !validBuffer(pData, len))
        return 0;
    return XU_GetStringSettingFormSF(pData, DWORD(len), offset, 1);
}

BOOL eraseWith(SERIAL_FLASH_TYPE sft, BOOL (*erase)(LONG, SERIAL_FLASH_TYPE), LONG addr)
{
    if (!chipOpen() || !XU_DisableSerialFlashWriteProtect(sft))
        return 0;
    return erase(addr, sft);
}

// ---- firmware version record -------------------------------------------------------

constexpr int kFieldSize = 10;
constexpr int kAnyVersion = -1;

struct VersionFields {
    USHORT a, b, c, d;
    int codeLength;
};

struct VersionRow {
    BYTE chipId;
    int romVersion; // the ROM's version byte this row needs, or kAnyVersion
    VersionFields fields;
};

const VersionFields kFields2000 = {0x2000, 0x2012, 0x201C, 0x200A, 5};

const VersionRow kVersionRows[] = {
    {0x15, kAnyVersion, {0x3E00, 0x3E0A, 0x3E14, 0x01F3, 5}},
    {0x56, kAnyVersion, {0x3E00, 0x3E0A, 0x3E14, 0x01F3, 5}},
    {0x16, kAnyVersion, {0x0FD0, 0x0FDA, 0x0FE4, 0x0153, 5}},
    {0x25, kAnyVersion, {0x5E00, 0x5E0A, 0x5E14, 0x01F3, 5}},
    {0x32, 1, {0x0FD0, 0x0FDA, 0x0FE4, 0x0153, 5}},
    {0x32, 2, {0x0FD0, 0x0FE2, 0x0FEC, 0x0FDA, 5}},
    {0x70, kAnyVersion, {0x3E05, 0x3E0F, 0x3E19, 0x3E00, 5}},
    {0x71, kAnyVersion, {0x3E05, 0x3E0F, 0x3E19, 0x3E00, 5}},
    {0x75, 1, kFields2000},
    {0x76, 1, {0x3FD0, 0x3FDA, 0x3FE4, 0x0153, 5}},
    {0x83, kAnyVersion, kFields2000},
    {0x85, kAnyVersion, kFields2000},
    {0x90, kAnyVersion, kFields2000},
    {0x92, kAnyVersion, kFields2000},
};

// How the caller's ROM type places chip 0x75's fields in the Ex variant.
const VersionFields kFields75Rom64K = {0x4E00, 0x4E12, 0x4E1C, 0x4E0A, 5};

const VersionFields *fieldsFor(BYTE chipId, bool romRead, BYTE romVersion)
{
    for (const VersionRow &row : kVersionRows)
        if (row.chipId == chipId &&
            (row.romVersion == kAnyVersion || (romRead && row.romVersion == romVersion)))
            return &row.fields;
    return nullptr;
}

struct RecordBuilder {
    BYTE bytes[CHIPCAM_FW_VERSION_SIZE] = {};
    int size = 0;

    void put(const BYTE *from, int count)
    {
        for (int i = 0; i < count; ++i)
            bytes[size++] = from[i];
    }
    void put(const char *text)
    {
        put(reinterpret_cast<const BYTE *>(text), int(std::strlen(text)));
    }
    void putWithoutDashes(const BYTE *from, int count)
    {
        for (int i = 0; i < count; ++i)
            if (from[i] != '-')
                bytes[size++] = from[i];
    }
};

struct VersionTexts {
    BYTE a[kFieldSize], b[kFieldSize], c[kFieldSize], d[kFieldSize];
};

void buildRecord(RecordBuilder &r, const VersionTexts &t, int codeLength, bool normal,
                 const BYTE *rom)
{
    if (normal) {
        r.put(t.d, codeLength);
        r.size = 5;
        r.put(t.b, kFieldSize);
        r.put(t.a, kFieldSize);
        r.put(t.c, kFieldSize);
        return;
    }
    const BYTE setAside = t.d[4];
    r.put(t.d, 4);
    r.put("-");
    r.putWithoutDashes(t.b, kFieldSize);
    if (std::memcmp(rom, "220R", 4) != 0) {
        r.put("-");
        r.put(&setAside, 1);
    }
    r.put("-V");
    r.put(t.c, 6);
    r.put("_");
    r.put(t.c + 6, 2);
    r.put("_");
    r.put(t.c + 8, 2);
    r.put("-");
    r.putWithoutDashes(t.a, kFieldSize);
}

// The record for chips that need no caller's choice, or with fields
// chosen by the caller's ROM type (exRomType != DRT_Unknow).
BOOL firmwareVersion(BYTE *pData, LONG len, BOOL bNormalExport, bool ex, DSP_ROM_TYPE exRomType)
{
    if (!chipOpen() || !validBuffer(pData, len))
        return 0;
    BYTE rom[ROM_STRING_SIZE + 2] = {};
    const bool romRead = XU_GetAsicRomVersion(rom);
    BYTE chipId = 0;
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    if (XU_GetChipRomType(&chipId, &arch) == DRT_Unknow)
        return 0;
    const VersionFields *f = fieldsFor(chipId, romRead, rom[5]);
    if (ex && f && chipId == 0x75)
        f = exRomType == DRT_64K    ? &kFields75Rom64K
            : exRomType == DRT_128K ? &kFields2000
                                    : nullptr;
    if (!f) {
        zq::failWith("no firmware version layout is known for chip 0x%02X", chipId);
        return 0;
    }
    VersionTexts t{};
    if (!XU_ReadFormSF(f->a, t.a, kFieldSize) || !XU_ReadFormSF(f->b, t.b, kFieldSize) ||
        !XU_ReadFormSF(f->c, t.c, kFieldSize) || !XU_ReadFormSF(f->d, t.d, f->codeLength))
        return 0;
    RecordBuilder record;
    buildRecord(record, t, f->codeLength, bNormalExport, rom);
    std::memset(pData, 0, size_t(len));
    std::memcpy(pData, record.bytes, size_t(std::min<LONG>(len, CHIPCAM_FW_VERSION_SIZE)));
    return 1;
}

} // namespace

bool zq::chip::openCamera(const char *path)
{
    if (!XU_OpenCamera(path))
        return false;
    camera_init = 1;
    return true;
}

extern "C" {

BOOL ChipCam_Init(int videoIndex)
{
    if (camera_init)
        return 1;
    char path[300];
    std::snprintf(path, sizeof(path), "/dev/video%d", videoIndex);
    if (!zq::chip::openCamera(path)) {
        zq::log(ZQ_LOG_ERROR, zq::Console::Err, "Open video device failed");
        return 0;
    }
    return 1;
}

BOOL ChipCam_UnInit(void)
{
    if (!chipOpen() || !XU_CloseCamera())
        return 0;
    camera_init = 0;
    return 1;
}

BOOL ChipCam_AsicRegisterRead(USHORT addr, BYTE *pData, LONG len)
{
    if (!chipOpen() || !validBuffer(pData, len))
        return 0;
    for (LONG i = 0; i < len; ++i)
        if (!XU_ReadFromASIC(USHORT(addr + i), &pData[i]))
            return 0;
    return 1;
}

BOOL ChipCam_AsicRegisterWrite(USHORT addr, BYTE *pData, LONG len)
{
    if (!chipOpen() || !validBuffer(pData, len))
        return 0;
    for (LONG i = 0; i < len; ++i)
        if (!XU_WriteToASIC(USHORT(addr + i), pData[i]))
            return 0;
    return 1;
}

BOOL ChipCam_XuRead(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs)
{
    return chipOpen() && XU_Read(pData, length, unitID, cs);
}

BOOL ChipCam_XuWrite(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs)
{
    return chipOpen() && XU_Write(pData, length, unitID, cs);
}

BYTE GetByteLengthFormAddr(LONG addr)
{
    if (addr < 0x100)
        return 1;
    if (addr <= 0xFFFF)
        return 2;
    if (addr > 0xFFFFFF)
        return 4;
    return 3;
}

BOOL ChipCam_SensorRegisterCustomRead(BYTE slaveId, LONG addr, BYTE *pData, LONG len, bool)
{
    if (!chipOpen() || !validBuffer(pData, len) || !sensorRange(addr, len))
        return 0;
    const LONG pairs = len / 2;
    for (LONG k = 0; k < pairs; ++k) {
        const LONG reg = addr + 2 * k;
        USHORT value = 0;
        if (!XU_CustomReadFromSensor(slaveId, USHORT(reg), GetByteLengthFormAddr(reg), &value, 2,
                                     false))
            return 0;
        pData[2 * k] = BYTE(value >> 8);
        pData[2 * k + 1] = BYTE(value & 0xFF);
    }
    if (len % 2) {
        const LONG reg = addr + 2 * pairs;
        USHORT value = 0;
        if (!XU_CustomReadFromSensor(slaveId, USHORT(reg), GetByteLengthFormAddr(reg), &value, 1,
                                     false))
            return 0;
        pData[2 * pairs] = BYTE(value & 0xFF);
    }
    return 1;
}

BOOL ChipCam_SensorRegisterCustomWrite(BYTE slaveId, LONG addr, BYTE *pData, LONG len, bool pollSCL)
{
    if (!chipOpen() || !validBuffer(pData, len) || !sensorRange(addr, len))
        return 0;
    const LONG pairs = len / 2;
    for (LONG k = 0; k < pairs; ++k) {
        const LONG reg = addr + 2 * k;
        const USHORT value = USHORT(pData[2 * k] << 8 | pData[2 * k + 1]);
        if (!XU_CustomWriteToSensor(slaveId, USHORT(reg), GetByteLengthFormAddr(reg), value, 2,
                                    pollSCL))
            return 0;
    }
    if (len % 2) {
        const LONG reg = addr + 2 * pairs;
        if (!XU_CustomWriteToSensor(slaveId, USHORT(reg), GetByteLengthFormAddr(reg),
                                    pData[2 * pairs], 1, pollSCL))
            return 0;
    }
    return 1;
}

BOOL ChipCam_SerialFlashRead(LONG addr, BYTE *pData, LONG len)
{
    return chipOpen() && XU_ReadFormSF(addr, pData, len);
}

BOOL ChipCam_SerialFlashWrite(LONG addr, BYTE *pData, LONG len)
{
    if (!chipOpen() || !validBuffer(pData, len))
        return 0;
    LONG done = 0;
    for (; len - done >= kGroup; done += kGroup)
        if (!XU_WriteDataToFlash(addr + done, pData + done, kGroup))
            return 0;
    if (done == len)
        return 1;
    BYTE last[kGroup];
    std::memset(last, 0xFF, sizeof(last));
    std::memcpy(last, pData + done, size_t(len - done));
    return XU_WriteDataToFlash(addr + done, last, BYTE(len - done));
}

BOOL ChipCam_SerialFlashSectorWrite(LONG addr, BYTE *pData, LONG len, SERIAL_FLASH_TYPE sft)
{
    if (!chipOpen() || !knownFlashType(sft) || !validBuffer(pData, len))
        return 0;
    if (!XU_DisableSerialFlashWriteProtect(sft) || !XU_EraseSectorForSerialFlash(addr, sft))
        return 0;
    zq::sys::usleep(kEraseWaitUs);
    return ChipCam_SerialFlashWrite(addr, pData, len);
}

BOOL ChipCam_GetManufacturer(BYTE *pData, int len)
{
    return stringSetting(pData, len, PARAM_MANUFACTURER_OFFSET);
}

BOOL ChipCam_GetProduct(BYTE *pData, int len)
{
    return stringSetting(pData, len, PARAM_PRODUCT_OFFSET);
}

BOOL ChipCam_GetSerialNumber(BYTE *pData, int len)
{
    return stringSetting(pData, len, PARAM_SERIAL_NUMBER_OFFSET);
}

BOOL ChipCam_GetString3(BYTE *pData, int len)
{
    return stringSetting(pData, len, PARAM_STRING3_OFFSET);
}

BOOL ChipCam_GetInterface(BYTE *pData, int len)
{
    return stringSetting(pData, len, PARAM_INTERFACE_OFFSET);
}

BOOL ChipCam_GetVidPid(BYTE *pData, LONG len)
{
    if (!chipOpen())
        return 0;
    if (!pData || len < 4) {
        zq::failWith("ChipCam_GetVidPid: the ids take 4 bytes, the buffer has %ld",
                     pData ? len : 0);
        return 0;
    }
    ULONG start = 0;
    if (!XU_GetParaTableAndCRCAddrFormSF(&start, nullptr, nullptr))
        return 0;
    return XU_ReadFormSF(LONG(start + 6), pData, 4);
}

BOOL ChipCam_DisableSerialFlashWriteProtect(SERIAL_FLASH_TYPE sft)
{
    return chipOpen() && XU_DisableSerialFlashWriteProtect(sft);
}

BOOL ChipCam_EraseSerialFlash(SERIAL_FLASH_TYPE sft)
{
    if (!chipOpen() || !XU_DisableSerialFlashWriteProtect(sft))
        return 0;
    return XU_SerialFlashErase(sft);
}

BOOL ChipCam_EraseSectorFlash(LONG addr, SERIAL_FLASH_TYPE sft)
{
    return eraseWith(sft, XU_EraseSectorForSerialFlash, addr);
}

BOOL ChipCam_EraseBlockFlash(int addr, SERIAL_FLASH_TYPE sft)
{
    return eraseWith(sft, XU_EraseBlockForSerialFlash, addr);
}

BOOL ChipCam_GetAsicRomType(DSP_ROM_TYPE *romType)
{
    if (!chipOpen())
        return 0;
    if (!romType) {
        zq::failWith("ChipCam_GetAsicRomType: no place for the type (null pointer)");
        return 0;
    }
    BYTE chipId = 0;
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    *romType = XU_GetChipRomType(&chipId, &arch);
    return 1;
}

BOOL ChipCam_GetFWVersion(BYTE *pData, LONG len, BOOL bNormalExport)
{
    return firmwareVersion(pData, len, bNormalExport, false, DRT_Unknow);
}

BOOL ChipCam_GetFWVersionEx(DSP_ROM_TYPE romType, BYTE *pData, LONG len, BOOL bNormalExport)
{
    return firmwareVersion(pData, len, bNormalExport, true, romType);
}

} // extern "C"
