// The commands of zqchip, each on an open chip.
#ifndef ZQCHIP_COMMANDS_H
#define ZQCHIP_COMMANDS_H

#include "options.h"

namespace zqchip
{

enum Exit {
    kDone = 0,
    kFailed = 1,
    kUsage = 2,
    kNoDevice = 3,
    kUnknownChip = 4,
    kBadFirmware = 5,
    kWriteFailed = 6,
    kVerifyFailed = 7,
};

// Opens the chip, checks that it is one the SDK knows, runs the command.
Exit run(const Options &options);

} // namespace zqchip

#endif
