// Speed of the document image processing at camera frame sizes, beside
// the two costs it is judged against in the same run: one memcpy of the
// frame, and OpenCV's area resize of the frame to the detection size
// (detection's one unavoidable pass over the whole frame).
#include "scene.h"
#include "side_by_side.h"
#include "zq_opencv_internal.h"

#include <benchmark/benchmark.h>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <vector>

namespace
{

using namespace zq::bench;

// The scenes: a page tilted by 8 degrees on a desk, 0.3 of the frame
// wide, or as wide as covers the given share of the frame.
zq::sim::PageScene scene(int width, int height, double share = 0)
{
    zq::sim::PageScene s;
    s.angleDeg = 8;
    s.pageWidth = share > 0 ? std::sqrt(share * height / (s.aspect * width)) : 0.3;
    return s;
}

// A rendered scene per frame size and page, made once.
const std::vector<uint8_t> &sceneFrame(int width, int height, double share = 0)
{
    static std::map<std::tuple<int, int, double>, std::vector<uint8_t>> frames;
    auto &frame = frames[{width, height, share}];
    if (frame.empty())
        frame = zq::sim::renderScene(scene(width, height, share), width, height);
    return frame;
}

int reduction(int width, int height)
{
    return width > 3264 || height >= 3265 ? 8 : 4;
}

// The frame size comes from the benchmark's two arguments.
struct Sized {
    explicit Sized(const benchmark::State &state)
        : width(int(state.range(0))), height(int(state.range(1))), frame(sceneFrame(width, height))
    {
    }
    int width, height;
    std::vector<uint8_t> frame;
};

void sizes(benchmark::internal::Benchmark *b)
{
    b->Args({1920, 1080})->Args({3264, 2448})->Args({4208, 3120});
    b->Unit(benchmark::kMillisecond);
}

void BM_FrameMemcpy(benchmark::State &state)
{
    Sized s(state);
    std::vector<uint8_t> copy(s.frame.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), s.frame.data(), s.frame.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
}

void BM_ResizeAreaToDetectionSize(benchmark::State &state)
{
    Sized s(state);
    const cv::Mat frame(s.height, s.width, CV_8UC3, s.frame.data());
    const int n = reduction(s.width, s.height);
    for (auto _ : state) {
        cv::Mat reduced;
        cv::resize(frame, reduced, cv::Size(s.width / n, s.height / n), 0, 0, cv::INTER_AREA);
        benchmark::DoNotOptimize(reduced.data);
    }
}

void BM_Detect(benchmark::State &state)
{
    Sized s(state);
    zq_scanner_dllinit();
    for (auto _ : state) {
        if (zq_scanner_cutting_edge_auto(s.frame.data(), s.width, s.height) != 0) {
            state.SkipWithError("no page found");
            break;
        }
    }
    zq_scanner_dllunit();
}

// Detection as first written, on a full-size copy of the frame: what the
// view of the caller's frame saves.
void BM_DetectOnFrameCopy(benchmark::State &state)
{
    Sized s(state);
    zq_scanner_dllinit();
    const int n = reduction(s.width, s.height);
    for (auto _ : state) {
        IplImage *copy = GetIplFromBmpStream(s.frame.data(), s.width, s.height);
        double angle = 0;
        CvSeq *found = findSquares4ex1(copy, storage, angle, n);
        benchmark::DoNotOptimize(found->total);
        cvClearSeq(found);
        cvReleaseImage(&copy);
    }
    zq_scanner_dllunit();
}

void BM_DrawOutline(benchmark::State &state)
{
    Sized s(state);
    const zqPoint lt{s.width / 4, s.height / 4}, rb{s.width * 3 / 4, s.height * 3 / 4};
    for (auto _ : state) {
        zq_scanner_cutting_edge_set(&lt, &rb);
        zq_scanner_cutting_edge_show(s.frame.data(), s.width, s.height);
    }
}

// Deskew-and-crop of the detected page beside one memcpy of the frame,
// for a page covering a third and one covering half of the frame (third
// argument: percent).
void BM_DeskewAndCrop(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    std::vector<uint8_t> frame = sceneFrame(width, height, double(state.range(2)) / 100);
    zq_scanner_dllinit();
    if (zq_scanner_cutting_edge_auto(frame.data(), width, height) != 0) {
        state.SkipWithError("no page found");
        zq_scanner_dllunit();
        return;
    }
    std::vector<uint8_t> out(frame.size());
    int outWidth = 0, outHeight = 0;
    FrameCopy copy(frame.size());
    compare(
        state, cpuSeconds,
        [&] {
            zq_scanner_cutting_edge_do(frame.data(), width, height, out.data(), int(out.size()),
                                       &outWidth, &outHeight);
        },
        [&] { copy(); }, "x_memcpy");
    state.counters["page_share"] = double(outWidth) * outHeight / (double(width) * height);
    zq_scanner_dllunit();
}

void BM_ClearBackground(benchmark::State &state)
{
    Sized s(state);
    std::vector<uint8_t> work(s.frame.size());
    FrameCopy copy(s.frame.size());
    compare(
        state, cpuSeconds, [&] { zq_scanner_clear_background(work.data(), s.width, s.height); },
        [&] { copy(); }, "x_memcpy",
        [&] { std::memcpy(work.data(), s.frame.data(), s.frame.size()); });
}

} // namespace

BENCHMARK(BM_FrameMemcpy)->Apply(sizes);
BENCHMARK(BM_ResizeAreaToDetectionSize)->Apply(sizes);
BENCHMARK(BM_Detect)->Apply(sizes);
BENCHMARK(BM_DetectOnFrameCopy)->Apply(sizes);
BENCHMARK(BM_DrawOutline)->Apply(sizes);
BENCHMARK(BM_DeskewAndCrop)
    ->ArgsProduct({{1920}, {1080}, {33, 50}})
    ->ArgsProduct({{3264}, {2448}, {33, 50}})
    ->ArgsProduct({{4208}, {3120}, {33, 50}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClearBackground)->Apply(sizes)->UseManualTime();

// OpenCV's worker threads would make the times depend on what else the
// machine runs; one thread compares the work itself.
int main(int argc, char **argv)
{
    cv::setNumThreads(1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
