// Whether a firmware image is fit to burn, decided before anything on the
// chip is changed.
#ifndef ZQCHIP_FIRMWARE_CHECK_H
#define ZQCHIP_FIRMWARE_CHECK_H

#include <zqscan/zq_chip.h>

#include <string>
#include <vector>

namespace zqchip
{

using Bytes = std::vector<unsigned char>;

struct FirmwareVerdict {
    std::string problem;   // what is wrong with the image; empty when nothing
    bool tooLarge = false; // larger than the flash: refused even when forced
    bool fit() const { return problem.empty(); }
};

// Checks an image for a flash of flashSize bytes behind the chip whose ROM
// version (zq_chip_identity) is romVersion: the image fits the flash, holds
// the parameter table where that ROM looks for it, and the table's stored
// checksum is the one it should be.  chip finds the table; it need not hold
// a chip.
FirmwareVerdict checkFirmware(zq_chip *chip, const Bytes &image, const unsigned char *romVersion,
                              long flashSize);

} // namespace zqchip

#endif
