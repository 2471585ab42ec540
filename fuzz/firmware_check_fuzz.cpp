// The firmware-image checks of zqchip on arbitrary bytes.  Input: one byte
// choosing the flash size (64, 128 or 256 KiB), the 8-byte ROM version
// string that chooses the parameter-table layout, then the image.
#include "firmware_check.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    constexpr size_t kHead = 1 + 8;
    if (size < kHead)
        return 0;
    const long flashSize = 0x10000L << (data[0] % 3);
    unsigned char version[ZQ_CHIP_ROM_VERSION_SIZE] = {};
    for (int i = 0; i < 8; ++i)
        version[i] = data[1 + i];
    const zqchip::Bytes image(data + kHead, data + size);
    static zq_chip *const chip = zq_chip_new(); // finds tables; it holds no chip
    const zqchip::FirmwareVerdict verdict = zqchip::checkFirmware(chip, image, version, flashSize);
    if (verdict.fit() && image.size() > size_t(flashSize))
        __builtin_trap(); // an image larger than the flash must never pass
    return 0;
}
