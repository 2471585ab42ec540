#include "firmware_check.h"

#include <zqscan/ChipCamera.h>

#include <cstdio>

namespace zqchip
{
namespace
{

// The table holds the USB ids and the five string slots; the last ends here.
constexpr ULONG kTableSlotsEnd = PARAM_INTERFACE_OFFSET + 64;
constexpr ULONG kCrcOffset = 20; // of the checksum within its block

std::string hex(unsigned long value, int digits = 1)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*lX", digits, value);
    return text;
}

unsigned checksumAt(const Bytes &image, ULONG crc)
{
    return unsigned(image[crc + kCrcOffset]) << 8 | image[crc + kCrcOffset + 1];
}

} // namespace

FirmwareVerdict checkFirmware(const Bytes &image, const BYTE *romVersion, long flashSize)
{
    if (image.size() > size_t(flashSize))
        return {std::to_string(image.size()) + " bytes do not fit the " +
                    std::to_string(flashSize) + "-byte flash",
                true};
    if (image.size() < CHIPCAM_MIN_FW_LENGTH)
        return {std::to_string(image.size()) + " bytes are too short for the layout block"};
    ULONG start = 0, end = 0, crc = 0;
    if (!XU_GetParaTableAndCRCAddrFormImage(romVersion, image.data(), ULONG(image.size()), &start,
                                            &end, &crc))
        return {"it holds no parameter table where this chip's ROM looks for one"};
    if (end - start < kTableSlotsEnd)
        return {"its parameter table at " + hex(start) + " is too short for the USB strings"};
    Bytes sealed = image;
    CheckCRC(sealed.data(), LONG(start), LONG(end - start), LONG(crc));
    if (checksumAt(sealed, crc) != checksumAt(image, crc))
        return {"the checksum stored at " + hex(crc + kCrcOffset) + " (" +
                hex(checksumAt(image, crc), 4) + ") does not match its parameter table at " +
                hex(start) + " (" + hex(checksumAt(sealed, crc), 4) + ")"};
    return {};
}

} // namespace zqchip
