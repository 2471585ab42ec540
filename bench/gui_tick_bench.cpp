// zqvideo's frame loop on the virtual 13 MP document camera, which streams
// MJPEG that libv4lconvert decodes in every read, as on a real camera:
//
// - BM_Read: the read, beside decoding the same JPEG with libjpeg-turbo
//   directly (x_decode: the read's cost over the bare decoding).
// - BM_PreviewRead: libzqscan's preview read of the camera's own MJPEG at
//   the scale a 640 x 480 preview needs (1/4 at 13 and 8 MP), beside the
//   same full decoding (x_decode).
// - BM_Tick: whole ticks (read, grey, rotation index 1, automatic
//   detection, the stillness watch of automatic capture, drawing, preview
//   scaling); after_read_x_memcpy is the tick's work after the read
//   against one memcpy of the frame.
// - BM_Grey ... BM_Preview: the parts of a tick alone, against memcpy.
// - BM_Capture: the extra time of a tick that captures (automatic crop,
//   JPEG at quality 60) over one that does not, against libjpeg encoding
//   the saved page into memory plus writing and syncing a file of that
//   size (x_encode_fsync), and where the time goes: cut_ms, save_ms, and
//   thumbnail_ms, which the window spends on a worker thread, not in the
//   tick.
//
// Times are thread CPU time with OpenCV on this thread only, except the
// capture's: it waits for the disk and is timed by the wall clock, with
// OpenCV's worker threads as the program runs it.
#include "config.h"
#include "jpeg_reference.h"
#include "mainwindow.h"
#include "side_by_side.h"
#include "stillness.h"
#include "virtual_hardware.h"
#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <opencv2/core/utility.hpp>
#include <unistd.h>

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

bool readFrame()
{
    unsigned char *picture = nullptr;
    int len = 0;
    return zq_scanner_picture_read(fd, &picture, &len) == 0;
}

// A window streaming from a fresh camera with these settings, past the
// first frames, for which the camera encodes its noisy variants.
std::unique_ptr<MainWindow> benchWindow(const ZqConfig &settings)
{
    VirtualHardware::instance().reset();
    VirtualHardware::instance().addCamera(0, benchCamera());
    saveConfigFile(settings, GetConfigPath());
    auto window = std::make_unique<MainWindow>();
    for (size_t i = 0; i < NativeFrames::kVariants; ++i)
        readFrame();
    return window;
}

void setLabel(benchmark::State &state, int &w, int &h)
{
    w = int(state.range(0));
    h = int(state.range(1));
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}

void BM_Read(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    auto window = benchWindow(tickSettings(w, h));
    VirtualCamera &camera = *VirtualHardware::instance().camera(0);
    std::vector<uint8_t> rgb;
    int decodedW = 0, decodedH = 0;
    bool read = true;
    compare(
        state, cpuSeconds, [&] { read &= readFrame(); },
        [&] {
            decodeToRgb(camera.nativeFrame(uint32_t(camera.framesDelivered())), rgb, decodedW,
                        decodedH);
        },
        "x_decode");
    if (!read || decodedW != w || decodedH != h)
        state.SkipWithError("no whole frame");
}

void BM_PreviewRead(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    VirtualHardware::instance().reset();
    VirtualCamera &camera = VirtualHardware::instance().addCamera(0, benchCamera());
    const int camera_fd = zq_scanner_open_index(1);
    if (camera_fd < 0 || zq_scanner_init_preview(camera_fd, &w, &h) != ZQ_PREVIEW_JPEG) {
        state.SkipWithError("no MJPEG stream");
        return;
    }
    const int denominator = zq_scanner_preview_denominator(w, h, 640, 480);
    unsigned char *picture = nullptr;
    int pw = 0, ph = 0;
    bool read = true;
    for (size_t i = 0; i < NativeFrames::kVariants; ++i)
        read &= zq_scanner_preview_read(camera_fd, denominator, &picture, &pw, &ph) == 0;
    std::vector<uint8_t> rgb;
    int decodedW = 0, decodedH = 0;
    compare(
        state, cpuSeconds,
        [&] { read &= zq_scanner_preview_read(camera_fd, denominator, &picture, &pw, &ph) == 0; },
        [&] {
            decodeToRgb(camera.nativeFrame(uint32_t(camera.framesDelivered())), rgb, decodedW,
                        decodedH);
        },
        "x_decode");
    zq_scanner_close(camera_fd);
    state.counters["denominator"] = denominator;
    if (!read || decodedW != w || decodedH != h)
        state.SkipWithError("no whole frame");
}

