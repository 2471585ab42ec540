// libzqpdf on its own: the PDFs it writes are judged by qpdf and poppler's
// tools, and every failure leaves no PDF behind.
#include "child_process.h"
#include "compose_pdf.h"
#include "pdf_tools.h"
#include "picture_files.h"
#include "temp_dir.h"
#include <zqpdf/zqpdf.h>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <utility>

using namespace zq::test;

namespace
{

constexpr double kPointsPerPixel = 72.0 / ZQPDF_RESOLUTION_DPI;

// poppler smooths a picture drawn at less than four times its size, so
// pages are rendered at four times the pictures' resolution, where each
// picture pixel becomes a block of 4 x 4 pixels, and shrunk back.
constexpr int kRenderScale = 4;

Picture renderedAtPictureSize(const std::string &pdf, int page, const std::string &prefix)
{
    const Picture big = readPpm(renderPage(pdf, page, kRenderScale * ZQPDF_RESOLUTION_DPI, prefix));
    return blockAverage(big, kRenderScale);
}

// Pages of the picture's pixel size at the fixed resolution, unless a test
// asks for the paper.
class PdfTest : public testing::Test
{
  protected:
    void SetUp() override { zqpdf_set_resolution(ZQPDF_RESOLUTION_DPI); }
    void TearDown() override { zqpdf_set_resolution(0); }

    TempDir dir;
    const std::string output = dir / "pages.pdf";

    std::string jpeg(const std::string &name, const Picture &picture, int quality = 60)
    {
        writeJpeg(dir / name, picture, quality);
        return dir / name;
    }
    std::string tiff(const std::string &name, const Picture &picture,
                     int compression = COMPRESSION_JPEG, int rowsPerStrip = 0)
    {
        writeTiff(dir / name, picture, compression, 90, rowsPerStrip);
        return dir / name;
    }
    std::string file(const std::string &name, const std::string &bytes)
    {
        writeFile(dir / name, bytes);
        return dir / name;
    }

