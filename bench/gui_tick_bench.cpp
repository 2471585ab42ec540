// zqvideo's frame loop on the virtual 13 MP document camera, which streams
// MJPEG that libv4lconvert decodes in every read, as on a real camera:
//
// - BM_Read: the read, beside decoding the same JPEG with libjpeg-turbo
//   directly (x_decode: the read's cost over the bare decoding).
// - BM_PreviewRead: libzqscan's preview read of the camera's own MJPEG at
//   the scale a 640 x 480 preview needs (1/4 at 13 and 8 MP), beside the
//   same full decoding (x_decode).
// - BM_PreviewDecodePhoto: the same decoding on real photographs of a page
//   and a book, scaled to the frame size and encoded at the camera's
//   quality, beside their full decoding.
// - BM_Tick: whole ticks of the window (preview read, grey, rotation index
//   1, automatic detection, the stillness watch of automatic capture,
//   drawing, preview scaling), in processor time of all threads, beside
//   one full decoding of the camera's frame (x_decode).
// - BM_RunningWindow: the window on its own 30 ms timer for 5 s: frames
//   shown per second, processor time per frame (all threads), against one
//   full decoding (tick_x_decode), and resident memory.
// - BM_Grey ... BM_Preview: the parts of a tick alone, against memcpy.
// - BM_Capture: a capture on the running window (automatic crop, JPEG at
//   quality 60) from the press to its file and the frames the preview
//   missed meanwhile; and the capture's work against the full decoding plus
//   today's cut and write.
//
// Times are CPU time with OpenCV on this thread only, except where said.
#include "capturejob.h"
#include "config.h"
#include "jpeg_reference.h"
#include "mainwindow.h"
#include "side_by_side.h"
#include "stillness.h"
#include "virtual_hardware.h"
#include "window_bench_setup.h"
#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace zq::sim;
using namespace zq::bench;

