// What the SDK's modules share beyond the exported interface.
#ifndef ZQ_CHIP_SDK_INTERNAL_H
#define ZQ_CHIP_SDK_INTERNAL_H

#include <zqscan/ChipTypes.h>
#include <zqscan/SFData.h>
#include <zqscan/XUOptDev.h>
#include "last_error.h"

namespace zq::chip
{

// Whether [addr, addr + length) lies within [0, limit).
inline bool fitsWithin(ULONG addr, ULONG length, ULONG limit)
{
    return addr <= limit && length <= limit - addr;
}

// The checks the entry points share.  Each records the call's failure when
// it fails.

// Whether ChipCam_Init has opened the chip.
inline bool chipOpen()
{
    if (camera_init)
        return true;
    failWith("the chip is not open: ChipCam_Init opens it");
    return false;
}

// Whether data can hold len bytes: none is needed for none.
inline bool validBuffer(const void *data, LONG len)
{
    if (len < 0)
        failWith("negative length %ld", len);
    else if (!data && len)
        failWith("no buffer for %ld bytes (null pointer)", len);
    else
        return true;
    return false;
}

// Whether sft names a flash family, whose commands are then known.
inline bool knownFlashType(SERIAL_FLASH_TYPE sft)
{
    if (sft != SFT_UNKNOW)
        return true;
    failWith("the flash type is SFT_UNKNOW: its commands are not known");
    return false;
}

// The parameter-table locator on a firmware image of a known length: fails
// when the image is too short for its layout block, or when the table, its
// end or its checksum lie outside the image or the flash window's reach.
BOOL paramTableFromImage(const BYTE *image, ULONG imageLength, ULONG *start, ULONG *end,
                         ULONG *crc);

// Opens the camera node at path and marks the SDK open, as ChipCam_Init
// does for /dev/video<index>.
bool openCamera(const char *path);

// The command-set row (of cbSFLib_Cmd) the firmware's write commands take
// for a flash family: the row the known-flash table gives the family, the
// common set for families it does not list.
BYTE commandSetFor(SERIAL_FLASH_TYPE family);

// Controller registers that the flash and ROM code address by their fixed
// first-architecture addresses rather than through the register map.
namespace reg
{
constexpr USHORT kGpioIn = 0x1005;
constexpr USHORT kGpioOut = 0x1006;
constexpr USHORT kGpioEnable = 0x1007;
constexpr USHORT kIdSelect = 0x100A; // bit 4 hides the chip id
constexpr USHORT kChipId = 0x101F;
constexpr USHORT kRevision = 0x1185;
constexpr USHORT kRom292ProtectControl1 = 0x17C1;
constexpr USHORT kRom292ProtectControl2 = 0x17C2;

// The firmware's own flash commands: their opcodes, and the key that
// unlocks them.
constexpr USHORT kFirmwareWriteEnable = 0x05F3;
constexpr USHORT kFirmwareProgram = 0x05F5;
struct KeyByte {
    USHORT addr;
    BYTE value;
};
constexpr KeyByte kFirmwareCommandKey[] = {
    {0x05F8, 0x12},
    {0x05F9, 0x12},
    {0x05FA, 0xED},
    {0x05FB, 0xED},
};
} // namespace reg

// Byte offset of the checksum within the CRC block.
constexpr ULONG kCrcOffset = 20;

} // namespace zq::chip

#endif
