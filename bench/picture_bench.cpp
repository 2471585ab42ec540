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
#include "scene.h"
#include <zqscan/zq_scanner.h>

#include <benchmark/benchmark.h>
#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace
{

using Clock = double (*)();

double cpu_seconds()
{
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double wall_seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double seconds_of(Clock clock, const std::function<void()> &work)
{
    const double start = clock();
    work();
    return clock() - start;
}

// Median, so that one disturbed run does not decide.
double median(std::vector<double> times)
{
    std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
    return times[times.size() / 2];
}

double median_seconds(Clock clock, int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(seconds_of(clock, work));
    return median(times);
}

std::vector<uint8_t> frame(int width, int height)
{
    return zq::sim::renderScene(zq::sim::PageScene{}, width, height);
}

// Times one operation a loop iteration, after one untimed warm-up run, then
// reports the median ratio to the reference and the reference itself.
void run(benchmark::State &state, Clock clock, const std::function<void()> &work,
         const char *counter, double reference_seconds)
{
    work();
    std::vector<double> times;
    for (auto _ : state) {
        times.push_back(seconds_of(clock, work));
        state.SetIterationTime(times.back());
    }
    state.counters[counter] = median(times) / reference_seconds;
    state.counters[std::string(counter) + "_ref_ms"] = reference_seconds * 1e3;
}

double memcpy_seconds(size_t bytes)
{
    std::vector<uint8_t> from(bytes, 1), to(bytes, 2);
    return median_seconds(cpu_seconds, 21, [&] {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    });
}

void BM_Grey(benchmark::State &state)
{
    const int w = int(state.range(0)), h = int(state.range(1));
    std::vector<uint8_t> picture = frame(w, h);
    const double reference = memcpy_seconds(picture.size());
    run(
        state, cpu_seconds, [&] { zq_scanner_picture_gray(picture.data(), w, h); }, "x_memcpy",
        reference);
}

void BM_Rotate(benchmark::State &state)
{
    int w = int(state.range(0)), h = int(state.range(1));
    std::vector<uint8_t> picture = frame(w, h);
    const double reference = memcpy_seconds(picture.size());
    run(
        state, cpu_seconds,
        [&] {
            zq_scanner_picture_rotate_90(picture.data(), w, h);
            std::swap(w, h);
        },
        "x_memcpy", reference);
}

// libjpeg with the writer's settings, into memory: what the writer costs
// without a file.
void encode_to_memory(const std::vector<uint8_t> &picture, int width, int height, int quality)
{
    jpeg_compress_struct jcs;
    jpeg_error_mgr jem;
    jcs.err = jpeg_std_error(&jem);
    jpeg_create_compress(&jcs);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&jcs, &out, &size);
    jcs.image_width = JDIMENSION(width);
    jcs.image_height = JDIMENSION(height);
    jcs.input_components = 3;
    jcs.in_color_space = JCS_RGB;
    jpeg_set_defaults(&jcs);
    jpeg_set_quality(&jcs, quality, TRUE);
    jpeg_start_compress(&jcs, TRUE);
    while (jcs.next_scanline < jcs.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&picture[size_t(jcs.next_scanline) * width * 3]);
        jpeg_write_scanlines(&jcs, &row, 1);
    }
    jpeg_finish_compress(&jcs);
    jpeg_destroy_compress(&jcs);
    benchmark::DoNotOptimize(size);
    std::free(out);
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
        const auto encode = [&] { encode_to_memory(picture, w, h, quality); };
        const auto save = [&] {
            written &= zq_scanner_picture_save(path.c_str(), picture.data(), w, h, quality) == 0;
        };
        const double cpu_reference = seconds_of(cpu_seconds, encode);
        const double cpu = seconds_of(cpu_seconds, save);
        references.push_back(seconds_of(wall_seconds, encode));
        const double wall = seconds_of(wall_seconds, save);
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