    // The checks every PDF of JPEG pages must pass: qpdf is content, one
    // page per picture at the fixed resolution, and each picture is a JPEG
    // stream identical to its file.
    void expectJpegPages(const std::vector<std::string> &jpegs,
                         const std::vector<Picture> &pictures)
    {
        std::string report;
        EXPECT_TRUE(qpdfCheckPasses(output, &report)) << report;
        const auto sizes = pdfPageSizes(output);
        const auto images = pdfImageList(output);
        ASSERT_EQ(sizes.size(), jpegs.size());
        ASSERT_EQ(images.size(), jpegs.size());
        const auto extracted = extractImages(output, dir / "extracted");
        ASSERT_EQ(extracted.size(), jpegs.size());
        for (size_t i = 0; i < jpegs.size(); ++i) {
            SCOPED_TRACE("page " + std::to_string(i + 1));
            EXPECT_NEAR(sizes[i].width, pictures[i].width * kPointsPerPixel, 0.01);
            EXPECT_NEAR(sizes[i].height, pictures[i].height * kPointsPerPixel, 0.01);
            EXPECT_EQ(images[i].page, int(i + 1));
            EXPECT_EQ(images[i].encoding, "jpeg");
            EXPECT_EQ(images[i].width, pictures[i].width);
            EXPECT_EQ(images[i].height, pictures[i].height);
            EXPECT_EQ(readFile(extracted[i]), readFile(jpegs[i]))
                << "the JPEG stream is the file's bytes";
        }
    }
};

// ---- composing -----------------------------------------------------------------

TEST_F(PdfTest, OnePageRendersLikeThePicture)
{
    const Picture page = renderedPage(640, 480);
    const std::string file = jpeg("page.jpg", page, 90);
    ASSERT_EQ(composePdf({file}, output), ZQPDF_OK) << zqpdf_last_error();
    EXPECT_STREQ(zqpdf_last_error(), "no error");
    expectJpegPages({file}, {page});

    const Picture rendered = renderedAtPictureSize(output, 1, dir / "r");
    ASSERT_EQ(rendered.width, 640) << "a pixel of the picture is a pixel at the page's resolution";
    ASSERT_EQ(rendered.height, 480);
    EXPECT_LT(meanDifference(rendered, readJpeg(file)), 1.0);
}

TEST_F(PdfTest, ThreePagesKeepTheirOrder)
{
    const std::vector<Picture> pages = {renderedPage(320, 240, 1), renderedPage(240, 320, 2),
                                        renderedPage(400, 300, 3)};
    const std::vector<std::string> files = {jpeg("b.jpg", pages[0]), jpeg("a.jpg", pages[1]),
                                            jpeg("c.jpg", pages[2])};
    ASSERT_EQ(composePdf(files, output), ZQPDF_OK) << zqpdf_last_error();
    expectJpegPages(files, pages);
}

TEST_F(PdfTest, FiftyPages)
{
    std::vector<Picture> pages;
    std::vector<std::string> files;
    for (int i = 0; i < 50; ++i) {
        pages.push_back(renderedPage(64 + i, 48 + (i % 5), i));
        files.push_back(jpeg("p" + std::to_string(100 + i) + ".jpg", pages.back()));
    }
    ASSERT_EQ(composePdf(files, output), ZQPDF_OK) << zqpdf_last_error();
    expectJpegPages(files, pages);
}

TEST_F(PdfTest, JpegAndTiffPagesMixed)
{
    const Picture colour = renderedPage(320, 240, 4);
    const Picture grey = toGrey(renderedPage(200, 150, 5));
    const std::vector<std::string> files = {
        jpeg("1.jpg", colour),
        tiff("2.tif", colour),                  // as the capture writes them
        tiff("3.tif", grey, COMPRESSION_NONE),  // lossless grey
        jpeg("4.jpg", grey),                    // grey JPEG stays grey
        tiff("5.tif", colour, COMPRESSION_LZW), // lossless colour
    };
    ASSERT_EQ(composePdf(files, output), ZQPDF_OK) << zqpdf_last_error();

    std::string report;
    EXPECT_TRUE(qpdfCheckPasses(output, &report)) << report;
    const auto images = pdfImageList(output);
    ASSERT_EQ(images.size(), 5u);
    const char *encodings[] = {"jpeg", "image", "image", "jpeg", "image"};
    const char *colours[] = {"rgb", "rgb", "rgb", "gray", "rgb"};
    for (size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].encoding, encodings[i]) << "page " << i + 1;
        EXPECT_EQ(images[i].color, colours[i]) << "page " << i + 1;
    }
    const auto sizes = pdfPageSizes(output);
    ASSERT_EQ(sizes.size(), 5u);
    EXPECT_NEAR(sizes[2].width, 200 * kPointsPerPixel, 0.01);

    const auto extracted = extractImages(output, dir / "x");
    ASSERT_EQ(extracted.size(), 5u);
    EXPECT_EQ(readFile(extracted[0]), readFile(files[0]));
    EXPECT_EQ(readFile(extracted[3]), readFile(files[3]));
    // Lossless TIFF pages come out sample for sample.
    Picture greyAsRgb{grey.width, grey.height, 3, {}};
    for (uint8_t g : grey.samples)
        greyAsRgb.samples.insert(greyAsRgb.samples.end(), {g, g, g});
    EXPECT_EQ(readPpm(extracted[2]).samples, greyAsRgb.samples);
    EXPECT_EQ(readPpm(extracted[4]).samples, colour.samples);
    // The JPEG-compressed TIFF loses only what its own compression lost.
    EXPECT_LT(meanDifference(readPpm(extracted[1]), colour), 3.0);

    const Picture rendered = renderedAtPictureSize(output, 5, dir / "r");
    EXPECT_LT(meanDifference(rendered, colour), 1.0);
}

// Rows stored bottom up, which only libtiff's RGBA reader turns, in one
// strip taller than a band of its decoding.
TEST_F(PdfTest, BottomUpTiffInBands)
{
    const Picture grey = toGrey(renderedPage(9000, 1000, 6));
    const std::string path = dir / "bottom-up.tif";
    TIFF *t = TIFFOpen(path.c_str(), "w");
    for (auto [tag, value] : {std::pair<uint32_t, int>{TIFFTAG_IMAGEWIDTH, grey.width},
                              {TIFFTAG_IMAGELENGTH, grey.height},
                              {TIFFTAG_ROWSPERSTRIP, grey.height},
                              {TIFFTAG_BITSPERSAMPLE, 8},
                              {TIFFTAG_SAMPLESPERPIXEL, 1},
                              {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK},
                              {TIFFTAG_COMPRESSION, COMPRESSION_LZW},
                              {TIFFTAG_ORIENTATION, ORIENTATION_BOTLEFT}})
        TIFFSetField(t, tag, value);
    std::vector<uint8_t> rows = grey.samples;
    for (int y = 0; y < grey.height; ++y)
        TIFFWriteScanline(t, &rows[size_t(grey.height - 1 - y) * grey.width], y, 0);
    TIFFClose(t);
    ASSERT_EQ(composePdf({path}, output), ZQPDF_OK) << zqpdf_last_error();
    std::vector<uint8_t> greyAsRgb;
    for (uint8_t g : grey.samples)
        greyAsRgb.insert(greyAsRgb.end(), {g, g, g});
    const auto extracted = extractImages(output, dir / "x");
    ASSERT_EQ(extracted.size(), 1u);
    EXPECT_TRUE(readPpm(extracted[0]).samples == greyAsRgb);
}