namespace
{

constexpr int kCaptureQuality = 60; // quality index 5
constexpr int kCameraQuality = 85;  // the virtual camera's encoder
constexpr int kRunningMs = 5000;
constexpr double kFrameSeconds = 1.0 / 30; // a camera at 30 frames a second
constexpr double kCaptureTimeoutSeconds = 10;

// The process's resident memory now.
double residentMegabytes()
{
    long pages = 0;
    FILE *statm = std::fopen("/proc/self/statm", "r");
    if (!statm)
        return 0;
    long size = 0;
    if (std::fscanf(statm, "%ld %ld", &size, &pages) != 2)
        pages = 0;
    std::fclose(statm);
    return double(pages) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

CameraConfig benchCamera()
{
    CameraConfig c = CameraConfig::thirteenMegapixelCamera();
    c.scene.angleDeg = 7;
    c.scene.pageWidth = 0.3;
    return c;
}

// The tick's settings: grey, rotation index 1, automatic crop.
ZqConfig tickSettings(int width, int height)
{
    ZqConfig c{};
    c.color = 1;
    c.rota = 1;
    c.cutting_mode = 2;
    c.width = width;
    c.height = height;
    return c;
}

// A fresh virtual hardware with the bench camera alone.
VirtualCamera &freshCamera()
{
    VirtualHardware::instance().reset();
    return VirtualHardware::instance().addCamera(0, benchCamera());
}

// A window streaming from a fresh camera with these settings, past the
// first frames, for which the camera encodes its noisy variants.
std::unique_ptr<MainWindow> benchWindow(const ZqConfig &settings)
{
    freshCamera();
    saveConfigFile(settings, GetConfigPath());
    auto window = std::make_unique<MainWindow>();
    for (size_t i = 0; i < NativeFrames::kVariants; ++i)
        window->TimerUpdate();
    return window;
}

void setLabel(benchmark::State &state, int &w, int &h)
{
    w = int(state.range(0));
    h = int(state.range(1));
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}

// One full decoding of the camera's next frame into rgb; false when it is
// not a whole w x h frame.
bool decodeNextFrame(VirtualCamera &camera, std::vector<uint8_t> &rgb, int w, int h)
{
    int decodedW = 0, decodedH = 0;
    decodeToRgb(camera.nativeFrame(uint32_t(camera.framesDelivered())), rgb, decodedW, decodedH);
    return decodedW == w && decodedH == h;
}

// Times work beside one full decoding of the camera's next frame
// (x_decode), after reading past its first frames, for which the camera
// encodes its noisy variants.  False when the decoding gave no whole frame.
bool againstDecode(benchmark::State &state, VirtualCamera &camera, Clock clock, const Work &work,
                   int w, int h)
{
    for (size_t i = 0; i < NativeFrames::kVariants; ++i)
        work();
    std::vector<uint8_t> rgb;
    bool whole = true;
    compare(
        state, clock, work, [&] { whole &= decodeNextFrame(camera, rgb, w, h); }, "x_decode");
    return whole;
}

void BM_Read(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    VirtualCamera &camera = freshCamera();
    const int camera_fd = zq_scanner_open_index(1);
    if (camera_fd < 0 || zq_scanner_init(camera_fd, &w, &h) != 0) {
        state.SkipWithError("no stream");
        return;
    }
    unsigned char *picture = nullptr;
    int len = 0;
    bool read = true;
    const bool whole = againstDecode(
        state, camera, cpuSeconds,
        [&] { read &= zq_scanner_picture_read(camera_fd, &picture, &len) == 0; }, w, h);
    zq_scanner_close(camera_fd);
    if (!read || !whole)
        state.SkipWithError("no whole frame");
}

void BM_PreviewRead(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    VirtualCamera &camera = freshCamera();
    const int camera_fd = zq_scanner_open_index(1);
    if (camera_fd < 0 || zq_scanner_init_preview(camera_fd, &w, &h) != ZQ_PREVIEW_JPEG) {
        state.SkipWithError("no MJPEG stream");
        return;
    }
    const int denominator = zq_scanner_preview_denominator(w, h, 640, 480);
    unsigned char *picture = nullptr;
    int pw = 0, ph = 0;
    bool read = true;
    const bool whole = againstDecode(
        state, camera, cpuSeconds,
        [&] { read &= zq_scanner_preview_read(camera_fd, denominator, &picture, &pw, &ph) == 0; },
        w, h);
    zq_scanner_close(camera_fd);
    state.counters["denominator"] = denominator;
    if (!read || !whole)
        state.SkipWithError("no whole frame");
}

// The preview read's decoding on real photographs of pages, made into a
// camera's frames: scaled to the frame size and encoded at the virtual
// camera's JPEG quality, without its added sensor noise.
void BM_PreviewDecodePhoto(benchmark::State &state, const char *photo)
{
    int w, h;
    setLabel(state, w, h);
    std::vector<uint8_t> original, rgb;
    int ow = 0, oh = 0;
    QFile file(QStringLiteral(ZQ_TEST_PHOTOS "/") + photo);
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no photograph");
        return;
    }
    const QByteArray bytes = file.readAll();
    decodeToRgb(std::vector<uint8_t>(bytes.begin(), bytes.end()), original, ow, oh);
    cv::Mat frame;
    cv::resize(cv::Mat(oh, ow, CV_8UC3, original.data()), frame, cv::Size(w, h));
    const std::vector<uint8_t> jpeg = encodeToMemory(frame.data, w, h, kCameraQuality);
    const int denominator = zq_scanner_preview_denominator(w, h, 640, 480);
    std::vector<uint8_t> small(size_t(w) * h * 3);
    int sw = 0, sh = 0, dw = 0, dh = 0;
    compare(
        state, cpuSeconds,
        [&] {
            zq_scanner_jpeg_decode(jpeg.data(), jpeg.size(), denominator, small.data(),
                                   small.size(), &sw, &sh);
        },
        [&] { decodeToRgb(jpeg, rgb, dw, dh); }, "x_decode");
    state.counters["denominator"] = denominator;
    state.counters["jpeg_kb"] = double(jpeg.size()) / 1024;
}

void BM_Tick(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    auto window = benchWindow(tickSettings(w, h));
    VirtualCamera &camera = *VirtualHardware::instance().camera(0);
    if (!againstDecode(
            state, camera, processCpuSeconds, [&] { window->TimerUpdate(); }, w, h))
        state.SkipWithError("no whole frame");
    reportLoad(state);
}

// The window as it runs, on its own timer: the frames it shows each second
// and its processor time (all threads) for each, its resident memory at
// the end, and one full decode of the camera's frame for scale.
void BM_RunningWindow(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    auto window = benchWindow(tickSettings(w, h));
    window->show();
    VirtualCamera &camera = *VirtualHardware::instance().camera(0);
    double ticks = 0, cpu = 0, wall = 0;
    for (auto _ : state) {
        const int firstFrame = camera.framesDelivered();
        const double cpuStart = processCpuSeconds();
        const double wallStart = wallSeconds();
        QEventLoop running;
        QTimer::singleShot(kRunningMs, &running, &QEventLoop::quit);
        running.exec();
        ticks += camera.framesDelivered() - firstFrame;
        cpu += processCpuSeconds() - cpuStart;
        wall += wallSeconds() - wallStart;
        state.SetIterationTime(wallSeconds() - wallStart);
    }
    std::vector<uint8_t> rgb;
    const double decode = secondsOf(processCpuSeconds, [&] { decodeNextFrame(camera, rgb, w, h); });
    state.counters["ticks_per_s"] = ticks / wall;
    state.counters["cpu_ms_per_tick"] = cpu / ticks * 1e3;
    state.counters["tick_x_decode"] = cpu / ticks / decode;
    state.counters["rss_mb"] = residentMegabytes();
    reportLoad(state);
}

// The parts of a tick on one copy of a rendered frame.
struct Frame {
    explicit Frame(benchmark::State &state) : copy(size_t(state.range(0)) * state.range(1) * 3)
    {
        setLabel(state, w, h);
        rgb = renderScene(benchCamera().scene, w, h);
    }
    void against(benchmark::State &state, const Work &work)
    {
        compare(
            state, cpuSeconds, work, [&] { copy(); }, "x_memcpy");
    }
    int w, h;
    std::vector<uint8_t> rgb;
    FrameCopy copy;
};

void BM_Grey(benchmark::State &state)
{
    Frame f(state);
    f.against(state, [&] { zq_scanner_picture_gray(f.rgb.data(), f.w, f.h); });
}

void BM_RotateRight(benchmark::State &state)
{
    Frame f(state);
    f.against(state, [&] {
        zq_scanner_picture_rotate_90(f.rgb.data(), f.w, f.h);
        zq_scanner_picture_rotate_90(f.rgb.data(), f.h, f.w);
        zq_scanner_picture_rotate_90(f.rgb.data(), f.w, f.h);
        std::swap(f.w, f.h);
    });
}

void BM_Detect(benchmark::State &state)
{
    Frame f(state);
    zq_scanner_dllinit();
    f.against(state, [&] { zq_scanner_cutting_edge_auto(f.rgb.data(), f.w, f.h); });
    zq_scanner_dllunit();
}

// The stillness watch of automatic capture, on the page and its outline.
void BM_Stillness(benchmark::State &state)
{
    Frame f(state);
    zqPoint outline[4];
    const auto corners = pageCorners(benchCamera().scene, f.w, f.h);
    for (int i = 0; i < 4; ++i)
        outline[i] = {int(corners[i].x), int(corners[i].y)};
    StillnessDetector watch;
    int64_t ms = 0;
    f.against(state, [&] {
        benchmark::DoNotOptimize(watch.observe(f.rgb.data(), f.w, f.h, outline, ms += 30));
    });
}

void BM_Draw(benchmark::State &state)
{
    Frame f(state);
    const zqPoint lt{f.w / 4, f.h / 4};
    const zqPoint rb{f.w * 3 / 4, f.h * 3 / 4};
    f.against(state, [&] {
        zq_scanner_cutting_edge_set(&lt, &rb);
        zq_scanner_cutting_edge_show(f.rgb.data(), f.w, f.h);
    });
}

void BM_Preview(benchmark::State &state)
{
    Frame f(state);
    auto window = benchWindow(tickSettings(f.w, f.h));
    f.against(state, [&] { window->ShowRGB(f.rgb.data(), f.h, f.w); }); // turned: h x w
}

void pressCapture(MainWindow &window)
{
    auto *button = window.findChild<QPushButton *>("pushButton_3");
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
}

QString onlyFile(const QString &dir)
{
    const QStringList files = QDir(dir).entryList(QDir::Files);
    return files.size() == 1 ? QDir(dir).filePath(files[0]) : QString();
}

// A capture on the running window, from the press to its file written
// (capture_ms, wall time), while the window's own timer keeps ticking:
// frames_missed counts the frames of a 30 fps camera it did not show
// meanwhile.  Then the capture's own work (decoding the held frame whole,
// cutting the page near the outline the preview found, writing it) on this
// thread, against the same frame's full decoding and today's cut and write
// of the page detected on the whole frame: x_decode_cut_write is the
// work's time over theirs, decode_ms, cut_ms and save_ms theirs.
void BM_Capture(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    QTemporaryDir pages, scratch;
    ZqConfig settings = tickSettings(w, h);
    settings.color = 0;
    settings.rota = 0;
    settings.quality = 5;
    std::strncpy(settings.save_dir, pages.path().toLocal8Bit().constData(),
                 sizeof(settings.save_dir) - 1);
    auto window = benchWindow(settings);
    window->show();
    VirtualCamera &camera = *VirtualHardware::instance().camera(0);
    const std::string referencePath = scratch.filePath("reference.jpg").toStdString();

    std::vector<double> ratios, captures, missed, decodes, cuts, saves;
    bool captured = true;
    for (auto _ : state) {
        const int firstFrame = camera.framesDelivered();
        const double start = wallSeconds();
        pressCapture(*window);
        while (QDir(pages.path()).entryList(QDir::Files).isEmpty() &&
               wallSeconds() - start < kCaptureTimeoutSeconds)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double seconds = wallSeconds() - start;
        state.SetIterationTime(seconds);
        captures.push_back(seconds);
        missed.push_back(std::max(0.0, std::floor(seconds / kFrameSeconds) -
                                           (camera.framesDelivered() - firstFrame)));
        const QString saved = onlyFile(pages.path());
        captured &= !saved.isEmpty();
        QFile::remove(saved);

        // The same frame both ways, with the page detected on the whole frame.
        CaptureJob job;
        job.frame.bytes = camera.nativeFrame(uint32_t(camera.framesDelivered()));
        job.frame.jpeg = true;
        job.directory = scratch.path().toStdString();
        job.stamp = "job";
        job.quality = kCaptureQuality;
        std::vector<uint8_t> frame;
        int fw = 0, fh = 0;
        decodes.push_back(
            secondsOf(cpuSeconds, [&] { decodeToRgb(job.frame.bytes, frame, fw, fh); }));
        zqPointF corners[4];
        if (zq_scanner_cutting_edge_auto(frame.data(), fw, fh) != 0 ||
            zq_scanner_cutting_edge_quad(corners) != 0) {
            captured = false;
            continue;
        }
        job.cut = CaptureJob::Cut::Page;
        job.reach = 12;
        std::copy(corners, corners + 4, job.outline.begin());
        std::vector<uint8_t> cut(frame.size() * 2);
        int cutW = 0, cutH = 0;
        cuts.push_back(secondsOf(cpuSeconds, [&] {
            zq_scanner_cutting_edge_do(frame.data(), fw, fh, cut.data(), int(cut.size()), &cutW,
                                       &cutH);
        }));
        saves.push_back(secondsOf(cpuSeconds, [&] {
            zq_scanner_picture_save(referencePath.c_str(), cut.data(), cutW, cutH, kCaptureQuality);
        }));
        const double work = secondsOf(cpuSeconds, [&] { captured &= job.run().error == 0; });
        ratios.push_back(work / (decodes.back() + cuts.back() + saves.back()));
    }
    if (!captured)
        state.SkipWithError("a capture wrote no file");
    state.counters["capture_ms"] = median(captures) * 1e3;
    state.counters["frames_missed"] = median(missed);
    state.counters["x_decode_cut_write"] = median(ratios);
    state.counters["decode_ms"] = median(decodes) * 1e3;
    state.counters["cut_ms"] = median(cuts) * 1e3;
    state.counters["save_ms"] = median(saves) * 1e3;
    reportLoad(state);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Args({1920, 1080})->Args({3264, 2448})->Args({4208, 3120});
    b->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Read)->Apply(sizes);
BENCHMARK(BM_PreviewRead)->Apply(sizes);
BENCHMARK_CAPTURE(BM_PreviewDecodePhoto, page, "a4-on-dark-background.jpg")->Apply(sizes);
BENCHMARK_CAPTURE(BM_PreviewDecodePhoto, book, "book.jpg")->Apply(sizes);
BENCHMARK(BM_Tick)->Apply(sizes);
BENCHMARK(BM_RunningWindow)->Apply(sizes)->Iterations(1);
BENCHMARK(BM_Grey)->Apply(sizes);
BENCHMARK(BM_RotateRight)->Apply(sizes);
BENCHMARK(BM_Detect)->Apply(sizes);
BENCHMARK(BM_Stillness)->Apply(sizes);
BENCHMARK(BM_Draw)->Apply(sizes);
BENCHMARK(BM_Preview)->Apply(sizes);
BENCHMARK(BM_Capture)
    ->Args({4208, 3120})
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    const zq::bench::WindowBenchSetup setup;
    // One thread, so that thread CPU time holds all of detection's work.
    cv::setNumThreads(1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    VirtualHardware::instance().reset();
    return 0;
}
