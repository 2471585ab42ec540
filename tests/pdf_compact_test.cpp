// Compact pages: text pages as bilevel pictures, pages with colour as a
// reduced colour background under a sharp stencil of their text, judged by
// qpdf and poppler's tools; and the original encoding left as it was.
#include "document_pages.h"
#include "pdf_tools.h"
#include "picture_files.h"
#include "temp_dir.h"
#include "word_accuracy.h"
#include <zqpdf/zqpdf.h>

#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <sstream>

using namespace zq::test;

namespace
{

// An A4 page at 300 dpi, pages of the pictures' size.
constexpr int kDpi = 300;
constexpr int kWidth = 2480;
constexpr int kHeight = 3508;

const std::vector<std::string> kBody = {
    "Compact pages keep their text sharp and small",
    "The quick brown fox jumps over the lazy dog",
    "Invoice number 2024 payable within thirty days",
    "Please return the signed copy to our office",
};
const std::vector<std::string> kSmallPrint = {
    "Small print: terms and conditions apply to every order",
    "Goods remain our property until paid for in full",
};

// Body text of about 10 points, and below it small print of about 7.
Picture textPage()
{
    return printedPage(kWidth, kHeight, {{kBody, kBodyType}, {kSmallPrint, kSmallType}}, "eng")
        .picture;
}

const Box kStamp = {1500, 2300, 2100, 2900};
const Box kPhoto = {300, 2300, 1200, 2900};

// The text page with a dark red stamp and a photograph below the text.
Picture colourPage()
{
    Picture page = textPage();
    stamp(page, kStamp);
    pastePhotograph(page, kPhoto);
    return page;
}

// The mean of each component over a box of a picture, of the pixels whose
// brightest component is above `lighterThan`.
std::array<double, 3> meanColour(const Picture &picture, const Box &box, int lighterThan = -1)
{
    std::array<double, 3> sum{};
    double n = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const uint8_t *p = &picture.samples[(size_t(y) * picture.width + x) * 3];
            if (std::max({p[0], p[1], p[2]}) <= lighterThan)
                continue;
            for (int c = 0; c < 3; ++c)
                sum[c] += p[c];
            ++n;
        }
    return {sum[0] / n, sum[1] / n, sum[2] / n};
}

// Of the pixels of the box whose brightest component is below `level` in
// one picture, the share that is below it in the other as well.
double darkKept(const Picture &before, const Picture &after, const Box &box, int level)
{
    const auto dark = [level](const Picture &picture, size_t at) {
        const uint8_t *p = &picture.samples[at * 3];
        return std::max({p[0], p[1], p[2]}) < level;
    };
    double darkBefore = 0, darkBoth = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            const size_t at = size_t(y) * before.width + x;
            darkBefore += dark(before, at);
            darkBoth += dark(before, at) && dark(after, at);
        }
    return darkBoth / darkBefore;
}

// The PDF's bytes with the trailer's /ID blanked: qpdf makes it new for
// every file.
std::string withoutId(const std::string &pdf)
{
    std::string bytes = readFile(pdf);
    const size_t id = bytes.rfind("/ID [");
    if (id != std::string::npos)
        std::fill(bytes.begin() + id, bytes.begin() + bytes.find(']', id), 'x');
    return bytes;
}

