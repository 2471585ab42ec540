// Searchable PDFs: libzqpdf's text layer over pages with known English and
// Chinese text, drawn with a real font, judged by poppler's pdftotext and
// qpdf; and the recognition ahead of composition.
#include "compose_pdf.h"
#include "pdf_tools.h"
#include "picture_files.h"
#include "prepared_pages.h"
#include "scene.h"
#include "temp_dir.h"
#include <zqpdf/zqpdf.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace zq::test;

namespace
{

constexpr int kDpi = 100; // pages of the pictures' size: a pixel is 0.72 points
constexpr double kPointsPerPixel = 72.0 / kDpi;
// Small pages keep recognition quick, also in the sanitizer build.
constexpr int kPageWidth = 640;
constexpr int kPageHeight = 905;

const std::vector<std::string> kEnglish = {"Searchable pages can be found",
                                           "and copied from any viewer",
                                           "The quick brown fox jumps", "over the lazy dog 2024"};
const std::vector<std::string> kChinese = {"高拍仪把纸质文件拍成图片",
                                           "识别出来的文字可以搜索和复制"};

zq::sim::PageScene sceneWith(const std::vector<std::string> &lines)
{
    zq::sim::PageScene scene;
    scene.lines = lines;
    scene.font = ZQ_TEXT_FONT;
    scene.textSize = 0.035;
    scene.text = !lines.empty();
    return scene;
}

Picture textPage(const std::vector<std::string> &lines)
{
    return {kPageWidth, kPageHeight, 3,
            zq::sim::renderPage(sceneWith(lines), kPageWidth, kPageHeight)};
}

std::u32string codePoints(const std::string &utf8)
{
    std::u32string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        for (int n = 1; n < length && i + n < utf8.size(); ++n)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + n]) & 0x3F);
        out += cp;
        i += length;
    }
    return out;
}

// The text with each run of white space made one space (or dropped).
std::u32string squeezed(const std::string &text, bool keepSpaces)
{
    std::u32string out;
    for (char32_t c : codePoints(text)) {
        const bool space = c == U' ' || c == U'\n' || c == U'\f' || c == U'\t';
        if (!space)
            out += c;
        else if (keepSpaces && !out.empty() && out.back() != U' ')
            out += U' ';
    }
    while (!out.empty() && out.back() == U' ')
        out.pop_back();
    return out;
}