void BM_Tick(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    auto window = benchWindow(tickSettings(w, h));
    FrameCopy copy(size_t(w) * h * 3);
    window->TimerUpdate();
    std::vector<double> ratios, reads, ticks;
    for (auto _ : state) {
        const double memcpySeconds = secondsOf(cpuSeconds, [&] { copy(); });
        reads.push_back(secondsOf(cpuSeconds, [] { readFrame(); }));
        ticks.push_back(secondsOf(cpuSeconds, [&] { window->TimerUpdate(); }));
        state.SetIterationTime(ticks.back());
        ratios.push_back((ticks.back() - reads.back()) / memcpySeconds);
    }
    state.counters["after_read_x_memcpy"] = median(ratios);
    state.counters["read_ms"] = median(reads) * 1e3;
    state.counters["tick_ms"] = median(ticks) * 1e3;
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

// Writes bytes to a new file and syncs it: the disk's share of a save.
void writeAndSync(const std::string &path, const std::vector<uint8_t> &bytes)
{
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0)
        return;
    benchmark::DoNotOptimize(::write(file, bytes.data(), bytes.size()));
    ::fsync(file);
    ::close(file);
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

void BM_Capture(benchmark::State &state)
{
    int w, h;
    setLabel(state, w, h);
    // The wait a user sees: OpenCV with its worker threads, as in the program.
    cv::setNumThreads(-1);
    QTemporaryDir pages, scratch;
    ZqConfig settings{};
    settings.quality = 5;
    settings.cutting_mode = 2;
    settings.width = w;
    settings.height = h;
    std::strncpy(settings.save_dir, pages.path().toLocal8Bit().constData(),
                 sizeof(settings.save_dir) - 1);
    auto window = benchWindow(settings);
    window->TimerUpdate();

    // The parts, on a rendered frame with its page detected.
    std::vector<uint8_t> frame = renderScene(benchCamera().scene, w, h);
    std::vector<uint8_t> cut(frame.size());
    zq_scanner_dllinit();
    const std::string partPath = scratch.filePath("part.jpg").toStdString();

    std::vector<double> ratios, cuts, saves, thumbnails;
    bool captured = true;
    for (auto _ : state) {
        const double plain = secondsOf(wallSeconds, [&] { window->TimerUpdate(); });
        pressCapture(*window);
        const double capturing = secondsOf(wallSeconds, [&] { window->TimerUpdate(); });
        state.SetIterationTime(capturing - plain);
        // The page's thumbnail, on its worker thread, and its arrival.
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();

        const QString saved = onlyFile(pages.path());
        captured &= !saved.isEmpty();
        std::vector<uint8_t> page;
        int pageW = 0, pageH = 0;
        QFile file(saved);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.readAll();
            decodeToRgb(std::vector<uint8_t>(bytes.begin(), bytes.end()), page, pageW, pageH);
        }
        QFile::remove(saved);
        const double reference = secondsOf(wallSeconds, [&] {
            writeAndSync(scratch.filePath("reference.jpg").toStdString(),
                         encodeToMemory(page.data(), pageW, pageH, kCaptureQuality));
        });
        ratios.push_back((capturing - plain) / reference);

        int cutW = 0, cutH = 0;
        zq_scanner_cutting_edge_auto(frame.data(), w, h);
        cuts.push_back(secondsOf(wallSeconds, [&] {
            zq_scanner_cutting_edge_do(frame.data(), w, h, cut.data(), int(cut.size()), &cutW,
                                       &cutH);
        }));
        saves.push_back(secondsOf(wallSeconds, [&] {
            zq_scanner_picture_save(partPath.c_str(), cut.data(), cutW, cutH, kCaptureQuality);
        }));
        thumbnails.push_back(secondsOf(wallSeconds, [&] {
            QImageReader reader(QString::fromStdString(partPath));
            reader.setScaledSize(QSize(100, 100));
            benchmark::DoNotOptimize(reader.read().width());
        }));
    }
    zq_scanner_dllunit();
    cv::setNumThreads(1);
    if (!captured)
        state.SkipWithError("a capture wrote no file");
    state.counters["x_encode_fsync"] = median(ratios);
    state.counters["cut_ms"] = median(cuts) * 1e3;
    state.counters["save_ms"] = median(saves) * 1e3;
    state.counters["thumbnail_ms"] = median(thumbnails) * 1e3;
    reportLoad(state);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Args({1920, 1080})->Args({3264, 2448})->Args({4208, 3120});
    b->UseManualTime()->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Read)->Apply(sizes);
BENCHMARK(BM_PreviewRead)->Apply(sizes);
BENCHMARK(BM_Tick)->Apply(sizes);
BENCHMARK(BM_Grey)->Apply(sizes);
BENCHMARK(BM_RotateRight)->Apply(sizes);
BENCHMARK(BM_Detect)->Apply(sizes);
BENCHMARK(BM_Stillness)->Apply(sizes);
BENCHMARK(BM_Draw)->Apply(sizes);
BENCHMARK(BM_Preview)->Apply(sizes);
BENCHMARK(BM_Capture)->Args({3264, 2448})->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    useVirtualHardware("bench");
    QTemporaryDir configDir;
    setenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // One thread, so that thread CPU time holds all of detection's work.
    cv::setNumThreads(1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    VirtualHardware::instance().reset();
    return 0;
}
