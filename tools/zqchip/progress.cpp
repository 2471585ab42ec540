#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace zqchip
{

constexpr int kBarWidth = 40;

ProgressPrinter::ProgressPrinter(const char *what) : what_(what), terminal_(isatty(STDOUT_FILENO))
{
}

ProgressPrinter::~ProgressPrinter()
{
    if (terminal_ && shown_ >= 0)
        std::printf("\n");
    std::fflush(stdout);
}

void ProgressPrinter::report(int done, int total, void *context)
{
    const float fraction = total > 0 ? float(double(done) / double(total)) : 1.0f;
    const float clamped = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
    static_cast<ProgressPrinter *>(context)->show(int(clamped * 100 + 0.5f));
}

void ProgressPrinter::show(int percent)
{
    if (terminal_) {
        if (percent == shown_)
            return;
        const int filled = percent * kBarWidth / 100;
        std::printf("\r%s [%.*s%*s] %3d%%", what_, filled,
                    "########################################", kBarWidth - filled, "", percent);
        std::fflush(stdout);
    } else {
        if (shown_ >= 0 && percent / 10 == shown_ / 10)
            return;
        std::printf("%s %d%%\n", what_, percent / 10 * 10);
    }
    shown_ = percent;
}

} // namespace zqchip
