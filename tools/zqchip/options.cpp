#include "options.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <set>

namespace zqchip
{
namespace
{

struct FamilyName {
    const char *name;
    SERIAL_FLASH_TYPE family;
};

const FamilyName kFamilies[] = {
    {"mxic", SFT_MXIC},
    {"st", SFT_ST},
    {"sst", SFT_SST},
    {"at25f", SFT_ATMEL_AT25F},
    {"at25fs", SFT_ATMEL_AT25FS},
    {"at45db", SFT_ATMEL_AT45DB},
    {"winbond", SFT_WINBOND},
    {"pmc", SFT_PMC},
    {"mxic-like", SFT_MXIC_LIKE},
    {"amic", SFT_AMIC},
    {"eon", SFT_EON},
    {"esmt", SFT_ESMT},
    {"giga", SFT_GIGA},
    {"fentech", SFT_FENTECH},
};

const std::set<std::string> kTextOptions = {"--product", "--manufacturer", "--serial", "--string3",
                                            "--interface"};

} // namespace

bool parseNumber(const std::string &text, long &value)
{
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    value = std::strtol(text.c_str(), &end, 0);
    return errno == 0 && *end == '\0';
}

std::optional<SERIAL_FLASH_TYPE> familyNamed(const std::string &name)
{
    for (const FamilyName &f : kFamilies)
        if (name == f.name)
            return f.family;
    return std::nullopt;
}

const char *familyName(SERIAL_FLASH_TYPE family)
{
    for (const FamilyName &f : kFamilies)
        if (f.family == family)
            return f.name;
    return "unknown";
}

std::optional<std::array<BYTE, 4>> parseIds(const std::string &text)
{
    if (text.size() != 9 || text[4] != ':')
        return std::nullopt;
    for (size_t i : {0, 1, 2, 3, 5, 6, 7, 8})
        if (!std::isxdigit(static_cast<unsigned char>(text[i])))
            return std::nullopt;
    const unsigned long vid = std::strtoul(text.substr(0, 4).c_str(), nullptr, 16);
    const unsigned long pid = std::strtoul(text.substr(5).c_str(), nullptr, 16);
    return std::array<BYTE, 4>{BYTE(vid), BYTE(vid >> 8), BYTE(pid), BYTE(pid >> 8)};
}

std::string backupNameAt(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    char name[64];
    std::strftime(name, sizeof name, "zqchip-backup-%Y%m%d-%H%M%S.bin", &local);
    return name;
}

std::optional<Options> parseOptions(int argc, char **argv, std::string &error)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        auto value = [&]() -> std::string { return argv[++i]; };
        long number = 0;
        if (arg == "--full") {
            o.fullCheck = true;
        } else if (arg == "--yes") {
            o.confirmed = true;
        } else if (arg == "--force") {
            o.force = true;
        } else if (!hasValue && arg.rfind("--", 0) == 0) {
            error = arg + " needs a value";
            return std::nullopt;
        } else if (arg == "--device") {
            if (!parseNumber(value(), number) || number < 0 || number > 63) {
                error = "--device takes a video node number";
                return std::nullopt;
            }
            o.device = int(number);
        } else if (arg == "--family") {
            const std::string name = value();
            const auto family = familyNamed(name);
            if (!family) {
                error = "unknown flash family " + name;
                return std::nullopt;
            }
            o.family = *family;
        } else if (arg == "--backup") {
            o.backupPath = value();
        } else if (arg == "--log") {
            o.logPath = value();
        } else if (arg == "--length" || arg == "--offset") {
            if (!parseNumber(value(), number) || number < 0 || number > SF_WINDOW_LIMIT) {
                error = arg + " takes a number up to 0x40000";
                return std::nullopt;
            }
            (arg == "--length" ? o.length : o.offset) = number;
        } else if (arg == "--ids") {
            o.ids = parseIds(value());
            if (!o.ids) {
                error = "--ids takes VVVV:PPPP, four hex digits each";
                return std::nullopt;
            }
        } else if (kTextOptions.count(arg)) {
            o.texts[arg.substr(2)] = value();
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + arg;
            return std::nullopt;
        } else if (o.command.empty()) {
            o.command = arg;
        } else {
            o.operands.push_back(arg);
        }
    }
    if (o.command.empty()) {
        error = "no command given";
        return std::nullopt;
    }
    return o;
}

const char *usageText()
{
    return "usage: zqchip [--device N] COMMAND ...\n"
           "  info                                 chip, ROM, firmware version, USB ids and "
           "strings\n"
           "  read-reg ADDR [COUNT]                controller registers\n"
           "  write-reg ADDR BYTE...               write, then read back\n"
           "  read-sensor SLAVE ADDR [COUNT]       image-sensor registers\n"
           "  write-sensor SLAVE ADDR BYTE...      write, then read back\n"
           "  dump FILE [--offset A] [--length N] [--force]\n"
           "                                       flash bytes to a new file\n"
           "  export FILE [--length N] [--force]   the firmware image to a new file\n"
           "  burn FILE --family F [--full] [--force] --yes\n"
           "                                       replace the firmware\n"
           "  set [--ids VVVV:PPPP] [--product T] [--manufacturer T] [--serial T]\n"
           "      [--string3 T] [--interface T] --family F [--full] [--log FILE] --yes\n"
           "                                       rewrite the USB ids and strings\n"
           "A burn checks the image first: it must fit the flash and hold the parameter\n"
           "table with its checksum; --force burns a full-size image that fails the\n"
           "table checks.  Before erasing, the whole flash is saved to --backup FILE\n"
           "(zqchip-backup-YYYYMMDD-HHMMSS.bin), which must not exist yet.\n"
           "Families: mxic st sst at25f at25fs at45db winbond pmc mxic-like amic eon esmt\n"
           "giga fentech.\n"
           "Exit codes: 0 done, 1 failed, 2 usage, 3 no device, 4 unknown chip,\n"
           "5 bad firmware file, 6 write failed, 7 verify failed.\n";
}

} // namespace zqchip