TEST_F(PdfTest, ReplacesAnEarlierFileWithTheUsersPermissions)
{
    writeFile(output, "old");
    const std::string page = jpeg("a.jpg", renderedPage(64, 48));
    const mode_t previous = umask(027);
    const zqpdf_errno result = composePdf({page}, output);
    umask(previous);
    ASSERT_EQ(result, ZQPDF_OK) << zqpdf_last_error();
    struct stat st {
    };
    ASSERT_EQ(stat(output.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(readFile(output), "old");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"a.jpg", "pages.pdf"}))
        << "no temporary file is left";
}

// ---- page size on paper ----------------------------------------------------------

class PaperSizeTest : public PdfTest
{
  protected:
    void SetUp() override { zqpdf_set_resolution(0); }
    void TearDown() override
    {
        setlocale(LC_PAPER, "C");
        unsetenv("LOCPATH");
    }

    struct Case {
        int width, height;   // pixels
        double pageW, pageH; // points
    };
    void expectPages(const std::vector<Case> &cases)
    {
        std::vector<std::string> files;
        for (const Case &c : cases)
            files.push_back(
                jpeg(std::to_string(files.size()) + ".jpg", renderedPage(c.width, c.height)));
        ASSERT_EQ(composePdf(files, output), ZQPDF_OK) << zqpdf_last_error();
        const auto sizes = pdfPageSizes(output);
        ASSERT_EQ(sizes.size(), cases.size());
        for (size_t i = 0; i < cases.size(); ++i) {
            EXPECT_NEAR(sizes[i].width, cases[i].pageW, 1) << "page " << i + 1;
            EXPECT_NEAR(sizes[i].height, cases[i].pageH, 1) << "page " << i + 1;
        }
        // The picture itself is the file, whatever the page's size.
        EXPECT_EQ(readFile(extractImages(output, dir / "x").back()), readFile(files.back()));
    }
};

// The "C" locale's paper is A4, 595 x 842 points.
TEST_F(PaperSizeTest, PagesFitA4TurnedToThePicture)
{
    ASSERT_STREQ(setlocale(LC_PAPER, nullptr), "C");
    expectPages({
        {210, 297, 595, 842},   // an A4 page, as cut from a small frame
        {630, 891, 595, 842},   // the same page from a larger one
        {320, 180, 842, 473.6}, // a 16:9 frame: landscape, touching the long edges
        {180, 320, 473.6, 842}, // the same frame turned
        {100, 100, 595, 595},   // square: upright
    });
}

// A locale on Letter paper, built for the test since few systems carry one.
TEST_F(PaperSizeTest, LetterWhereTheLocaleSaysSo)
{
    const ToolRun built =
        runTool("localedef -i en_US -f UTF-8 '" + (dir / "en_US.UTF-8") + "' 2>&1");
    ASSERT_EQ(built.status, 0) << built.output;
    setenv("LOCPATH", dir.path().c_str(), 1);
    ASSERT_NE(setlocale(LC_PAPER, "en_US.UTF-8"), nullptr);
    expectPages({{850, 1100, 612, 792}, {1100, 850, 792, 612}});
}

TEST_F(PaperSizeTest, FixedResolutionOnRequest)
{
    zqpdf_set_resolution(100);
    expectPages({{200, 100, 144, 72}});
    zqpdf_set_resolution(-3); // back to the paper
    expectPages({{200, 100, 842, 421}});
}

// ---- failures --------------------------------------------------------------------

struct Failure {
    zqpdf_errno code;
    std::string text;
};

