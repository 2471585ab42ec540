// Grey, quarter turn and the JPEG writer at camera frame sizes.  Each
// benchmark also measures its reference in the same run and reports the
// median ratio to it (and the reference's own median time, *_ref_ms): one
// memcpy of the same frame for grey and the turn (counter x_memcpy), and
// libjpeg encoding the same frame into memory for the JPEG writer (counter
// x_memory).
//
// Grey and the turn are timed in thread CPU time, so that other processes
// on a shared machine do not count; the writer in wall time, because
// waiting for the disk is part of its cost.
#include "jpeg_reference.h"
#include "scene.h"
#include "side_by_side.h"
#include <zqscan/zq_scanner.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace
{

using namespace zq::bench;

std::vector<uint8_t> frame(int width, int height)
{
    return zq::sim::renderScene(zq::sim::PageScene{}, width, height);
}

void BM_Grey(benchmark::State &state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    std::vector<uint8_t> picture = frame(w, h);
    FrameCopy copy(picture.size());
    compare(
        state, cpuSeconds, [&] { zq_scanner_picture_gray(picture.data(), w, h); }, [&] { copy(); },
        "x_memcpy");
}

void BM_Rotate(benchmark::State &state)
{
    int w = int(state.range(0)), h = int(state.range(1));
    std::vector<uint8_t> picture = frame(w, h);
    FrameCopy copy(picture.size());
    compare(
        state, cpuSeconds,
        [&] {
            zq_scanner_picture_rotate_90(picture.data(), w, h);
            std::swap(w, h);
        },
        [&] { copy(); }, "x_memcpy");
}

// The writer and its reference take turns, and the ratio is taken turn by
// turn: the disk and the machine's load then weigh on both alike.  Each
// turn runs both twice, once timed by the wall clock (x_memory) and once in
// thread CPU time (x_memory_cpu: the work without the waits for the disk
// and for a processor on a loaded machine).
void BM_JpegWriter(benchmark::State &state)
{
    const int w = int(state.range(0)), h = int(state.range(1)), quality = int(state.range(2));
    const std::vector<uint8_t> picture = frame(w, h);
    std::string dir = (std::filesystem::temp_directory_path() / "zq-bench-XXXXXX").string();
    if (!mkdtemp(dir.data())) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string path = dir + "/page.jpg";
    bool written = true;
    std::vector<double> references, ratios, cpu_ratios;
    for (auto _ : state) {
        const auto encode = [&] {
            benchmark::DoNotOptimize(encodeToMemory(picture.data(), w, h, quality).size());
        };
        const auto save = [&] {
            written &= zq_scanner_picture_save(path.c_str(), picture.data(), w, h, quality) == 0;
        };
        const double cpu_reference = secondsOf(cpuSeconds, encode);
        const double cpu = secondsOf(cpuSeconds, save);
        references.push_back(secondsOf(wallSeconds, encode));
        const double wall = secondsOf(wallSeconds, save);
        state.SetIterationTime(wall);
        ratios.push_back(wall / references.back());
        cpu_ratios.push_back(cpu / cpu_reference);
    }
    std::filesystem::remove_all(dir);
    if (!written)
        state.SkipWithError("a write failed");
    state.counters["x_memory"] = median(ratios);
    state.counters["x_memory_cpu"] = median(cpu_ratios);
    state.counters["x_memory_ref_ms"] = median(references) * 1e3;
    reportLoad(state);
}

void frame_sizes(benchmark::internal::Benchmark *b)
{
    b->Args({1920, 1080})->Args({3264, 2448})->Args({4208, 3120});
    b->UseManualTime()->Unit(benchmark::kMillisecond);
}

} // namespace

BENCHMARK(BM_Grey)->Apply(frame_sizes);
BENCHMARK(BM_Rotate)->Apply(frame_sizes);
BENCHMARK(BM_JpegWriter)->Args({3264, 2448, 60})->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
