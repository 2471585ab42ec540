// Whether a firmware image is fit to burn, decided before anything on the
// chip is changed.
#ifndef ZQCHIP_FIRMWARE_CHECK_H
#define ZQCHIP_FIRMWARE_CHECK_H

#include <zqscan/ChipTypes.h>

#include <string>
#include <vector>

namespace zqchip
{

using Bytes = std::vector<BYTE>;

struct FirmwareVerdict {
    std::string problem;   // what is wrong with the image; empty when nothing
    bool tooLarge = false; // larger than the flash: refused even when forced
    bool fit() const { return problem.empty(); }
};

// Checks an image for a flash of flashSize bytes behind the chip whose ROM
// version string (XU_GetAsicRomVersion) is romVersion: the image fits the
// flash, holds the parameter table where that ROM looks for it, and the
// table's stored checksum is the one the SDK computes.
FirmwareVerdict checkFirmware(const Bytes &image, const BYTE *romVersion, long flashSize);

} // namespace zqchip

#endif