class PdfFailureTest : public PdfTest
{
  protected:
    // Runs a composition that must fail, and checks that it leaves the
    // directory as it was: no PDF, no temporary file, an earlier PDF intact.
    Failure failing(const std::function<zqpdf_errno()> &composition)
    {
        writeFile(output, "earlier");
        const auto before = dir.entries();
        const zqpdf_errno code = composition();
        EXPECT_EQ(dir.entries(), before);
        EXPECT_EQ(readFile(output), "earlier");
        return {code, zqpdf_last_error()};
    }
    Failure failing(const std::vector<std::string> &files, const std::string &out)
    {
        return failing([&] { return composePdf(files, out); });
    }
};

TEST_F(PdfFailureTest, NoPictures)
{
    const char *one[] = {"x.jpg"};
    for (const auto &f : {failing([] { return zqpdf_create_pdf(nullptr, 3, "/tmp/x.pdf"); }),
                          failing([&] { return zqpdf_create_pdf(one, 0, output.c_str()); }),
                          failing([&] { return zqpdf_create_pdf(one, -2, output.c_str()); })}) {
        EXPECT_EQ(f.code, ZQPDF_ERR_NO_IMAGES);
        EXPECT_EQ(f.text, "no pictures to compose");
    }
}

TEST_F(PdfFailureTest, UnreadablePicture)
{
    const std::string good = jpeg("good.jpg", renderedPage(64, 48));
    std::filesystem::create_directory(dir / "folder.jpg");

    Failure f = failing({good, dir / "missing.jpg"}, output);
    EXPECT_EQ(f.code, ZQPDF_ERR_READ);
    EXPECT_EQ(f.text, "cannot read " + (dir / "missing.jpg") + ": No such file or directory");

    f = failing({dir / "folder.jpg"}, output);
    EXPECT_EQ(f.code, ZQPDF_ERR_READ);
    EXPECT_EQ(f.text, "cannot read " + (dir / "folder.jpg") + ": Is a directory");

    // Nor is a FIFO, which is refused without waiting for a writer, or a
    // device, without reading it.
    const std::string fifo = dir / "fifo.jpg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string device = dir / "zero.jpg";
    std::filesystem::create_symlink("/dev/zero", device);
    for (const std::string &page : {fifo, device}) {
        f = failing({page}, output);
        EXPECT_EQ(f.code, ZQPDF_ERR_READ);
        EXPECT_EQ(f.text, "cannot read " + page + ": it is not a regular file");
    }

    const char *withHole[] = {good.c_str(), nullptr};
    f = failing([&] { return zqpdf_create_pdf(withHole, 2, output.c_str()); });
    EXPECT_EQ(f.code, ZQPDF_ERR_READ);
    EXPECT_EQ(f.text, "picture 2 of 2 has no file name");
}

TEST_F(PdfFailureTest, NotAJpegOrTiff)
{
    const std::string good = jpeg("good.jpg", renderedPage(64, 48));
    const std::string goodBytes = readFile(good);
    const std::string cases[][2] = {
        {"text.jpg", "just some text\n"},
        {"empty.jpg", ""},
        {"png.jpg", std::string("\x89PNG\r\n\x1a\n", 8) + std::string(32, '\0')},
        {"cut.jpg", goodBytes.substr(0, 20)},           // ends inside the header
        {"cut.tif", std::string("II*\0\x08\0\0\0", 8)}, // no directory behind the magic
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c[0]);
        const std::string path = file(c[0], c[1]);
        const Failure f = failing({good, path}, output);
        EXPECT_EQ(f.code, ZQPDF_ERR_NOT_IMAGE);
        EXPECT_EQ(f.text.rfind(path + " is not a JPEG or TIFF picture", 0), 0u) << f.text;
    }
}

TEST_F(PdfFailureTest, JpegOfAnotherColourModel)
{
    const std::string good = jpeg("good.jpg", renderedPage(64, 48));
    const std::string cmyk = jpeg("cmyk.jpg", Picture{16, 16, 4, std::vector<uint8_t>(1024, 90)});
    const Failure f = failing({good, cmyk}, output);
    EXPECT_EQ(f.code, ZQPDF_ERR_NOT_IMAGE);
    EXPECT_EQ(f.text,
              cmyk + " is not a JPEG or TIFF picture: unsupported JPEG (4 components, 8 bits)");
}