std::vector<std::string> wordsOf(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

class CompactPdfTest : public testing::Test
{
  protected:
    void SetUp() override { zqpdf_set_resolution(kDpi); }
    void TearDown() override
    {
        zqpdf_set_text_layer(nullptr);
        zqpdf_set_page_encoding(ZQPDF_ENCODING_ORIGINAL);
        zqpdf_set_resolution(0);
    }

    TempDir dir;

    std::string jpeg(const std::string &name, const Picture &picture, int quality = 85)
    {
        writeJpeg(dir / name, picture, quality);
        return dir / name;
    }
    // The page's PDF in the encoding set last.
    std::string pdfOf(const std::string &page, const std::string &name)
    {
        const char *list[] = {page.c_str()};
        EXPECT_EQ(zqpdf_create_pdf(list, 1, (dir / name).c_str()), ZQPDF_OK) << zqpdf_last_error();
        std::string report;
        EXPECT_TRUE(qpdfCheckPasses(dir / name, &report)) << report;
        return dir / name;
    }
    std::string compose(const std::string &page, const std::string &name, int encoding)
    {
        EXPECT_EQ(zqpdf_set_page_encoding(encoding), ZQPDF_OK);
        return pdfOf(page, name);
    }
    static uintmax_t size(const std::string &file) { return std::filesystem::file_size(file); }

    struct BothWays {
        std::string original, compact;
    };
    // The page as the camera gives it (light falling off across it, sensor
    // noise, JPEG at quality 85) in a PDF of each encoding.
    BothWays fromTheCamera(DocumentPage &page, const std::string &name)
    {
        photographed(page.picture, {});
        const std::string picture = jpeg(name + ".jpg", page.picture);
        return {compose(picture, name + "-original.pdf", ZQPDF_ENCODING_ORIGINAL),
                compose(picture, name + "-compact.pdf", ZQPDF_ENCODING_COMPACT)};
    }
    void expectAFifthOfTheSize(const BothWays &pdfs)
    {
        RecordProperty("original_bytes", std::to_string(size(pdfs.original)));
        RecordProperty("compact_bytes", std::to_string(size(pdfs.compact)));
        EXPECT_LE(size(pdfs.compact) * 5, size(pdfs.original));
    }
    // Both rendered back at 300 dpi, Tesseract finds as many of the page's
    // words in the compact page as in the original, to within a point.
    void expectReadAsWell(const DocumentPage &page, const BothWays &pdfs)
    {
        const double original =
            wordsFound(page.lines, readBack(pdfs.original, 1, page.languages, dir / "o")).percent();
        const double compact =
            wordsFound(page.lines, readBack(pdfs.compact, 1, page.languages, dir / "c")).percent();
        RecordProperty("original_words_percent", std::to_string(original));
        RecordProperty("compact_words_percent", std::to_string(compact));
        EXPECT_GE(original, 90.0) << "the page itself reads badly";
        EXPECT_GE(compact, original - 1.0) << "words found in the original: " << original << " %";
    }
};

TEST_F(CompactPdfTest, TextPageIsOneBilevelPictureAFifthOfTheSize)
{
    const std::string page = jpeg("text.jpg", textPage());
    const std::string original = compose(page, "original.pdf", ZQPDF_ENCODING_ORIGINAL);
    const std::string compact = compose(page, "compact.pdf", ZQPDF_ENCODING_COMPACT);

    RecordProperty("original_bytes", std::to_string(size(original)));
    RecordProperty("compact_bytes", std::to_string(size(compact)));
    EXPECT_LE(size(compact) * 5, size(original));
    const auto images = pdfImageList(compact);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].type, "image");
    EXPECT_EQ(images[0].width, kWidth) << "the full resolution";
    EXPECT_EQ(images[0].height, kHeight);
    EXPECT_EQ(images[0].color, "gray");
    EXPECT_EQ(images[0].bits, 1);
    EXPECT_EQ(images[0].encoding, "ccitt");
    const auto originalSize = pdfPageSizes(original);
    const auto compactSize = pdfPageSizes(compact);
    ASSERT_EQ(compactSize.size(), 1u);
    EXPECT_DOUBLE_EQ(compactSize[0].width, originalSize[0].width);
    EXPECT_DOUBLE_EQ(compactSize[0].height, originalSize[0].height);
}

TEST_F(CompactPdfTest, DarkDeskBesideTheTextIsSolid)
{
    // A textured dark grey desk along the left edge, where Sauvola's
    // threshold alone would leave a speckle.
    Picture picture = textPage();
    const Box desk = {0, 0, 200, kHeight};
    for (int y = desk.top; y < desk.bottom; ++y)
        for (int x = desk.left; x < desk.right; ++x)
            std::fill_n(&picture.samples[(size_t(y) * kWidth + x) * 3], 3,
                        uint8_t(50 + (x * 7 + y * 13) % 17 - 8));
    const std::string page = jpeg("desk.jpg", picture);
    const std::string compact = compose(page, "compact.pdf", ZQPDF_ENCODING_COMPACT);

    const Picture rendered = readPpm(renderPage(compact, 1, kDpi, dir / "r"));
    EXPECT_LT(meanColour(rendered, {10, 10, desk.right - 10, kHeight - 10})[1], 5);
    EXPECT_GT(meanColour(rendered, {desk.right + 10, kHeight - 300, kWidth, kHeight})[1], 250)
        << "the paper below the text";
}

