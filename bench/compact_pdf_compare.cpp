// One stack of pages from a document camera made into a PDF four ways in
// one run: today's PDF (the camera's JPEG files as they are), compact
// pages, compact pages with a text layer, and OCRmyPDF's strongest
// optimisation.  Each PDF's size and time, and how well the tesseract
// program reads its pages rendered back at 300 dpi against the text
// printed on them (tests/word_accuracy.h says how words are counted).
//
// Usage: build/bench/compact_pdf_compare (minutes: Tesseract reads every
// page of every PDF).  OCRmyPDF's rows need `apt-get install ocrmypdf
// pngquant`; without ocrmypdf they are left out, with a note.
#include "document_pages.h"
#include "pdf_tools.h"
#include "picture_files.h"
#include "temp_dir.h"
#include "word_accuracy.h"
#include <zqpdf/zqpdf.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace zq::test;

namespace
{

// The page cut from a frame of each of the cameras' largest sizes, in A4's
// proportions: the page of a 3264 x 2448 frame and of a 4208 x 3120 one,
// about 240 and 315 dpi.  Every page is composed to fit A4 (the "C"
// locale's paper), so all of them are A4 pages whatever their pixels.
struct PageSize {
    int width, height;
};
constexpr PageSize kFrom3264 = {2000, 2828};
constexpr PageSize kFrom4208 = {2600, 3677};
constexpr int kJpegQuality = 85; // as the capture writes them
const char kLanguages[] = "eng+chi_sim";

struct StackPage {
    const char *what;
    PageSize size;
    std::function<DocumentPage(int width, int height)> print;
};

// A box of the page given in shares of its width (a square stays square).
Box boxAt(int width, double left, double top, double right, double bottom)
{
    return {int(left * width), int(top * width), int(right * width), int(bottom * width)};
}

// English lines in body type above lines of small print.
DocumentPage proseOverSmallPrint(int width, int height, int proseLines, int smallLines)
{
    return printedPage(width, height,
                       {{englishProse(proseLines, kBodyType), kBodyType},
                        {smallPrint(smallLines, kSmallType), kSmallType}},
                       "eng");
}

const std::vector<StackPage> kStack = {
    {"English letter", kFrom3264,
     [](int w, int h) {
         return printedPage(w, h, {{englishProse(32, kBodyType), kBodyType}}, "eng");
     }},
    {"terms in small print", kFrom3264,
     [](int w, int h) { return proseOverSmallPrint(w, h, 3, 40); }},
    {"Chinese letter", kFrom3264,
     [](int w, int h) {
         return printedPage(w, h, {{chineseProse(30, kChineseType), kChineseType}}, "chi_sim");
     }},
    {"photograph and red stamp", kFrom3264,
     [](int w, int h) {
         DocumentPage page = printedPage(w, h, {{englishProse(16, kBodyType), kBodyType}}, "eng");
         pastePhotograph(page.picture, boxAt(w, 0.1, 0.75, 0.5, 1.05));
         stamp(page.picture, boxAt(w, 0.6, 0.75, 0.85, 1.0));
         return page;
     }},
    {"English, a line highlighted", kFrom4208,
     [](int w, int h) {
         DocumentPage page = printedPage(w, h, {{englishProse(32, kBodyType), kBodyType}}, "eng");
         highlight(page.picture, highlighterStroke(page.lineBoxes[5]));
         return page;
     }},
    {"Chinese with a red seal", kFrom4208,
     [](int w, int h) {
         DocumentPage page =
             printedPage(w, h, {{chineseProse(24, kChineseType), kChineseType}}, "chi_sim");
         stamp(page.picture, boxAt(w, 0.6, 0.95, 0.85, 1.2));
         return page;
     }},
    {"letter over small print", kFrom4208,
     [](int w, int h) { return proseOverSmallPrint(w, h, 20, 16); }},
};

double msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The stack's pages as the camera gives them, written as JPEG files.
class Stack
{
  public:
    explicit Stack(const TempDir &dir)
    {
        for (size_t i = 0; i < kStack.size(); ++i) {
            const StackPage &page = kStack[i];
            pages_.push_back(page.print(page.size.width, page.size.height));
            photographed(pages_.back().picture, {0.2 + 0.03 * double(i), 3, uint32_t(i + 1)});
            files_.push_back(dir / ("page" + std::to_string(i + 1) + ".jpg"));
            writeJpeg(files_.back(), pages_.back().picture, kJpegQuality);
        }
    }
    const std::vector<DocumentPage> &pages() const { return pages_; }
    const std::vector<std::string> &files() const { return files_; }