// A TIFF whose header is sound but whose picture data is damaged fails only
// while the PDF is being written; that too leaves nothing behind.
TEST_F(PdfFailureTest, DamagedTiffData)
{
    const std::string good = jpeg("good.jpg", renderedPage(64, 48));
    const std::string damaged = tiff("damaged.tif", renderedPage(64, 48), COMPRESSION_LZW);
    TIFF *t = TIFFOpen(damaged.c_str(), "r");
    ASSERT_NE(t, nullptr);
    uint64_t *offsets = nullptr;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets));
    const uint64_t firstStrip = offsets[0];
    TIFFClose(t);
    std::string bytes = readFile(damaged);
    ASSERT_LT(firstStrip + 64, bytes.size());
    bytes.replace(firstStrip, 64, std::string(64, '\xff'));
    writeFile(damaged, bytes);

    const Failure f = failing({good, damaged}, output);
    EXPECT_EQ(f.code, ZQPDF_ERR_NOT_IMAGE);
    EXPECT_EQ(f.text.rfind(damaged + " is not a JPEG or TIFF picture: ", 0), 0u) << f.text;
}

Picture noisePicture(int width, int height)
{
    Picture noise{width, height, 3, std::vector<uint8_t>(size_t(width) * height * 3)};
    uint32_t x = 1;
    for (uint8_t &v : noise.samples)
        v = uint8_t((x = x * 1103515245 + 12345) >> 24);
    return noise;
}

// A TIFF whose directory claims width x height pixels in one strip, while
// the strip holds a 16 x 16 Deflate picture: a few hundred bytes.
std::string tiffClaiming(const TempDir &dir, uint32_t width, uint32_t height)
{
    const std::string path = dir / ("claims-" + std::to_string(width) + ".tif");
    writeTiff(path, renderedPage(16, 16), COMPRESSION_ADOBE_DEFLATE, 0, 16);
    std::string bytes = readFile(path);
    const auto at = [&](size_t offset, int size) {
        uint32_t v = 0;
        std::memcpy(&v, &bytes[offset], size_t(size));
        return v;
    };
    const uint32_t ifd = at(4, 4);
    for (uint32_t i = 0, n = at(ifd, 2); i < n; ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        const uint32_t tag = at(entry, 2);
        if (tag != TIFFTAG_IMAGEWIDTH && tag != TIFFTAG_IMAGELENGTH && tag != TIFFTAG_ROWSPERSTRIP)
            continue;
        const uint32_t value = tag == TIFFTAG_IMAGEWIDTH ? width : height;
        const uint16_t longType = TIFF_LONG;
        std::memcpy(&bytes[entry + 2], &longType, 2);
        std::memcpy(&bytes[entry + 8], &value, 4);
    }
    writeFile(path, bytes);
    return path;
}

// What a composition run in a child process gives: its result and how far
// it raised the child's peak resident memory.
struct Peak {
    zqpdf_errno code;
    long addedKiB;
};

Peak peakOf(const std::function<zqpdf_errno()> &composition)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {-1, -1};
    const pid_t child = fork();
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        Peak p{composition(), 0};
        getrusage(RUSAGE_SELF, &after);
        p.addedKiB = after.ru_maxrss - before.ru_maxrss;
        _exit(write(pipeFds[1], &p, sizeof p) == sizeof p ? 0 : 1);
    }
    close(pipeFds[1]);
    Peak p{-1, -1};
    if (read(pipeFds[0], &p, sizeof p) != sizeof p)
        p = {-1, -1};
    close(pipeFds[0]);
    waitpid(child, nullptr, 0);
    return p;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr long kSanitizerKiB = 320 << 10; // freed memory waits in AddressSanitizer's quarantine
#else
constexpr long kSanitizerKiB = 0;
#endif

TEST_F(PdfFailureTest, TiffSizesBeyondTheLimitsAreRefusedBeforeDecoding)
{
    const std::tuple<uint32_t, uint32_t, const char *> claims[] = {
        {20000, 20000, "decodes to more than 1 GiB"},
        {60000, 60000, "decodes to more than 1 GiB"},
        {536870911, 536870911, "is more than 65535 pixels across"},
        {151055616, 2, "is more than 65535 pixels across"}, // a row of 604 MB to decode
    };
    for (const auto &[width, height, why] : claims) {
        const std::string claim = tiffClaiming(dir, width, height);
        ASSERT_LT(readFile(claim).size(), 1000u);
        const Peak peak = peakOf([&] { return composePdf({claim}, output); });
        EXPECT_EQ(peak.code, ZQPDF_ERR_READ);
        EXPECT_LT(peak.addedKiB, 16 << 10) << width;
        const Failure f = failing({claim}, output);
        EXPECT_EQ(f.text, "cannot read " + claim + ": a picture of " + std::to_string(width) +
                              " x " + std::to_string(height) + " pixels " + why);
    }
}

