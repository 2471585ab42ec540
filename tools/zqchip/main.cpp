// zqchip: a service tool for the controller chip of the document camera.
#include "commands.h"
#include "options.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char **argv)
{
    // Past a file-size limit a write fails with EFBIG, which the writers
    // report ("File too large"), rather than the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(zqchip::usageText(), stdout);
        return zqchip::kDone;
    }
    std::string error;
    const auto options = zqchip::parseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "zqchip: %s\n%s", error.c_str(), zqchip::usageText());
        return zqchip::kUsage;
    }
    try {
        return zqchip::run(*options);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "zqchip: %s\n", e.what());
        return zqchip::kFailed;
    }
}
