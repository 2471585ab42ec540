// The command line of zqchip: one command, its operands and options.
#ifndef ZQCHIP_OPTIONS_H
#define ZQCHIP_OPTIONS_H

#include <zqscan/SFData.h>

#include <array>
#include <ctime>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zqchip
{

struct Options {
    std::string command;
    std::vector<std::string> operands;
    int device = 0;
    SERIAL_FLASH_TYPE family = SFT_UNKNOW;
    bool fullCheck = false;
    bool confirmed = false;
    bool force = false;     // burn an image the checks refuse; replace an export's file
    std::string backupPath; // empty: a time-stamped name in the working directory
    std::optional<std::string> logPath;
    long length = 0x10000;
    long offset = 0;
    std::map<std::string, std::string> texts; // --product and the other strings
    std::optional<std::array<BYTE, 4>> ids;   // as the parameter table stores them
};

// Parses argv; on a mistake returns nullopt and says why in error.
std::optional<Options> parseOptions(int argc, char **argv, std::string &error);
// A number in C notation (0x.., decimal); false when it is none.
bool parseNumber(const std::string &text, long &value);
// The families as --family takes them.
std::optional<SERIAL_FLASH_TYPE> familyNamed(const std::string &name);
const char *familyName(SERIAL_FLASH_TYPE family);
// VVVV:PPPP, exactly four hex digits each, as the parameter table stores
// them (low bytes first); nullopt for anything else.
std::optional<std::array<BYTE, 4>> parseIds(const std::string &text);
// zqchip-backup-YYYYMMDD-HHMMSS.bin in local time.
std::string backupNameAt(std::time_t when);
const char *usageText();

} // namespace zqchip

#endif
