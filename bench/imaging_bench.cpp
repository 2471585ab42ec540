// Speed of the document image processing at camera frame sizes, beside
// the two costs it is judged against in the same run: one memcpy of the
// frame, and OpenCV's area resize of the frame to the detection size
// (detection's one unavoidable pass over the whole frame).  Detection is
// timed on a dark mat, where the bright region is the page, and on a light
// desk, where the page's edges have to be searched as well.
#include "scene.h"
#include "side_by_side.h"
#include "zq_opencv_internal.h"

#include <benchmark/benchmark.h>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

namespace
{

using namespace zq::bench;

enum Desk { kDarkMat, kLightDesk };

// The tilted page of every benchmark, on a dark mat or on light wood with
// a pen, a mouse, a soft shadow and sensor noise, where the bright region
// is not the page and the edges have to find it.  The page is 0.3 of the
// frame wide, or as wide as covers the given share of the frame.
zq::sim::PageScene scene(Desk desk, int width, int height, double share)
{
    zq::sim::PageScene s;
    if (desk == kLightDesk) {
        s = zq::sim::sceneOnDesk(zq::sim::Desk::LightWood);
        s.clutter = zq::sim::kPen | zq::sim::kMouse;
        s.shadow = 0.2;
        s.noise = 2.5;
    }
    s.pageWidth = share > 0 ? std::sqrt(share * height / (s.aspect * width)) : 0.3;
    s.angleDeg = 8;
    return s;
}

// A rendered frame per size, desk and page, made once.
const std::vector<uint8_t> &sceneFrame(int width, int height, Desk desk, double share = 0)
{
    static std::map<std::tuple<int, int, Desk, double>, std::vector<uint8_t>> frames;
    auto &frame = frames[{width, height, desk, share}];
    if (frame.empty())
        frame = zq::sim::renderScene(scene(desk, width, height, share), width, height);
    return frame;
}

int reduction(int width, int height)
{
    return width > 3264 || height >= 3265 ? 8 : 4;
}

// The frame size comes from the benchmark's first two arguments, the desk
// from the third (the dark mat when there is none).
struct Sized {
    explicit Sized(const benchmark::State &state)
        : width(int(state.range(0))), height(int(state.range(1))),
          frame(sceneFrame(width, height, state.range(2) == kLightDesk ? kLightDesk : kDarkMat))
    {
    }
    int width, height;
    std::vector<uint8_t> frame;
};

void sizes(benchmark::internal::Benchmark *b)
{
    for (const auto &[w, h] : {std::pair{1920, 1080}, {3264, 2448}, {4208, 3120}})
        b->Args({w, h, kDarkMat});
    b->Unit(benchmark::kMillisecond);
}

void sizesAndDesks(benchmark::internal::Benchmark *b)
{
    for (const auto &[w, h] : {std::pair{1920, 1080}, {3264, 2448}, {4208, 3120}})
        for (Desk desk : {kDarkMat, kLightDesk})
            b->Args({w, h, desk});
    b->Unit(benchmark::kMillisecond);
    b->UseManualTime();
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

// Detection beside the area resize of the same frame, alternately, in
// thread CPU time: x_resize is the ratio of their medians.
void BM_Detect(benchmark::State &state)
{
    Sized s(state);
    const cv::Mat frame(s.height, s.width, CV_8UC3, s.frame.data());
    const int n = reduction(s.width, s.height);
    zq_scanner_dllinit();
    std::vector<double> detect, resize;
    for (auto _ : state) {
        double start = cpuSeconds();
        cv::Mat reduced;
        cv::resize(frame, reduced, cv::Size(s.width / n, s.height / n), 0, 0, cv::INTER_AREA);
        benchmark::DoNotOptimize(reduced.data);
        resize.push_back(cpuSeconds() - start);
        start = cpuSeconds();
        const int found = zq_scanner_cutting_edge_auto(s.frame.data(), s.width, s.height);
        detect.push_back(cpuSeconds() - start);
        state.SetIterationTime(detect.back());
        if (found != 0) {
            state.SkipWithError("no page found");
            break;
        }
    }
    zq_scanner_dllunit();
    if (detect.empty())
        return;
    state.counters["resize_ms"] = median(resize) * 1e3;
    state.counters["x_resize"] = median(detect) / median(resize);
    reportLoad(state);
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
// argument: percent).  An upright page of half a 16:9 frame is taller than
// the frame, and no page is detected there.
void BM_DeskewAndCrop(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    std::vector<uint8_t> frame = sceneFrame(width, height, kDarkMat, double(state.range(2)) / 100);
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
BENCHMARK(BM_Detect)->Apply(sizesAndDesks);
BENCHMARK(BM_DetectOnFrameCopy)->Apply(sizes);
BENCHMARK(BM_DrawOutline)->Apply(sizes);
BENCHMARK(BM_DeskewAndCrop)
    ->Args({1920, 1080, 33})
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