// Within the limit, a claim the data does not back costs one band of
// decoding, not the size claimed.
TEST_F(PdfFailureTest, TiffClaimingMoreThanItHoldsFailsSmall)
{
    const std::string claim = tiffClaiming(dir, 18000, 18000); // 972 MB as RGB
    const Peak peak = peakOf([&] { return composePdf({claim}, output); });
    EXPECT_EQ(peak.code, ZQPDF_ERR_NOT_IMAGE);
    EXPECT_LT(peak.addedKiB, (32 << 10) + kSanitizerKiB);
    EXPECT_EQ(failing({claim}, output).text.rfind(claim + " is not a JPEG or TIFF picture: ", 0),
              0u);
}

TEST_F(PdfTest, PeakMemoryIsAFewDecodedPages)
{
    // Noise in one uncompressed strip: nothing for the writer to compress
    // and the largest strip there can be.
    const Picture noise = noisePicture(4000, 3000);
    const std::string page = tiff("noise.tif", noise, COMPRESSION_NONE, 3000);
    const long pageKiB = long(noise.samples.size() >> 10);
    const Peak peak = peakOf([&] { return composePdf({page, page}, output); });
    ASSERT_EQ(peak.code, ZQPDF_OK);
    EXPECT_LT(peak.addedKiB, 4 * pageKiB + kSanitizerKiB) << "a page is " << pageKiB << " KiB";
}

TEST_F(PdfFailureTest, JpegCutBeforeItsEndIsRefused)
{
    const std::string good = readFile(jpeg("good.jpg", renderedPage(64, 48)));
    ASSERT_EQ(good.substr(good.size() - 2), "\xff\xd9");
    // An APP1 segment that holds an end-of-image marker of its own, as an
    // embedded thumbnail does, is skipped by its length.
    const std::string app1("\xff\xe1\x00\x06\xff\xd9\x00\x00", 8);
    const std::string withThumb = good.substr(0, 2) + app1 + good.substr(2);
    const std::string cases[][2] = {
        {"no-eoi.jpg", good.substr(0, good.size() - 2)},
        {"half.jpg", good.substr(0, good.size() / 2 + 40)},
        {"thumb-cut.jpg", withThumb.substr(0, withThumb.size() - 10)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c[0]);
        const std::string path = file(c[0], c[1]);
        const Failure f = failing({path}, output);
        EXPECT_EQ(f.code, ZQPDF_ERR_NOT_IMAGE);
        EXPECT_EQ(f.text, path + " is not a JPEG or TIFF picture: the JPEG data ends before its "
                                 "end-of-image marker");
    }
    EXPECT_EQ(composePdf({file("thumb.jpg", withThumb), file("tail.jpg", good + "trailing bytes")},
                         output),
              ZQPDF_OK)
        << zqpdf_last_error();
}

// Only the JPEG data up to its end-of-image marker is a page: 64 MiB of
// zeros after it stay out of the PDF, and data that goes on for more than
// 256 MiB before it is refused once that much has been read.
TEST_F(PdfFailureTest, JpegPagesEndAtTheirEndOfImage)
{
    const std::string good = readFile(jpeg("good.jpg", renderedPage(64, 48)));
    // Sparse files: the zeros cost no disk.
    const auto padded = [&](const std::string &name, const std::string &head, uintmax_t zeros,
                            const std::string &tail) {
        const std::string path = file(name, head);
        std::filesystem::resize_file(path, head.size() + zeros);
        std::ofstream(path, std::ios::app | std::ios::binary) << tail;
        return path;
    };
    const std::string trailing = padded("trailing.jpg", good, 64u << 20, "");
    ASSERT_EQ(composePdf({trailing}, output), ZQPDF_OK) << zqpdf_last_error();
    EXPECT_EQ(readFile(extractImages(output, dir / "page").at(0)), good);

    const std::string endless =
        padded("endless.jpg", good.substr(0, good.size() - 2), 300u << 20, "\xff\xd9");
    const Failure f = failing({endless}, output);
    EXPECT_EQ(f.code, ZQPDF_ERR_READ);
    EXPECT_EQ(f.text, "cannot read " + endless + ": its JPEG data holds more than 256 MiB");
}

