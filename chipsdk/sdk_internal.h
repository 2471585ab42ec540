// What the SDK's modules share beyond the exported interface.
#ifndef ZQ_CHIP_SDK_INTERNAL_H
#define ZQ_CHIP_SDK_INTERNAL_H

#include <zqscan/ChipTypes.h>

namespace zq::chip
{

// Whether [addr, addr + length) lies within [0, limit).
inline bool fitsWithin(ULONG addr, ULONG length, ULONG limit)
{
    return addr <= limit && length <= limit - addr;
}

// The parameter-table locator on a firmware image of a known length: fails
// when the image is too short for its layout block, or when the table, its
// end or its checksum lie outside the image or the flash window's reach.
BOOL paramTableFromImage(const BYTE *image, ULONG imageLength, ULONG *start, ULONG *end,
                         ULONG *crc);

// Byte offset of the checksum within the CRC block.
constexpr ULONG kCrcOffset = 20;

} // namespace zq::chip

#endif
