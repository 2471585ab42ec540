// The settings-file reader on arbitrary bytes: it must stop at every
// input's end and leave the fields the program computes with in range.
#include "config.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "r");
    if (!file)
        return 0;
    ZqConfig config{};
    config.quality = 5;
    readConfigLines(file, config);
    fclose(file);
    const bool inRange = config.quality >= 0 && config.quality <= 9 && config.default_cam >= 0 &&
                         config.default_cam <= 9 && config.width >= 0 && config.width <= 65535 &&
                         config.height >= 0 && config.height <= 65535 &&
                         config.save_dir[sizeof(config.save_dir) - 1] == '\0';
    if (!inRange)
        __builtin_trap();
    return 0;
}