// 1 - (edit distance / length of the expected text), by character.
double characterAccuracy(const std::u32string &expected, const std::u32string &found)
{
    std::vector<size_t> row(found.size() + 1);
    for (size_t j = 0; j <= found.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= expected.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= found.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min(
                {row[j] + 1, row[j - 1] + 1, diagonal + (expected[i - 1] == found[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return 1.0 - double(row[found.size()]) / double(expected.size());
}

std::string joined(const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\n";
    return text;
}

// Asks until the page is no longer pending; what it came to.
int preparedResult(const std::string &path)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    int result;
    while ((result = zqpdf_prepare_page(path.c_str())) == ZQPDF_PAGE_PENDING &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return result;
}

class TextLayerTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        zqpdf_set_resolution(kDpi);
        ASSERT_EQ(zqpdf_set_text_layer("chi_sim+eng"), ZQPDF_OK) << zqpdf_last_error();
    }
    void TearDown() override
    {
        zqpdf_set_text_layer(nullptr);
        zqpdf_set_resolution(0);
    }

    TempDir dir;
    const std::string output = dir / "pages.pdf";

    std::string jpegPage(const std::string &name, const std::vector<std::string> &lines)
    {
        writeJpeg(dir / name, textPage(lines), 85);
        return dir / name;
    }

    // Each word pdftotext places starts where a drawn word starts, on its
    // line, and every drawn word lies under a placed one, so that words
    // Tesseract ran together still count (Chinese runs between spaces are
    // whole lines).  A third of an em is allowed either way.
    static void expectWordsOverTheirDrawing(const std::string &pdf, int page,
                                            const std::vector<std::string> &lines)
    {
        const zq::sim::PageScene scene = sceneWith(lines);
        const double margin = scene.textSize * kPageHeight / 3;
        const std::vector<WordOnPage> found = pdfWords(pdf, page);
        const std::vector<zq::sim::WordBox> drawn =
            zq::sim::wordBoxes(scene, kPageWidth, kPageHeight);
        const auto near = [margin](double a, double b) { return std::abs(a - b) <= margin; };
        const auto startsAt = [&](const WordOnPage &f, const zq::sim::WordBox &d) {
            const double y = (f.yMin + f.yMax) / 2 / kPointsPerPixel;
            return near(f.xMin / kPointsPerPixel, d.left) && y >= d.top - margin &&
                   y <= d.bottom + margin;
        };
        const auto covers = [&](const WordOnPage &f, const zq::sim::WordBox &d) {
            const double x = (d.left + d.right) / 2.0 * kPointsPerPixel;
            const double y = (d.top + d.bottom) / 2.0 * kPointsPerPixel;
            const double m = margin * kPointsPerPixel;
            return x >= f.xMin - m && x <= f.xMax + m && y >= f.yMin - m && y <= f.yMax + m;
        };
        ASSERT_FALSE(found.empty());
        for (const WordOnPage &f : found)
            EXPECT_TRUE(std::any_of(drawn.begin(), drawn.end(),
                                    [&](const zq::sim::WordBox &d) { return startsAt(f, d); }))
                << "\"" << f.text << "\" at " << f.xMin << "," << f.yMin << " starts no word";
        for (const zq::sim::WordBox &d : drawn)
            EXPECT_TRUE(std::any_of(found.begin(), found.end(),
                                    [&](const WordOnPage &f) { return covers(f, d); }))
                << "nothing placed over \"" << d.text << "\"";
    }
};

TEST_F(TextLayerTest, WordsAreFoundWhereTheyWereDrawnAndPicturesStayAsTheyWere)
{
    const std::string english = jpegPage("en.jpg", kEnglish);
    const std::string chinese = jpegPage("zh.jpg", kChinese);
    // Composing right away waits for the worker on the page it has begun
    // and recognises the rest itself.
    EXPECT_EQ(zqpdf_prepare_page(english.c_str()), ZQPDF_PAGE_PENDING);
    ASSERT_EQ(composePdf({english, chinese}, output), ZQPDF_OK) << zqpdf_last_error();

    std::string report;
    EXPECT_TRUE(qpdfCheckPasses(output, &report)) << report;
    const std::vector<std::string> images = extractImages(output, dir / "image");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(readFile(images[0]), readFile(english));
    EXPECT_EQ(readFile(images[1]), readFile(chinese));

    // In reading order: a line out of place would cost its characters.
    const double englishAccuracy =
        characterAccuracy(squeezed(joined(kEnglish), true), squeezed(pdfText(output, 1), true));
    const double chineseAccuracy =
        characterAccuracy(squeezed(joined(kChinese), false), squeezed(pdfText(output, 2), false));
    RecordProperty("english_character_accuracy", std::to_string(englishAccuracy));
    RecordProperty("chinese_character_accuracy", std::to_string(chineseAccuracy));
    EXPECT_GE(englishAccuracy, 0.95) << pdfText(output, 1);
    EXPECT_GE(chineseAccuracy, 0.95) << pdfText(output, 2);

    expectWordsOverTheirDrawing(output, 1, kEnglish);
    expectWordsOverTheirDrawing(output, 2, kChinese);
}

TEST_F(TextLayerTest, PreparedWordsServeWhileTheFileLooksUnchanged)
{
    // Uncompressed pictures of one size have files of one size.
    const std::string path = dir / "page.tif";
    writeTiff(path, textPage({"alpha words prepared"}), COMPRESSION_NONE, 0);
    ASSERT_EQ(preparedResult(path), ZQPDF_OK) << zqpdf_last_error();

    struct stat before {
    };
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    writeTiff(path, textPage({"omega words changed"}), COMPRESSION_NONE, 0);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    ASSERT_EQ(std::filesystem::file_size(path), static_cast<uintmax_t>(before.st_size));
    ASSERT_EQ(composePdf({path}, output), ZQPDF_OK) << zqpdf_last_error();
    EXPECT_NE(pdfText(output, 1).find("alpha"), std::string::npos) << "the prepared words";

    // A new modification time: the page is read again.
    const timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 1, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), later, 0), 0);
    EXPECT_EQ(zqpdf_prepare_page(path.c_str()), ZQPDF_PAGE_PENDING);
    ASSERT_EQ(composePdf({path}, output), ZQPDF_OK) << zqpdf_last_error();
    const std::string text = pdfText(output, 1);
    EXPECT_NE(text.find("omega"), std::string::npos) << text;
    EXPECT_EQ(text.find("alpha"), std::string::npos) << text;
}

TEST_F(TextLayerTest, PagesWithoutWordsAndPagesThatCannotBeRead)
{
    writeJpeg(dir / "blank.jpg", textPage({}), 85);
    ASSERT_EQ(composePdf({dir / "blank.jpg"}, output), ZQPDF_OK) << zqpdf_last_error();
    EXPECT_TRUE(qpdfCheckPasses(output, nullptr));
    EXPECT_TRUE(squeezed(pdfText(output, 1), false).empty()) << pdfText(output, 1);

    EXPECT_EQ(zqpdf_prepare_page((dir / "gone.jpg").c_str()), ZQPDF_ERR_READ);
    EXPECT_EQ(std::string(zqpdf_last_error()),
              "cannot read " + (dir / "gone.jpg") + ": No such file or directory");

    writeFile(dir / "notes.jpg", "not a picture");
    EXPECT_EQ(preparedResult(dir / "notes.jpg"), ZQPDF_ERR_NOT_IMAGE);
    EXPECT_NE(std::string(zqpdf_last_error()).find("is not a JPEG or TIFF picture"),
              std::string::npos)
        << zqpdf_last_error();

    ASSERT_EQ(zqpdf_set_text_layer(""), ZQPDF_OK);
    EXPECT_EQ(zqpdf_prepare_page((dir / "blank.jpg").c_str()), ZQPDF_ERR_TEXT_LAYER_OFF);
}

