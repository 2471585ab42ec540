// zqvideo's own settings file, ".zqvideo.ini" beside the configuration
// file (QSettings' INI format), on arbitrary bytes, through the window's
// Settings (app/settings.cpp): every switch the window reads at start
// (capture/auto, capture/book, capture/rightPageFirst, pdf/compact and
// pdf/searchable) is read; then
// one switch is written, which must read back as written.  (The other
// switches are not compared: a file holding one key twice, say as
// [capture] auto and [General] capture%2Fauto, is merged by Qt when it is
// written, so that another switch may change.)  The INI parser is Qt's (not instrumented): the
// coverage shown is the program's side.
#include "trap_unless.h"
#include "scratch_folder.h"
#include "settings.h"

#include "config.h"

#include <QCoreApplication>
#include <QSettings>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace
{

const char *const kKeys[] = {"capture/auto", "capture/book", "capture/rightPageFirst",
                             "pdf/compact", "pdf/searchable"};
constexpr int kKeyCount = sizeof(kKeys) / sizeof(kKeys[0]);

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    std::string base = scratchFolder("ini");
    setenv("XDG_CONFIG_HOME", base.c_str(), 1);
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string &path = programSettingsPath();
    trapUnless(!path.empty());
    FILE *f = fopen(path.c_str(), "wb");
    trapUnless(f && fwrite(data + 1, 1, size - 1, f) == size - 1 && fclose(f) == 0);

    const Settings settings;
    for (const char *key : kKeys)
        settings.readSwitch(key);

    const int chosen = data[0] % kKeyCount;
    const bool on = data[0] & 0x80;
    if (settings.writeSwitch(kKeys[chosen], on))
        trapUnless(settings.readSwitch(kKeys[chosen]) == on);
    remove(path.c_str());
    return 0;
}
