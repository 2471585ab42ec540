// Speed of the document image processing at camera frame sizes, beside
// the two costs it is judged against in the same run: one memcpy of the
// frame, and OpenCV's area resize of the frame to the detection size
// (detection's one unavoidable pass over the whole frame).
#include "scene.h"
#include "zq_opencv_internal.h"

#include <benchmark/benchmark.h>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace
{

// A rendered scene per frame size, made once: a tilted page on a desk.
const std::vector<uint8_t> &sceneFrame(int width, int height)
{
    static std::map<std::pair<int, int>, std::vector<uint8_t>> frames;
    auto &frame = frames[{width, height}];
    if (frame.empty()) {
        zq::sim::PageScene scene;
        scene.pageWidth = 0.3;
        scene.angleDeg = 8;
        frame = zq::sim::renderScene(scene, width, height);
    }
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

void BM_DeskewAndCrop(benchmark::State &state)
{
    Sized s(state);
    zq_scanner_dllinit();
    if (zq_scanner_cutting_edge_auto(s.frame.data(), s.width, s.height) != 0)
        state.SkipWithError("no page found");
    std::vector<uint8_t> out(s.frame.size());
    for (auto _ : state) {
        if (zq_scanner_cutting_edge_do(s.frame.data(), s.width, s.height, out.data(),
                                       int(out.size()), nullptr, nullptr) != 0) {
            state.SkipWithError("no cut");
            break;
        }
    }
    zq_scanner_dllunit();
}

void BM_ClearBackground(benchmark::State &state)
{
    Sized s(state);
    std::vector<uint8_t> work(s.frame.size());
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(work.data(), s.frame.data(), s.frame.size());
        state.ResumeTiming();
        zq_scanner_clear_background(work.data(), s.width, s.height);
    }
}

} // namespace

BENCHMARK(BM_FrameMemcpy)->Apply(sizes);
BENCHMARK(BM_ResizeAreaToDetectionSize)->Apply(sizes);
BENCHMARK(BM_Detect)->Apply(sizes);
BENCHMARK(BM_DetectOnFrameCopy)->Apply(sizes);
BENCHMARK(BM_DrawOutline)->Apply(sizes);
BENCHMARK(BM_DeskewAndCrop)->Apply(sizes);
BENCHMARK(BM_ClearBackground)->Apply(sizes);

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
