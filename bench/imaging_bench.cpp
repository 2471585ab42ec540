// Speed of the document image processing at camera frame sizes, beside
// the two costs it is judged against in the same run: one memcpy of the
// frame, and OpenCV's area resize of the frame to the detection size
// (detection's one unavoidable pass over the whole frame).  Detection is
// timed on a dark mat, where the bright region is the page, on a light
// desk, where the page's edges have to be searched as well, and on a
// cluttered one, where a hand and a second sheet lie about too; each with
// the camera head upright and leaning, so that the page is seen in
// perspective.  An open book's spread is outlined beside the same resize,
// and both its pages flattened beside a memcpy.
#include "book_scene.h"
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

enum Desk { kDarkMat, kLightDesk, kClutteredDesk };

// How the page of a benchmark lies: on which desk, covering which share of
// the frame (0: 0.3 of the frame wide), seen by a camera head leaning by
// tiltDeg.
struct Look {
    Desk desk = kDarkMat;
    double share = 0;
    double tiltDeg = 0;
};

// The page of every benchmark, turned by 8 degrees, on a dark mat or on
// light wood with a pen, a mouse, a soft shadow and sensor noise, where the
// bright region is not the page and the edges have to find it; the
// cluttered desk adds a hand reaching over the page's bottom edge and a
// second sheet cut by the frame's left edge.  The page is 0.3 of the frame
// wide, or as wide as covers the given share of the frame.
zq::sim::PageScene scene(const Look &look, int width, int height)
{
    zq::sim::PageScene s;
    if (look.desk != kDarkMat) {
        s = zq::sim::sceneOnDesk(zq::sim::Desk::LightWood);
        s.clutter = zq::sim::kPen | zq::sim::kMouse;
        s.shadow = 0.2;
        s.noise = 2.5;
    }
    if (look.desk == kClutteredDesk)
        s.clutter |= zq::sim::kHand | zq::sim::kSecondSheet;
    s.pageWidth = look.share > 0 ? std::sqrt(look.share * height / (s.aspect * width)) : 0.3;
    s.angleDeg = 8;
    s.tiltDeg = look.tiltDeg;
    return s;
}

// A rendered frame per size and look, made once.
const std::vector<uint8_t> &sceneFrame(int width, int height, const Look &look)
{
    static std::map<std::tuple<int, int, Desk, double, double>, std::vector<uint8_t>> frames;
    auto &frame = frames[{width, height, look.desk, look.share, look.tiltDeg}];
    if (frame.empty())
        frame = zq::sim::renderScene(scene(look, width, height), width, height);
    return frame;
}

int reduction(int width, int height)
{
    return width > 3264 || height >= 3265 ? 8 : 4;
}

// The frame size comes from the benchmark's first two arguments.
struct Sized {
    explicit Sized(const benchmark::State &state, const Look &shown = {})
        : width(int(state.range(0))), height(int(state.range(1))), look(shown),
          frame(sceneFrame(width, height, look))
    {
    }
    int width, height;
    Look look;
    std::vector<uint8_t> frame;
};

constexpr std::pair<int, int> kFrameSizes[] = {{1920, 1080}, {3264, 2448}, {4208, 3120}};

void sizes(benchmark::internal::Benchmark *b)
{
    for (const auto &[w, h] : kFrameSizes)
        b->Args({w, h});
    b->Unit(benchmark::kMillisecond);
}

// The camera head upright, and leaning by 10 degrees: a page seen plainly
// in perspective, its far side shorter than its near one.
constexpr int kLeansDeg[] = {0, 10};

// The detection benchmarks' third argument is the desk, the fourth the
// camera head's lean in degrees.
void sizesDesksAndLeans(benchmark::internal::Benchmark *b)
{
    for (const auto &[w, h] : kFrameSizes)
        for (Desk desk : {kDarkMat, kLightDesk, kClutteredDesk})
            for (int lean : kLeansDeg)
                b->Args({w, h, desk, lean});
    b->Unit(benchmark::kMillisecond);
    b->UseManualTime();
}

