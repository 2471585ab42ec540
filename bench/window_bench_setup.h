// What a benchmark of the window needs before its QApplication: the
// virtual hardware, a settings folder of its own so that the user's
// settings neither steer nor take its results, and no screen unless the
// caller names one.
#ifndef ZQ_BENCH_WINDOW_BENCH_SETUP_H
#define ZQ_BENCH_WINDOW_BENCH_SETUP_H

#include "virtual_hardware.h"

#include <QTemporaryDir>

#include <cstdlib>

namespace zq::bench
{

class WindowBenchSetup
{
  public:
    WindowBenchSetup()
    {
        zq::sim::useVirtualHardware("bench");
        setenv("XDG_CONFIG_HOME", configDir_.path().toLocal8Bit().constData(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    }

  private:
    QTemporaryDir configDir_;
};

} // namespace zq::bench

#endif