// An allocation that fails while the PDF is written leaves no temporary
// file behind, also when it ends the process (qpdf aborts on some).
TEST_F(PdfFailureTest, OutOfMemoryLeavesNothingBehind)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer reserves its shadow memory beyond any address-space limit";
#endif
    // Noise, which the writer holds in memory as large as it is.
    const std::string page = tiff("noise.tif", noisePicture(3000, 2000), COMPRESSION_NONE);
    for (long headroomMiB : {4, 8, 16}) {
        const Failure f = failing([&] {
            return inChild([&] {
                rlimit limit{};
                getrlimit(RLIMIT_AS, &limit);
                limit.rlim_cur = headroomMiB << 20; // beyond what is mapped already
                std::ifstream status("/proc/self/status");
                for (std::string line; std::getline(status, line);)
                    if (line.rfind("VmSize:", 0) == 0)
                        limit.rlim_cur += std::stoul(line.substr(7)) << 10;
                setrlimit(RLIMIT_AS, &limit);
                return int(composePdf({page}, output));
            });
        });
        EXPECT_NE(f.code, ZQPDF_OK) << headroomMiB << " MiB were enough";
    }
}

TEST_F(PdfFailureTest, OutputCannotBeWritten)
{
    const std::string good = jpeg("good.jpg", renderedPage(64, 48));
    std::filesystem::create_directory(dir / "taken.pdf");

    Failure f = failing({good}, dir / "no/such/dir.pdf");
    EXPECT_EQ(f.code, ZQPDF_ERR_WRITE);
    EXPECT_EQ(f.text, "cannot write " + (dir / "no/such/dir.pdf") + ": No such file or directory");

    f = failing({good}, dir / "taken.pdf");
    EXPECT_EQ(f.code, ZQPDF_ERR_WRITE);
    EXPECT_EQ(f.text, "cannot write " + (dir / "taken.pdf") + ": Is a directory");

    f = failing({good}, "");
    EXPECT_EQ(f.code, ZQPDF_ERR_WRITE);
    EXPECT_EQ(f.text, "no output file named");
}

// A full disk shows as a failed write in the middle of the PDF, as a
// file-size limit does; the reason reaches the caller.
TEST_F(PdfFailureTest, WriteFailingMidwayNamesItsReason)
{
    const std::string good = jpeg("good.jpg", renderedPage(640, 480));
    const int child = inChild([&] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, RLIM_INFINITY};
        return setrlimit(RLIMIT_FSIZE, &limit) == 0 &&
                       composePdf({good}, output) == ZQPDF_ERR_WRITE &&
                       zqpdf_last_error() == "cannot write " + output + ": File too large"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(child, 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"good.jpg"});
}

TEST_F(PdfFailureTest, PermissionsAreHonoured)
{
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0); // others may read, not write
    const std::string good = jpeg("good.jpg", renderedPage(64, 48));
    ASSERT_EQ(chmod(good.c_str(), 0644), 0);
    const std::string secret = jpeg("secret.jpg", renderedPage(64, 48));
    ASSERT_EQ(chmod(secret.c_str(), 0600), 0);

    const auto expectFailure = [&](const std::vector<std::string> &files, zqpdf_errno code,
                                   const std::string &text) {
        EXPECT_EQ(asNobody([&] {
                      const zqpdf_errno got = composePdf(files, output);
                      return got == code && zqpdf_last_error() == text ? 0 : 1;
                  }),
                  0)
            << text;
    };
    expectFailure({good}, ZQPDF_ERR_WRITE, "cannot write " + output + ": Permission denied");
    expectFailure({good, secret}, ZQPDF_ERR_READ, "cannot read " + secret + ": Permission denied");
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(PdfFailureTest, ErrorTextClearsOnSuccessAndInit)
{
    EXPECT_EQ(composePdf({dir / "missing.jpg"}, output), ZQPDF_ERR_READ);
    EXPECT_EQ(zqpdf_init(), 0);
    EXPECT_STREQ(zqpdf_last_error(), "no error");

    EXPECT_EQ(composePdf({dir / "missing.jpg"}, output), ZQPDF_ERR_READ);
    EXPECT_EQ(composePdf({jpeg("a.jpg", renderedPage(64, 48))}, output), ZQPDF_OK);
    EXPECT_STREQ(zqpdf_last_error(), "no error");
}

} // namespace
