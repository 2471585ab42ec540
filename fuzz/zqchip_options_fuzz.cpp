// zqchip's command line (tools/zqchip/options.cpp) on arbitrary
// arguments: the input is the arguments after the program's name, each
// ended by a NUL byte.  A parse either gives a command or says why not,
// and what it gives is within the ranges the commands rely on.
#include "trap_unless.h"
#include "options.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::vector<std::string> args = {"zqchip"};
    std::string current;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\0') {
            args.push_back(current);
            current.clear();
        } else {
            current += char(data[i]);
        }
    }
    if (!current.empty())
        args.push_back(current);
    if (args.size() > 256)
        return 0;
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    std::string error;
    const auto options = zqchip::parseOptions(int(args.size()), argv.data(), error);
    if (!options) {
        trapUnless(!error.empty());
        return 0;
    }
    const zqchip::Options &o = *options;
    trapUnless(!o.command.empty() && o.command.rfind("--", 0) != 0);
    trapUnless(o.device >= 0 && o.device <= 63);
    trapUnless(o.length >= 0 && o.length <= SF_WINDOW_LIMIT);
    trapUnless(o.offset >= 0 && o.offset <= SF_WINDOW_LIMIT);
    if (o.family != SFT_UNKNOW)
        trapUnless(zqchip::familyNamed(zqchip::familyName(o.family)) == o.family);
    if (o.ids) {
        // the ids give back the text they were read from
        char text[16];
        std::snprintf(text, sizeof text, "%02X%02X:%02X%02X", (*o.ids)[1], (*o.ids)[0], (*o.ids)[3],
                      (*o.ids)[2]);
        trapUnless(zqchip::parseIds(text) == o.ids);
    }
    for (const auto &[name, value] : o.texts)
        trapUnless(name == "product" || name == "manufacturer" || name == "serial" ||
                   name == "string3" || name == "interface");
    // the operands are the arguments that are no option or its value
    trapUnless(o.operands.size() + 1 < args.size());
    return 0;
}
