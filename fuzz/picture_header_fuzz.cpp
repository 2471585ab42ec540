// zqpage's picture-header reader on arbitrary bytes: it must read only
// the bytes it is given, and what it accepts must have a size.
#include "picture_header.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string error;
    const auto header = zqpage::readPictureHeader(data, size, error);
    if (header ? header->width == 0 || header->height == 0 : error.empty())
        __builtin_trap();
    return 0;
}
