// zqpage: finds the page in still pictures and cuts it flat, with the same
// library calls as a capture in zqvideo.
#include "options.h"
#include "processing.h"

#include <csignal>
#include <cstdio>

int main(int argc, char **argv)
{
    // Past a file-size limit a write fails with EFBIG, which the writers
    // report ("File too large"), rather than the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::optional<zqpage::Options> options = zqpage::parseOptions(argc, argv);
    if (!options) {
        std::fputs("Try 'zqpage --help' for more information.\n", stderr);
        return zqpage::kUsage;
    }
    switch (options->request) {
    case zqpage::Options::Request::Help:
        std::fputs(zqpage::usageText(), stdout);
        return zqpage::kDone;
    case zqpage::Options::Request::Version:
        std::printf("zqpage (zqscan) %s\n", ZQ_VERSION);
        return zqpage::kDone;
    case zqpage::Options::Request::Pages:
        break;
    }
    return zqpage::run(*options);
}
