// Timing a piece of work against a reference in the same run: the two take
// turns, each turn gives one ratio, and the median ratio is what counts.
// Turn by turn, whatever else the machine runs weighs on both alike.
#ifndef ZQ_BENCH_SIDE_BY_SIDE_H
#define ZQ_BENCH_SIDE_BY_SIDE_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace zq::bench
{

using Clock = double (*)();
using Work = std::function<void()>;

// This thread's processor time: other processes do not count, and neither
// do waits.
inline double cpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The whole process's processor time, all threads counted.
inline double processCpuSeconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Wall time, for work that waits (for the disk) as part of its cost.
inline double wallSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline double secondsOf(Clock clock, const Work &work)
{
    const double start = clock();
    work();
    return clock() - start;
}

// Median, so that one disturbed turn does not decide.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

// The machine's load over the last minute, reported with every figure.
inline void reportLoad(benchmark::State &state)
{
    double load[1] = {0};
    if (getloadavg(load, 1) == 1)
        state.counters["load"] = load[0];
}

// Times work and reference by turns, after one untimed run of each, with
// prepare (untimed) before each of them.  The iteration time is the work's;
// counters: <name> the median ratio of work to reference, <name>_ref_ms
// the reference's median time.
inline void compare(
    benchmark::State &state, Clock clock, const Work &work, const Work &reference,
    const std::string &name, const Work &prepare = [] {})
{
    prepare();
    reference();
    prepare();
    work();
    std::vector<double> ratios, references;
    for (auto _ : state) {
        prepare();
        references.push_back(secondsOf(clock, reference));
        prepare();
        const double seconds = secondsOf(clock, work);
        state.SetIterationTime(seconds);
        ratios.push_back(seconds / references.back());
    }
    state.counters[name] = median(ratios);
    state.counters[name + "_ref_ms"] = median(references) * 1e3;
    reportLoad(state);
}

// Two buffers of a frame's size: copying one into the other is the
// reference every pass over a frame is measured against.
class FrameCopy
{
  public:
    explicit FrameCopy(size_t bytes) : from_(bytes, 1), to_(bytes, 2) {}
    void operator()()
    {
        std::memcpy(to_.data(), from_.data(), to_.size());
        benchmark::DoNotOptimize(to_.data());
        benchmark::ClobberMemory();
    }

  private:
    std::vector<unsigned char> from_, to_;
};

} // namespace zq::bench

#endif
