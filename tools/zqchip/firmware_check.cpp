#include "firmware_check.h"

#include <cstdio>

namespace zqchip
{
namespace
{

std::string hex(unsigned long value, int digits = 1)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*lX", digits, value);
    return text;
}

} // namespace

FirmwareVerdict checkFirmware(zq_chip *chip, const Bytes &image, const unsigned char *romVersion,
                              long flashSize)
{
    if (image.size() > size_t(flashSize))
        return {std::to_string(image.size()) + " bytes do not fit the " +
                    std::to_string(flashSize) + "-byte flash",
                true};
    if (image.size() < ZQ_CHIP_MIN_FIRMWARE_LENGTH)
        return {std::to_string(image.size()) + " bytes are too short for the layout block"};
    zq_chip_image_table t;
    if (zq_chip_find_table(chip, romVersion, image.data(), long(image.size()), &t) != ZQ_CHIP_OK)
        return {"it holds no parameter table where this chip's ROM looks for one"};
    if (t.table_end - t.table_start < ZQ_CHIP_TABLE_MIN_LENGTH)
        return {"its parameter table at " + hex(t.table_start) +
                " is too short for the USB strings"};
    if (t.stored_checksum != t.computed_checksum)
        return {"the checksum stored at " + hex(t.checksum_at) + " (" + hex(t.stored_checksum, 4) +
                ") does not match its parameter table at " + hex(t.table_start) + " (" +
                hex(t.computed_checksum, 4) + ")"};
    return {};
}

} // namespace zqchip
