// PDF composition of 20 captured pages (3264 x 2448, JPEG quality 60):
// libzqpdf beside img2pdf on the same files in the same run.  Both report
// size_ratio, the PDF's size over the sum of the JPEG files' sizes.
#include "picture_files.h"
#include "temp_dir.h"
#include <zqpdf/zqpdf.h>

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

extern char **environ;

namespace
{

constexpr int kPages = 20;
constexpr int kWidth = 3264;
constexpr int kHeight = 2448;
constexpr int kQuality = 60;

// The pages, rendered and written once per run.
class Pages
{
  public:
    static Pages &instance()
    {
        static Pages pages;
        return pages;
    }
    const std::vector<std::string> &files() const { return files_; }
    std::string output(const std::string &name) const { return dir_ / name; }
    // Pages per second, the JPEG files' total size, and the PDF's size over it.
    void report(benchmark::State &state, const std::string &pdf) const
    {
        state.counters["pages"] =
            benchmark::Counter(double(kPages) * state.iterations(), benchmark::Counter::kIsRate);
        state.counters["jpeg_MB"] = double(jpegBytes_) / 1e6;
        state.counters["size_ratio"] = double(std::filesystem::file_size(pdf)) / double(jpegBytes_);
    }

  private:
    Pages()
    {
        for (int i = 0; i < kPages; ++i) {
            files_.push_back(dir_ / ("page" + std::to_string(10 + i) + ".jpg"));
            zq::test::writeJpeg(files_.back(), zq::test::renderedPage(kWidth, kHeight, i),
                                kQuality);
            jpegBytes_ += std::filesystem::file_size(files_.back());
        }
    }
    zq::test::TempDir dir_;
    std::vector<std::string> files_;
    uintmax_t jpegBytes_ = 0;
};

void BM_Zqpdf(benchmark::State &state)
{
    const Pages &pages = Pages::instance();
    std::vector<const char *> list;
    for (const std::string &f : pages.files())
        list.push_back(f.c_str());
    const std::string out = pages.output("zqpdf.pdf");
    for (auto _ : state) {
        if (zqpdf_create_pdf(list.data(), kPages, out.c_str()) != ZQPDF_OK) {
            state.SkipWithError(zqpdf_last_error());
            return;
        }
    }
    pages.report(state, out);
}

void BM_Img2pdf(benchmark::State &state)
{
    const Pages &pages = Pages::instance();
    const std::string out = pages.output("img2pdf.pdf");
    std::vector<std::string> args = {"img2pdf", "-o", out};
    args.insert(args.end(), pages.files().begin(), pages.files().end());
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        pid_t child = 0;
        int status = 0;
        if (posix_spawnp(&child, "img2pdf", nullptr, nullptr, argv.data(), environ) != 0 ||
            waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("img2pdf failed");
            return;
        }
    }
    pages.report(state, out);
}

// Wall-clock time: img2pdf runs in a child process.
BENCHMARK(BM_Zqpdf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Img2pdf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

} // namespace

BENCHMARK_MAIN();
