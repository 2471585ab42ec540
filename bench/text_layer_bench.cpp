// Searchable PDFs: how long Tesseract takes for one page at 1920 x 1080 and
// 3264 x 2448, and what the recognition takes from zqvideo's preview:
// frame-loop ticks per second alone, beside libzqpdf's worker (lowest
// priority), and beside the same recognition on a thread of normal
// priority, all in one run.
//
// Usage: build/release/bench/text_layer_bench [seconds per tick phase, default 8]
#include "config.h"
#include "mainwindow.h"
#include "picture_files.h"
#include "scene.h"
#include "temp_dir.h"
#include "virtual_hardware.h"
#include "window_bench_setup.h"
#include <zqpdf/zqpdf.h>

#include <QApplication>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace zq::sim;
using Clock = std::chrono::steady_clock;

namespace
{

const char kLanguages[] = "chi_sim+eng";

// A page filled with lines of English and Chinese, as a capture's crop.
std::string textPage(const zq::test::TempDir &dir, int width, int height, int variant)
{
    PageScene scene;
    scene.font = ZQ_TEXT_FONT;
    scene.textSize = 0.025;
    for (int line = 0; line < 18; ++line)
        scene.lines.push_back(line % 2 ? "高拍仪把纸质文件拍成清晰的图片，识别出的文字可以搜索"
                                       : "Document cameras photograph paper pages line " +
                                             std::to_string(line + variant));
    const std::string path = dir / (std::to_string(width) + "-" + std::to_string(variant) + ".jpg");
    zq::test::writeJpeg(path, {width, height, 3, renderPage(scene, width, height)}, 80);
    return path;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// CPU seconds of the threads of this process with that name.
double cpuOfThreadsNamed(const std::string &name)
{
    const double tick = double(sysconf(_SC_CLK_TCK));
    double total = 0;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm != name)
            continue;
        std::ifstream stat(task.path() / "stat");
        std::string field;
        std::getline(stat, field, ')');
        long user = 0, system = 0;
        for (int i = 3; i <= 15 && stat >> field; ++i) {
            if (i == 14)
                user = std::stol(field);
            if (i == 15)
                system = std::stol(field);
        }
        total += (user + system) / tick;
    }
    return total;
}

std::string loadAverage()
{
    std::string line;
    std::getline(std::ifstream("/proc/loadavg"), line);
    return line;
}

int compose(const std::string &page, const std::string &output)
{
    const char *list[] = {page.c_str()};
    return zqpdf_create_pdf(list, 1, output.c_str());
}

void recognitionTimes(const zq::test::TempDir &dir)
{
    std::printf("recognition of one page (%s), composed on the calling thread:\n", kLanguages);
    for (const auto &[w, h] : {std::pair{1920, 1080}, std::pair{3264, 2448}}) {
        for (int run = 0; run < 3; ++run) {
            const std::string page = textPage(dir, w, h, 100 + run);
            const auto start = Clock::now();
            const double cpu = processCpuSeconds();
            const double own = threadCpuSeconds();
            const int result = compose(page, dir / "one.pdf");
            std::printf("  %4dx%-4d  %.2f s wall, %.2f s CPU (calling thread %.2f s)%s\n", w, h,
                        seconds(Clock::now() - start), processCpuSeconds() - cpu,
                        threadCpuSeconds() - own, result == ZQPDF_OK ? "" : zqpdf_last_error());
        }
    }
    std::printf("  load average: %s\n", loadAverage().c_str());
}

std::unique_ptr<MainWindow> previewWindow()
{
    VirtualHardware::instance().reset();
    CameraConfig camera = CameraConfig::documentCamera();
    camera.formats = {{V4L2_PIX_FMT_MJPEG, {FrameSize::discrete(1920, 1080)}}};
    camera.scene.angleDeg = 7;
    VirtualHardware::instance().addCamera(0, camera);
    ZqConfig c{};
    c.cutting_mode = 2; // automatic detection: the preview's heaviest tick
    c.width = 1920;
    c.height = 1080;
    saveConfigFile(c, GetConfigPath());
    return std::make_unique<MainWindow>();
}

struct TickRate {
    double perSecond;
    double previewCpu; // share of a core the ticking thread got
};

TickRate tick(MainWindow &window, double duration)
{
    const auto start = Clock::now();
    const double cpu = threadCpuSeconds();
    long ticks = 0;
    while (seconds(Clock::now() - start) < duration) {
        window.TimerUpdate();
        ++ticks;
    }
    const double elapsed = seconds(Clock::now() - start);
    return {ticks / elapsed, (threadCpuSeconds() - cpu) / elapsed};
}

void previewBesideRecognition(const zq::test::TempDir &dir, double duration)
{
    std::vector<std::string> pages;
    for (int i = 0; i < 12; ++i)
        pages.push_back(textPage(dir, 3264, 2448, i));
    auto window = previewWindow();
    tick(*window, 1); // warm up

    const TickRate alone = tick(*window, duration);

    // The library's worker, at the lowest priority.
    for (const std::string &page : pages)
        zqpdf_prepare_page(page.c_str());
    const double workerBefore = cpuOfThreadsNamed("zqpdf-text");
    const auto workerStart = Clock::now();
    const TickRate besideWorker = tick(*window, duration);
    const double workerShare =
        (cpuOfThreadsNamed("zqpdf-text") - workerBefore) / seconds(Clock::now() - workerStart);
    const bool stillBusy = zqpdf_prepare_page(pages.back().c_str()) == ZQPDF_PAGE_PENDING;
    zqpdf_set_text_layer(nullptr); // stops the worker's page
    zqpdf_set_text_layer(kLanguages);

    // The same work on a thread of normal priority.
    std::atomic<bool> stop{false};
    std::thread normal([&] {
        for (size_t i = 0; !stop && i < pages.size(); ++i)
            compose(pages[i], dir / "normal.pdf");
    });
    const TickRate besideNormal = tick(*window, duration);
    stop = true;
    normal.join();

    std::printf("preview ticks at 1920x1080 with automatic detection, %.0f s each:\n", duration);
    std::printf(
        "  alone:                          %6.1f ticks/s (ticking thread %.0f%% of a core)\n",
        alone.perSecond, 100 * alone.previewCpu);
    std::printf("  beside the worker (nice 19):    %6.1f ticks/s (ticking thread %.0f%%, worker "
                "%.0f%%%s)\n",
                besideWorker.perSecond, 100 * besideWorker.previewCpu, 100 * workerShare,
                stillBusy ? "" : ", worker ran out of pages");
    std::printf("  beside a normal-priority thread:%6.1f ticks/s (ticking thread %.0f%%)\n",
                besideNormal.perSecond, 100 * besideNormal.previewCpu);
    std::printf("  load average: %s; %u processors\n", loadAverage().c_str(),
                std::thread::hardware_concurrency());
}

} // namespace

int main(int argc, char **argv)
{
    const zq::bench::WindowBenchSetup setup;
    QApplication app(argc, argv);
    const double duration = argc > 1 ? std::atof(argv[1]) : 8;

    zq::test::TempDir dir;
    zqpdf_set_resolution(ZQPDF_RESOLUTION_DPI);
    if (zqpdf_set_text_layer(kLanguages) != ZQPDF_OK) {
        std::fprintf(stderr, "%s\n", zqpdf_last_error());
        return 1;
    }
    recognitionTimes(dir);
    previewBesideRecognition(dir, duration);
    zqpdf_set_text_layer(nullptr);
    VirtualHardware::instance().reset();
    return 0;
}