TEST_F(CompactPdfTest, OriginalEncodingWritesWhatItAlwaysWrote)
{
    const std::string page = jpeg("text.jpg", textPage());
    const std::string untouched = pdfOf(page, "untouched.pdf");

    const std::string compact = compose(page, "compact.pdf", ZQPDF_ENCODING_COMPACT);
    EXPECT_EQ(zqpdf_set_page_encoding(2), ZQPDF_ERR_SETTING);
    EXPECT_STREQ(zqpdf_last_error(), "no page encoding 2 is known");
    EXPECT_EQ(size(pdfOf(page, "still-compact.pdf")), size(compact))
        << "a refused value leaves the setting";

    const std::string original = compose(page, "original.pdf", ZQPDF_ENCODING_ORIGINAL);
    EXPECT_TRUE(withoutId(original) == withoutId(untouched)) << "the PDFs differ";
    const auto extracted = extractImages(original, dir / "x");
    ASSERT_EQ(extracted.size(), 1u);
    EXPECT_TRUE(readFile(extracted[0]) == readFile(page)) << "the JPEG stream is the file's bytes";
}

TEST_F(CompactPdfTest, ColourStaysUnderSharpText)
{
    const Picture picture = colourPage();
    const std::string page = jpeg("colour.jpg", picture);
    const std::string original = compose(page, "original.pdf", ZQPDF_ENCODING_ORIGINAL);
    const std::string compact = compose(page, "compact.pdf", ZQPDF_ENCODING_COMPACT);

    RecordProperty("original_bytes", std::to_string(size(original)));
    RecordProperty("compact_bytes", std::to_string(size(compact)));
    EXPECT_LT(size(compact), size(original));
    const auto images = pdfImageList(compact);
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].type, "image");
    EXPECT_EQ(images[0].color, "rgb");
    EXPECT_EQ(images[0].encoding, "jpeg");
    EXPECT_EQ(images[0].width, (kWidth + 2) / 3) << "a third of the resolution";
    EXPECT_EQ(images[1].type, "stencil");
    EXPECT_EQ(images[1].width, kWidth) << "the full resolution";
    EXPECT_EQ(images[1].bits, 1);

    const Picture rendered = readPpm(renderPage(compact, 1, kDpi, dir / "r"));
    ASSERT_EQ(rendered.width, kWidth);
    // A piece of the ring's left side.
    const int cx = (kStamp.left + kStamp.right) / 2, cy = (kStamp.top + kStamp.bottom) / 2;
    const int ringLeft = cx - int(stampRingRadius(kStamp));
    const Box ring = {ringLeft - 20, cy - 20, ringLeft + 20, cy + 20};
    const auto red = meanColour(rendered, ring);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(red[c], kStampRed[c], 12) << "component " << c;
    const auto photo = meanColour(rendered, kPhoto);
    const auto photoBefore = meanColour(picture, kPhoto);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(photo[c], photoBefore[c], 6) << "component " << c;
}

TEST_F(CompactPdfTest, PageThatWouldGrowStaysAsItIs)
{
    // A few hundred bytes of LZW: a JPEG's tables alone take more.
    Picture red{24, 24, 3, {}};
    for (int i = 0; i < 24 * 24; ++i)
        red.samples.insert(red.samples.end(), {200, 30, 40});
    writeTiff(dir / "red.tif", red, COMPRESSION_LZW, 0);
    const std::string compact = compose(dir / "red.tif", "compact.pdf", ZQPDF_ENCODING_COMPACT);
    const auto images = pdfImageList(compact);
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].encoding, "image") << "Flate RGB, as always";
    const auto extracted = extractImages(compact, dir / "x");
    ASSERT_EQ(extracted.size(), 1u);
    EXPECT_EQ(readPpm(extracted[0]).samples, red.samples);
}

// White print on black: the paper the threshold measures is dark itself,
// and in black and white the page would come out white.
TEST_F(CompactPdfTest, DarkPageKeepsItsPicture)
{
    Picture picture = textPage();
    for (uint8_t &sample : picture.samples)
        sample = uint8_t(255 - sample);
    const std::string page = jpeg("dark.jpg", picture);
    const std::string original = compose(page, "original.pdf", ZQPDF_ENCODING_ORIGINAL);
    EXPECT_TRUE(withoutId(compose(page, "compact.pdf", ZQPDF_ENCODING_COMPACT)) ==
                withoutId(original));
}