  private:
    std::vector<DocumentPage> pages_;
    std::vector<std::string> files_;
};

struct Made {
    std::string name;
    std::string pdf;
    double ms;
    bool textLayer;
};

Made withLibzqpdf(const Stack &stack, const std::string &name, const std::string &pdf, int encoding,
                  const char *textLayer)
{
    zqpdf_set_page_encoding(encoding);
    if (zqpdf_set_text_layer(textLayer) != ZQPDF_OK)
        throw std::runtime_error(zqpdf_last_error());
    std::vector<const char *> list;
    for (const std::string &file : stack.files())
        list.push_back(file.c_str());
    const auto start = std::chrono::steady_clock::now();
    if (zqpdf_create_pdf(list.data(), int(list.size()), pdf.c_str()) != ZQPDF_OK)
        throw std::runtime_error(zqpdf_last_error());
    return {name, pdf, msSince(start), textLayer != nullptr};
}

// OCRmyPDF is fed today's PDF rather than the JPEG files through img2pdf:
// the same pages at the same size with the same JPEG bytes, so that its
// rows differ from the first only by what OCRmyPDF does, as when a user
// runs it on the PDF the program wrote.  Its time is that PDF's and its
// own together.
std::optional<Made> withOcrmypdf(const Made &today, const std::string &name,
                                 const std::string &outputType, const std::string &pdf)
{
    const auto start = std::chrono::steady_clock::now();
    const ToolRun run =
        runTool(std::string("ocrmypdf -l ") + kLanguages + " --optimize 3 --output-type " +
                outputType + " '" + today.pdf + "' '" + pdf + "'");
    const double ms = msSince(start);
    if (run.status != 0) {
        std::fprintf(stderr, "ocrmypdf failed:\n%s\n", run.output.c_str());
        return std::nullopt;
    }
    return Made{name, pdf, today.ms + ms, true};
}

// Words found page by page, and on all pages.
struct Reading {
    std::vector<WordsFound> renderedBack;
    std::vector<WordsFound> textLayer;
};

WordsFound total(const std::vector<WordsFound> &pages)
{
    WordsFound sum;
    for (const WordsFound &page : pages)
        sum += page;
    return sum;
}

Reading read(const Made &made, const Stack &stack, const TempDir &dir)
{
    Reading reading;
    for (size_t i = 0; i < stack.pages().size(); ++i) {
        const DocumentPage &page = stack.pages()[i];
        const int number = int(i) + 1;
        std::fprintf(stderr, "reading %s, page %d\n", made.name.c_str(), number);
        reading.renderedBack.push_back(
            wordsFound(page.lines, readBack(made.pdf, number, page.languages, dir / "back")));
        if (made.textLayer)
            reading.textLayer.push_back(wordsFound(page.lines, pdfText(made.pdf, number)));
    }
    return reading;
}

void printPages(const Stack &stack)
{
    std::printf("| page | pixels | JPEG kB | words | Tesseract reads it in |\n");
    std::printf("|---|---|---|---|---|\n");
    for (size_t i = 0; i < kStack.size(); ++i) {
        const DocumentPage &page = stack.pages()[i];
        size_t words = 0;
        for (const std::string &line : page.lines)
            words += wordsToCompare(line).size();
        std::printf("| %zu. %s | %d×%d | %.0f | %zu | %s |\n", i + 1, kStack[i].what,
                    page.picture.width, page.picture.height,
                    double(std::filesystem::file_size(stack.files()[i])) / 1e3, words,
                    page.languages.c_str());
    }
    std::printf("\n");
}

void printRow(const Made &made, const Reading &reading)
{
    const double kB = double(std::filesystem::file_size(made.pdf)) / 1e3;
    char layer[16] = "–";
    if (made.textLayer)
        std::snprintf(layer, sizeof layer, "%.1f", total(reading.textLayer).percent());
    std::printf("| %s | %.0f | %.1f | %.0f | %.1f | %s |\n", made.name.c_str(), kB,
                kB / double(reading.renderedBack.size()), made.ms,
                total(reading.renderedBack).percent(), layer);
    std::fflush(stdout);
}

// Words read back, page by page: where a PDF loses them.
void printPageByPage(const std::vector<Made> &made, const std::vector<Reading> &readings)
{
    std::printf("\n| words read back, %% |");
    for (size_t page = 1; page <= kStack.size(); ++page)
        std::printf(" page %zu |", page);
    std::printf("\n|---|");
    for (size_t page = 1; page <= kStack.size(); ++page)
        std::printf("---|");
    std::printf("\n");
    for (size_t i = 0; i < made.size(); ++i) {
        std::printf("| %s |", made[i].name.c_str());
        for (const WordsFound &page : readings[i].renderedBack)
            std::printf(" %.1f |", page.percent());
        std::printf("\n");
    }
}

void compare()
{
    const TempDir dir;
    zqpdf_set_resolution(0);
    const Stack stack(dir);
    printPages(stack);

    std::vector<Made> made;
    made.push_back(withLibzqpdf(stack, "today's PDF (original encoding)", dir / "original.pdf",
                                ZQPDF_ENCODING_ORIGINAL, nullptr));
    made.push_back(
        withLibzqpdf(stack, "compact", dir / "compact.pdf", ZQPDF_ENCODING_COMPACT, nullptr));
    made.push_back(withLibzqpdf(stack, "compact, text layer", dir / "compact-text.pdf",
                                ZQPDF_ENCODING_COMPACT, kLanguages));
    std::string skipped;
    if (runTool("command -v ocrmypdf").status != 0) {
        skipped = "OCRmyPDF: left out, ocrmypdf is not installed "
                  "(apt-get install ocrmypdf pngquant).";
    } else {
        for (const auto &[name, type] : {std::pair{"OCRmyPDF --optimize 3", "pdf"},
                                         std::pair{"OCRmyPDF --optimize 3, PDF/A", "pdfa"}}) {
            if (auto ocr = withOcrmypdf(made.front(), name, type,
                                        dir / ("ocrmypdf-" + std::string(type) + ".pdf")))
                made.push_back(*ocr);
        }
    }

    std::printf("| PDF | total kB | kB per page | time ms | words read back, %% | words in the "
                "text layer, %% |\n");
    std::printf("|---|---|---|---|---|---|\n");
    std::vector<Reading> readings;
    for (const Made &pdf : made) {
        readings.push_back(read(pdf, stack, dir));
        printRow(pdf, readings.back());
    }
    if (!skipped.empty())
        std::printf("\n%s\n", skipped.c_str());
    printPageByPage(made, readings);
}

} // namespace

int main()
{
    try {
        compare();
    } catch (const std::exception &e) {
        std::fprintf(stderr, "compact_pdf_compare: %s\n", e.what());
        return 1;
    }
    return 0;
}