// Prepares the detection storage for one benchmark and releases it after.
struct DetectionStorage {
    DetectionStorage() { zq_scanner_dllinit(); }
    ~DetectionStorage() { zq_scanner_dllunit(); }
    DetectionStorage(const DetectionStorage &) = delete;
    DetectionStorage &operator=(const DetectionStorage &) = delete;
};

// Detects the page in the frame; a benchmark whose frame shows none is
// skipped, since timing a miss measures a different path.
bool pageFound(benchmark::State &state, uint8_t *frame, int width, int height)
{
    if (zq_scanner_cutting_edge_auto(frame, width, height) == 0)
        return true;
    state.SkipWithError("no page found");
    return false;
}

// How far, in pixels, the detected outline lies from the rendered page:
// the largest distance from a true corner to the nearest detected one.  A
// fast detection of the second sheet or of the hand would be no result.
double cornerMiss(const zq::sim::PageScene &page, int width, int height)
{
    zqPointF found[4];
    if (zq_scanner_cutting_edge_quad(found) != 0)
        return INFINITY;
    // The renderer puts pixel x's centre at x + 0.5, the library at x.
    constexpr double kToPixelCentres = -0.5;
    double worst = 0;
    for (const zq::sim::Point &truth : zq::sim::pageCorners(page, width, height)) {
        double nearest = INFINITY;
        for (const zqPointF &corner : found)
            nearest = std::min(nearest, std::hypot(corner.x - (truth.x + kToPixelCentres),
                                                   corner.y - (truth.y + kToPixelCentres)));
        worst = std::max(worst, nearest);
    }
    return worst;
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

// Detection, the corners refined on the whole frame included, beside the
// area resize of the same frame, by turns in thread CPU time (x_resize);
// corner_px checks that the page it times finding is the right one.
void BM_Detect(benchmark::State &state)
{
    Sized s(state, Look{Desk(state.range(2)), 0, double(state.range(3))});
    const cv::Mat frame(s.height, s.width, CV_8UC3, s.frame.data());
    const int n = reduction(s.width, s.height);
    DetectionStorage detection;
    if (!pageFound(state, s.frame.data(), s.width, s.height))
        return;
    compare(
        state, cpuSeconds, [&] { zq_scanner_cutting_edge_auto(s.frame.data(), s.width, s.height); },
        [&] {
            cv::Mat reduced;
            cv::resize(frame, reduced, cv::Size(s.width / n, s.height / n), 0, 0, cv::INTER_AREA);
            benchmark::DoNotOptimize(reduced.data);
        },
        "x_resize");
    state.counters["corner_px"] = cornerMiss(scene(s.look, s.width, s.height), s.width, s.height);
}

// Detection as first written, on a full-size copy of the frame: what the
// view of the caller's frame saves.
void BM_DetectOnFrameCopy(benchmark::State &state)
{
    Sized s(state);
    DetectionStorage detection;
    const int n = reduction(s.width, s.height);
    for (auto _ : state) {
        IplImage *copy = GetIplFromBmpStream(s.frame.data(), s.width, s.height);
        double angle = 0;
        CvSeq *found = findSquares4ex1(copy, storage, angle, n);
        benchmark::DoNotOptimize(found->total);
        cvClearSeq(found);
        cvReleaseImage(&copy);
    }
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

// The cut of the detected page, flattened by a perspective warp, beside
// one memcpy of the frame, for a page covering a third and one covering
// half of the frame (third argument: percent), with the camera head
// upright or leaning by the fourth argument's degrees.  The Time column is
// the cut's own time; page_share is the cut's size over the frame's, more
// than the seen page's share when the page is seen in perspective, since
// the cut takes the width of the page's nearer side.
void BM_DeskewAndCrop(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    const Look look{kDarkMat, double(state.range(2)) / 100, double(state.range(3))};
    std::vector<uint8_t> frame = sceneFrame(width, height, look);
    DetectionStorage detection;
    if (!pageFound(state, frame.data(), width, height))
        return;
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
}

// An open book of the preview's usual size on the dark mat, turned by 3
// degrees, with real text and sensor noise, as the demo shows it; made once
// per frame size.
const std::vector<uint8_t> &bookFrame(int width, int height)
{
    static std::map<std::pair<int, int>, std::vector<uint8_t>> frames;
    auto &frame = frames[{width, height}];
    if (frame.empty()) {
        zq::sim::BookScene book;
        book.pageWidth = 0.3; // a spread fits a 16:9 frame
        book.angleDeg = 3;
        book.noise = 2;
        book.lines = {zq::sim::bookText(1, 22), zq::sim::bookText(2, 22)};
        book.font = ZQ_TEXT_FONT;
        frame = zq::sim::renderBook(book, width, height);
    }
    return frame;
}

bool spreadFound(benchmark::State &state, std::vector<uint8_t> &frame, int width, int height)
{
    if (zq_scanner_book_find(frame.data(), width, height) == 2)
        return true;
    state.SkipWithError("no spread found");
    return false;
}

// Finding the spread, both pages' edges traced on the whole frame, beside
// the detector's area resize of the frame, by turns in thread CPU time
// (x_resize).
void BM_BookFind(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    std::vector<uint8_t> frame = bookFrame(width, height);
    const cv::Mat image(height, width, CV_8UC3, frame.data());
    const int n = reduction(width, height);
    DetectionStorage detection;
    if (!spreadFound(state, frame, width, height))
        return;
    compare(
        state, cpuSeconds, [&] { zq_scanner_book_find(frame.data(), width, height); },
        [&] {
            cv::Mat reduced;
            cv::resize(image, reduced, cv::Size(width / n, height / n), 0, 0, cv::INTER_AREA);
            benchmark::DoNotOptimize(reduced.data);
        },
        "x_resize");
}

// Both pages of the spread laid flat, as a capture cuts them (sizes asked
// first), beside one memcpy of the frame (x_memcpy); the Time column is
// the two pages' own time on one thread.
void BM_BookFlattenBothPages(benchmark::State &state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    std::vector<uint8_t> frame = bookFrame(width, height);
    DetectionStorage detection;
    if (!spreadFound(state, frame, width, height))
        return;
    std::vector<uint8_t> out(frame.size() * 2);
    FrameCopy copy(frame.size());
    compare(
        state, cpuSeconds,
        [&] {
            for (int page = 0; page < 2; ++page) {
                int w = 0, h = 0;
                zq_scanner_book_page_do(frame.data(), width, height, page, 1, nullptr, 0, &w, &h);
                zq_scanner_book_page_do(frame.data(), width, height, page, 1, out.data(),
                                        int(out.size()), &w, &h);
            }
        },
        [&] { copy(); }, "x_memcpy");
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
BENCHMARK(BM_Detect)->Apply(sizesDesksAndLeans);
BENCHMARK(BM_DetectOnFrameCopy)->Apply(sizes);
BENCHMARK(BM_DrawOutline)->Apply(sizes);
// An upright page of half a 16:9 frame is taller than the frame, and no
// page is detected there; on 4:3 frames, turned by 8 degrees, it already
// runs off the frame's top and bottom, and seen leaning it is not found at
// 4208x3120 and cut short at 3264x2448: only pages of a third lean.
BENCHMARK(BM_DeskewAndCrop)
    ->ArgsProduct({{1920}, {1080}, {33}, {0, 10}})
    ->ArgsProduct({{3264}, {2448}, {33}, {0, 10}})
    ->Args({3264, 2448, 50, 0})
    ->ArgsProduct({{4208}, {3120}, {33}, {0, 10}})
    ->Args({4208, 3120, 50, 0})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ClearBackground)->Apply(sizes)->UseManualTime();
BENCHMARK(BM_BookFind)->Apply(sizes)->UseManualTime();
BENCHMARK(BM_BookFlattenBothPages)->Apply(sizes)->UseManualTime();

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