// Text printed in red leaves no dark ink for a stencil: the reduced
// background alone would blur its strokes away.
TEST_F(CompactPdfTest, PageWithoutDarkInkKeepsItsPicture)
{
    Picture picture = textPage();
    ASSERT_EQ(picture.components, 3);
    for (size_t red = 0; red < picture.samples.size(); red += 3)
        picture.samples[red] = 255;
    const std::string page = dir / "red.tif";
    writeTiff(page, picture, COMPRESSION_LZW, 0);
    const std::string original = compose(page, "original.pdf", ZQPDF_ENCODING_ORIGINAL);
    EXPECT_TRUE(withoutId(compose(page, "compact.pdf", ZQPDF_ENCODING_COMPACT)) ==
                withoutId(original));
}

// Below 100 pixels an inch on the page, body text is strokes of a pixel
// or two that only shades of grey keep readable.
TEST_F(CompactPdfTest, PageOfLowResolutionStaysAsItIs)
{
    const std::string page = jpeg("text.jpg", textPage());
    zqpdf_set_resolution(99);
    const std::string original = compose(page, "original.pdf", ZQPDF_ENCODING_ORIGINAL);
    EXPECT_TRUE(withoutId(compose(page, "coarse.pdf", ZQPDF_ENCODING_COMPACT)) ==
                withoutId(original));
    zqpdf_set_resolution(100);
    EXPECT_LE(size(compose(page, "fine.pdf", ZQPDF_ENCODING_COMPACT)) * 5, size(original));
}

// Tesseract reads the compact page, rendered back at 300 dpi, as it reads
// the original; and the text layer of a compact PDF is read from the
// original picture.
TEST_F(CompactPdfTest, RenderedBackItReadsLikeTheOriginal)
{
    ASSERT_EQ(zqpdf_set_text_layer("eng"), ZQPDF_OK) << zqpdf_last_error();
    const std::string page = jpeg("text.jpg", textPage());
    const std::string compact = compose(page, "compact.pdf", ZQPDF_ENCODING_COMPACT);
    const std::vector<std::string> originalWords = wordsOf(pdfText(compact, 1));

    const Picture back = readPpm(renderPage(compact, 1, kDpi, dir / "back"));
    EXPECT_GT(meanColour(back, {0, 0, back.width, back.height})[1], 200) << "the paper is white";
    writeJpeg(dir / "back.jpg", back, 95);
    const std::string renderedBack = compose(dir / "back.jpg", "back.pdf", ZQPDF_ENCODING_ORIGINAL);

    std::vector<std::string> expected;
    for (const auto &lines : {kBody, kSmallPrint})
        for (const std::string &line : lines)
            for (const std::string &word : wordsOf(line))
                expected.push_back(word);
    EXPECT_EQ(originalWords, expected);
    EXPECT_EQ(wordsOf(pdfText(renderedBack, 1)), originalWords);
}

// Pages from a document camera: Chinese text, whose strokes are finer than
// Latin letters of the same size, and English with a line highlighted.
TEST_F(CompactPdfTest, ChineseFromTheCameraIsAFifthOfTheSizeAndReadsAsWell)
{
    DocumentPage page =
        printedPage(kWidth, kHeight, {{chineseProse(8, kChineseType), kChineseType}}, "chi_sim");
    const BothWays pdfs = fromTheCamera(page, "chinese");
    expectAFifthOfTheSize(pdfs);
    expectReadAsWell(page, pdfs);
}

// The letters on a highlighted line keep their edges, which take the
// highlighter's hue: of the pixels darker than mid-grey in the original,
// the compact page draws nearly all as dark (98 % on plain paper).
TEST_F(CompactPdfTest, HighlightedLineFromTheCameraStaysYellowAndSharp)
{
    DocumentPage page =
        printedPage(kWidth, kHeight, {{englishProse(8, kBodyType), kBodyType}}, "eng");
    const Box stroke = highlighterStroke(page.lineBoxes[3]);
    highlight(page.picture, stroke);
    const BothWays pdfs = fromTheCamera(page, "highlighted");
    expectAFifthOfTheSize(pdfs);

    const Picture before = readPpm(renderPage(pdfs.original, 1, kDpi, dir / "o"));
    const Picture after = readPpm(renderPage(pdfs.compact, 1, kDpi, dir / "c"));
    // The highlighter's colour between and round the letters.
    constexpr int kMidGrey = 128;
    const auto yellow = meanColour(before, stroke, kMidGrey);
    ASSERT_LT(yellow[2], 0.6 * yellow[0]) << "the page's highlighter is yellow";
    const auto stillYellow = meanColour(after, stroke, kMidGrey);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(stillYellow[c], yellow[c], 12) << "component " << c;
    EXPECT_GE(darkKept(before, after, stroke, kMidGrey), 0.95);
    expectReadAsWell(page, pdfs);
}

} // namespace