TEST_F(TextLayerTest, MissingModelIsRefusedAndTheSettingStays)
{
    EXPECT_EQ(zqpdf_set_text_layer("eng+zz_missing"), ZQPDF_ERR_LANGUAGE);
    const std::string why = zqpdf_last_error();
    EXPECT_NE(why.find("\"zz_missing\""), std::string::npos) << why;
    EXPECT_NE(why.find("install tesseract-ocr-zz-missing"), std::string::npos) << why;
    EXPECT_EQ(zqpdf_set_text_layer("../eng"), ZQPDF_ERR_LANGUAGE);
    EXPECT_EQ(zqpdf_set_text_layer("eng+"), ZQPDF_ERR_LANGUAGE);

    ASSERT_EQ(composePdf({jpegPage("en.jpg", {"still searchable"})}, output), ZQPDF_OK);
    EXPECT_NE(pdfText(output, 1).find("searchable"), std::string::npos) << pdfText(output, 1);
}

TEST_F(TextLayerTest, WorkerRunsAtTheLowestPriority)
{
    const std::string path = jpegPage("en.jpg", kEnglish);
    EXPECT_EQ(zqpdf_prepare_page(path.c_str()), ZQPDF_PAGE_PENDING);
    int nice = 0;
    bool found = false;
    for (const auto &task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name != "zqpdf-text")
            continue;
        std::ifstream stat(task.path() / "stat");
        std::string field;
        std::getline(stat, field, ')'); // past the name
        for (int i = 3; i <= 19; ++i)   // field 19 is the nice value
            stat >> field;
        nice = std::stoi(field);
        found = true;
    }
    ASSERT_TRUE(found) << "no thread named zqpdf-text";
    EXPECT_EQ(nice, 19);
    EXPECT_EQ(preparedResult(path), ZQPDF_OK);
}

// Turning the layer off gives the PDF of a library that never had one.
TEST(TextLayerOffTest, PdfIsAsWithoutTheLayer)
{
    TempDir dir;
    const std::string path = dir / "en.jpg";
    writeJpeg(path, textPage(kEnglish), 85);
    const char *page[] = {path.c_str()};
    ASSERT_EQ(zqpdf_create_pdf(page, 1, (dir / "before.pdf").c_str()), ZQPDF_OK);
    ASSERT_EQ(zqpdf_set_text_layer("eng"), ZQPDF_OK);
    ASSERT_EQ(zqpdf_set_text_layer(nullptr), ZQPDF_OK);
    ASSERT_EQ(zqpdf_create_pdf(page, 1, (dir / "after.pdf").c_str()), ZQPDF_OK);

    // qpdf's form of each, without the trailer's /ID, which is new every time.
    const auto normalised = [&](const std::string &name) {
        runTool("qpdf --qdf " + (dir / name) + " " + (dir / ("qdf-" + name)));
        const std::string qdf = readFile(dir / ("qdf-" + name));
        const size_t id = qdf.rfind("/ID [");
        return id == std::string::npos ? qdf : qdf.substr(0, id);
    };
    const std::string before = normalised("before.pdf");
    const std::string after = normalised("after.pdf");
    EXPECT_TRUE(before == after) << "the PDFs differ";
    EXPECT_EQ(after.find("/Font"), std::string::npos);
    EXPECT_TRUE(squeezed(pdfText(dir / "after.pdf", 1), false).empty());
}

TEST(PreparedPagesTest, KeepsTheNewestPagesForTheirFilesAsTheyWere)
{
    zqpdf::PreparedPages pages(2);
    const zqpdf::FileStamp first{100, {5, 1}}, touched{100, {5, 2}}, grown{101, {5, 1}};
    pages.keep("a", first, {ZQPDF_OK, "A"});
    EXPECT_EQ(pages.find("a", touched), nullptr);
    EXPECT_EQ(pages.find("a", grown), nullptr);
    ASSERT_NE(pages.find("a", first), nullptr);
    EXPECT_EQ(pages.find("a", first)->text, "A");

    pages.keep("a", touched, {ZQPDF_ERR_NOT_IMAGE, "why"}); // replaces
    pages.keep("b", first, {ZQPDF_OK, "B"});
    EXPECT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages.find("a", touched)->code, ZQPDF_ERR_NOT_IMAGE);
    pages.keep("c", first, {ZQPDF_OK, "C"});
    EXPECT_EQ(pages.find("a", touched), nullptr) << "the oldest went";
    EXPECT_NE(pages.find("b", first), nullptr);
    EXPECT_NE(pages.find("c", first), nullptr);
}

} // namespace
