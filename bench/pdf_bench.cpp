// PDF composition of 20 captured pages (3264 x 2448, JPEG quality 60):
// libzqpdf beside img2pdf on the same files in the same run.  Both report
// size_ratio, the PDF's size over the sum of the JPEG files' sizes.  And
// one page of that size in each page encoding, with the sizes before and
// after.
#include "picture_files.h"
#include "scene.h"
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

// One page of the same size and quality, filled with lines of text, alone
// or on a magazine page with a photograph and an advertisement in colour.
std::string singlePage(const std::string &name, bool colour)
{
    static zq::test::TempDir dir;
    zq::sim::PageScene scene;
    scene.font = ZQ_TEXT_FONT;
    scene.textSize = 0.018;
    scene.magazine = colour;
    for (int i = 0; i < 26; ++i)
        scene.lines.push_back("Line " + std::to_string(i + 1) +
                              " of a page the camera took, composed into a small PDF");
    const std::string path = dir / name;
    zq::test::writeJpeg(path, {kWidth, kHeight, 3, zq::sim::renderPage(scene, kWidth, kHeight)},
                        kQuality);
    return path;
}

// The time to compose the page, and the PDF's size over the JPEG file's.
void BM_OnePage(benchmark::State &state, bool colour, int encoding)
{
    static const std::string text = singlePage("text.jpg", false);
    static const std::string magazine = singlePage("colour.jpg", true);
    const std::string &page = colour ? magazine : text;
    const std::string out = page + ".pdf";
    const char *list[] = {page.c_str()};
    zqpdf_set_page_encoding(encoding);
    for (auto _ : state) {
        if (zqpdf_create_pdf(list, 1, out.c_str()) != ZQPDF_OK) {
            state.SkipWithError(zqpdf_last_error());
            break;
        }
    }
    zqpdf_set_page_encoding(ZQPDF_ENCODING_ORIGINAL);
    state.counters["jpeg_kB"] = double(std::filesystem::file_size(page)) / 1e3;
    state.counters["pdf_kB"] = double(std::filesystem::file_size(out)) / 1e3;
}

BENCHMARK_CAPTURE(BM_OnePage, text_original, false, ZQPDF_ENCODING_ORIGINAL)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePage, text_compact, false, ZQPDF_ENCODING_COMPACT)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePage, colour_original, true, ZQPDF_ENCODING_ORIGINAL)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_OnePage, colour_compact, true, ZQPDF_ENCODING_COMPACT)
    ->Unit(benchmark::kMillisecond);

// Wall-clock time: img2pdf runs in a child process.
BENCHMARK(BM_Zqpdf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);
BENCHMARK(BM_Img2pdf)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3);

} // namespace

BENCHMARK_MAIN();
