// Whole ticks of zqvideo's frame loop on the virtual camera (read, grey,
// rotation index 1, automatic detection, the stillness watch of automatic
// capture, drawing, preview scaling) and each of those parts alone, at
// 1920 x 1080 and 3264 x 2448.
#include "config.h"
#include "mainwindow.h"
#include "stillness.h"
#include "virtual_hardware.h"
#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

using namespace zq::sim;

namespace
{

CameraConfig benchCamera()
{
    CameraConfig c = CameraConfig::documentCamera();
    c.formats = {
        {V4L2_PIX_FMT_MJPEG, {FrameSize::discrete(1920, 1080), FrameSize::discrete(3264, 2448)}}};
    c.scene.angleDeg = 7;
    return c;
}

// A window streaming at the benchmark's size with the tick's settings.
std::unique_ptr<MainWindow> benchWindow(int width, int height)
{
    VirtualHardware::instance().reset();
    VirtualHardware::instance().addCamera(0, benchCamera());
    ZqConfig c{};
    c.color = 1;
    c.rota = 1;
    c.cutting_mode = 2;
    c.width = width;
    c.height = height;
    saveConfigFile(c, GetConfigPath());
    return std::make_unique<MainWindow>();
}

void setSize(benchmark::State &state, int &w, int &h)
{
    w = int(state.range(0));
    h = int(state.range(1));
    state.SetLabel(std::to_string(w) + "x" + std::to_string(h));
}

void BM_Tick(benchmark::State &state)
{
    int w, h;
    setSize(state, w, h);
    auto window = benchWindow(w, h);
    for (auto _ : state)
        window->TimerUpdate();
}

// The camera's part: handing out the next frame.
void BM_Read(benchmark::State &state)
{
    int w, h;
    setSize(state, w, h);
    auto window = benchWindow(w, h);
    for (auto _ : state) {
        unsigned char *picture = nullptr;
        int len = 0;
        benchmark::DoNotOptimize(zq_scanner_picture_read(fd, &picture, &len));
    }
}

// The parts of a tick on one copy of a rendered frame.
struct Frame {
    explicit Frame(benchmark::State &state)
    {
        setSize(state, w, h);
        rgb = renderScene(benchCamera().scene, w, h);
    }
    int w, h;
    std::vector<uint8_t> rgb;
};

void BM_Grey(benchmark::State &state)
{
    Frame f(state);
    for (auto _ : state)
        zq_scanner_picture_gray(f.rgb.data(), f.w, f.h);
}

void BM_RotateRight(benchmark::State &state)
{
    Frame f(state);
    for (auto _ : state) {
        zq_scanner_picture_rotate_90(f.rgb.data(), f.w, f.h);
        zq_scanner_picture_rotate_90(f.rgb.data(), f.h, f.w);
        zq_scanner_picture_rotate_90(f.rgb.data(), f.w, f.h);
        std::swap(f.w, f.h);
    }
}

void BM_Detect(benchmark::State &state)
{
    Frame f(state);
    zq_scanner_dllinit();
    for (auto _ : state)
        benchmark::DoNotOptimize(zq_scanner_cutting_edge_auto(f.rgb.data(), f.w, f.h));
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
    for (auto _ : state)
        benchmark::DoNotOptimize(watch.observe(f.rgb.data(), f.w, f.h, outline, ms += 30));
}

void BM_Draw(benchmark::State &state)
{
    Frame f(state);
    const zqPoint lt{f.w / 4, f.h / 4};
    const zqPoint rb{f.w * 3 / 4, f.h * 3 / 4};
    for (auto _ : state) {
        zq_scanner_cutting_edge_set(&lt, &rb);
        zq_scanner_cutting_edge_show(f.rgb.data(), f.w, f.h);
    }
}

void BM_Preview(benchmark::State &state)
{
    Frame f(state);
    auto window = benchWindow(f.w, f.h);
    for (auto _ : state)
        window->ShowRGB(f.rgb.data(), f.h, f.w); // turned: height x width
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Args({1920, 1080})->Args({3264, 2448})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Tick)->Apply(sizes);
BENCHMARK(BM_Read)->Apply(sizes);
BENCHMARK(BM_Grey)->Apply(sizes);
BENCHMARK(BM_RotateRight)->Apply(sizes);
BENCHMARK(BM_Detect)->Apply(sizes);
BENCHMARK(BM_Stillness)->Apply(sizes);
BENCHMARK(BM_Draw)->Apply(sizes);
BENCHMARK(BM_Preview)->Apply(sizes);

} // namespace

int main(int argc, char **argv)
{
    zq::sim::useVirtualHardware("bench");
    QTemporaryDir configDir;
    setenv("XDG_CONFIG_HOME", configDir.path().toLocal8Bit().constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    VirtualHardware::instance().reset();
    return 0;
}
