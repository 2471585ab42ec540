// zqvideo's settings file as the program loads it (loadConfigFile: the
// file is opened, read only when it is a regular file, its first 4 KiB,
// then its ten lines), on arbitrary bytes: the fields the program computes
// with stay in range, nothing beyond the first 4 KiB counts, and what was
// loaded comes back the same after the program saves it and loads it
// again (saveConfigFile, through AtomicFile, then loadConfigFile).
#include "trap_unless.h"
#include "scratch_folder.h"
#include "config.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

constexpr size_t kRead = 4096;
std::string folder;

bool inRange(const ZqConfig &c)
{
    return c.quality >= 0 && c.quality <= 9 && c.default_cam >= 0 && c.default_cam <= 9 &&
           c.width >= 0 && c.width <= 65535 && c.height >= 0 && c.height <= 65535 &&
           memchr(c.save_dir, '\0', sizeof(c.save_dir)) != nullptr;
}

bool same(const ZqConfig &a, const ZqConfig &b)
{
    return a.rota == b.rota && a.color == b.color && a.quality == b.quality &&
           a.default_cam == b.default_cam && a.width == b.width && a.height == b.height &&
           strcmp(a.save_dir, b.save_dir) == 0 && a.cutting_mode == b.cutting_mode &&
           a.clear_background == b.clear_background && a.picture_format == b.picture_format;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    std::string base = scratchFolder("settings");
    folder = base;
    setenv("HOME", base.c_str(), 1); // the defaults' save directory
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string path = folder + "/.zqvideo.config";
    if (!writeFile(path, data, size))
        __builtin_trap();
    ZqConfig loaded;
    memset(&loaded, 0x55, sizeof(loaded));
    loadConfigFile(loaded, path);
    trapUnless(inRange(loaded));

    // Only the first 4 KiB count.
    if (size > kRead) {
        ZqConfig firstPart;
        if (!writeFile(path, data, kRead))
            __builtin_trap();
        loadConfigFile(firstPart, path);
        trapUnless(same(loaded, firstPart));
    }

    // What the program loaded, saved, loads again the same.
    trapUnless(saveConfigFile(loaded, path));
    ZqConfig again;
    memset(&again, 0xAA, sizeof(again));
    loadConfigFile(again, path);
    trapUnless(same(loaded, again));
    unlink(path.c_str());
    return 0;
}
