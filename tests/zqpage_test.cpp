// zqpage as scripts run it: a separate process on picture files of
// rendered pages on a desk; and its header reader on damaged and hostile
// bytes.
#include "pdf_tools.h"
#include "picture_files.h"
#include "picture_header.h"
#include "book_scene.h"
#include "scene.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <tiffio.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using zq::test::Picture;
using zq::test::TempDir;

namespace
{

// Whether the program's error output holds text; a failure shows the output.
testing::AssertionResult holds(const std::string &err, const std::string &text)
{
    if (err.find(text) != std::string::npos)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "no \"" << text << "\" in:\n" << err;
}

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

zq::sim::PageScene tiltedPage()
{
    zq::sim::PageScene scene = zq::sim::sceneOnDesk(zq::sim::Desk::Mat);
    scene.pageWidth = 0.3;
    scene.angleDeg = 10;
    scene.noise = 2;
    return scene;
}

Picture render(const zq::sim::PageScene &scene, int width = kWidth, int height = kHeight)
{
    return {width, height, 3, zq::sim::renderScene(scene, width, height)};
}

// The page's corners as zqpage prints them: clockwise (as pageCorners
// gives them), from the one nearest the picture's top-left corner.
std::vector<cv::Point2d> expectedOutline(const zq::sim::PageScene &scene)
{
    std::vector<cv::Point2d> corners;
    for (const zq::sim::Point &p : zq::sim::pageCorners(scene, kWidth, kHeight))
        corners.emplace_back(p.x, p.y);
    const auto first = std::min_element(corners.begin(), corners.end(),
                                        [](auto &a, auto &b) { return cv::norm(a) < cv::norm(b); });
    std::rotate(corners.begin(), first, corners.end());
    return corners;
}

void appendBigEndian(std::string &bytes, uint32_t value, int size)
{
    for (int shift = 8 * (size - 1); shift >= 0; shift -= 8)
        bytes.push_back(char(value >> shift));
}

constexpr uint16_t kShort = 3;
constexpr uint16_t kLong = 4;

// A directory entry of one SHORT or LONG in big-endian order; a SHORT sits
// in the first two bytes of the value field.
void appendEntry(std::string &tiff, uint16_t tag, uint16_t type, uint32_t value)
{
    appendBigEndian(tiff, tag, 2);
    appendBigEndian(tiff, type, 2);
    appendBigEndian(tiff, 1, 4);
    appendBigEndian(tiff, type == kShort ? value << 16 : value, 4);
}

// An APP1 segment of EXIF: the first directory holds the orientation and
// points to the EXIF directory, which holds the 35 mm focal length.
std::string exifSegment(uint16_t orientation, uint16_t focal35mm)
{
    constexpr uint32_t kFirst = 8, kExif = kFirst + 2 + 2 * 12 + 4;
    std::string tiff("MM\0*", 4);
    appendBigEndian(tiff, kFirst, 4);
    appendBigEndian(tiff, 2, 2);
    appendEntry(tiff, 0x0112, kShort, orientation);
    appendEntry(tiff, 0x8769, kLong, kExif);
    appendBigEndian(tiff, 0, 4);
    appendBigEndian(tiff, 1, 2);
    appendEntry(tiff, 0xA405, kShort, focal35mm);
    appendBigEndian(tiff, 0, 4);
    std::string segment = "\xFF\xE1";
    appendBigEndian(segment, uint32_t(2 + 6 + tiff.size()), 2);
    return segment + std::string("Exif\0\0", 6) + tiff;
}

// Offsets in a JPEG that starts with that segment: past SOI, the APP1
// marker and length, and "Exif\0\0" the TIFF structure begins.
constexpr size_t kTiffStart = 2 + 4 + 6;
constexpr size_t kFirstEntryCount = kTiffStart + 8;
constexpr size_t kExifPointer = kFirstEntryCount + 2 + 12;

std::string encoded(const Picture &picture, const char *extension)
{
    const cv::Mat rgb(picture.height, picture.width, CV_8UC3,
                      const_cast<uint8_t *>(picture.samples.data()));
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    std::vector<uchar> bytes;
    cv::imencode(extension, bgr, bytes);
    return {bytes.begin(), bytes.end()};
}

std::optional<zqpage::PictureHeader> readHeader(const std::string &bytes, size_t size,
                                                std::string &error)
{
    return zqpage::readPictureHeader(reinterpret_cast<const uint8_t *>(bytes.data()), size, error);
}

} // namespace

// ---- the header reader ----

TEST(PictureHeaderTest, ReadsSizeAndLensOfEachFormat)
{
    const Picture small{64, 48, 3, std::vector<uint8_t>(64 * 48 * 3, 128)};
    std::string jpeg = encoded(small, ".jpg");
    jpeg.insert(2, exifSegment(1, 26));
    std::string error;
    auto header = readHeader(jpeg, jpeg.size(), error);
    ASSERT_TRUE(header) << error;
    EXPECT_EQ(header->format, zqpage::PictureFormat::Jpeg);
    EXPECT_EQ(header->width, 64u);
    EXPECT_EQ(header->height, 48u);
    EXPECT_EQ(header->focalLength35mm, 26u);

    for (const char *extension : {".png", ".tiff"}) {
        const std::string bytes = encoded(small, extension);
        header = readHeader(bytes, bytes.size(), error);
        ASSERT_TRUE(header) << extension << ": " << error;
        EXPECT_EQ(header->width, 64u) << extension;
        EXPECT_EQ(header->height, 48u) << extension;
        EXPECT_EQ(header->focalLength35mm, 0u) << extension;
    }
}

TEST(PictureHeaderTest, RefusesCutShortFilesAndSurvivesHostileDirectories)
{
    const Picture small{64, 48, 3, std::vector<uint8_t>(64 * 48 * 3, 128)};
    std::string jpeg = encoded(small, ".jpg");
    jpeg.insert(2, exifSegment(1, 26));
    std::string error;
    // Every part of the file short of its end-of-image marker.
    for (size_t size = 0; size < jpeg.size(); ++size)
        EXPECT_FALSE(readHeader(jpeg, size, error)) << size;

    // A first directory that claims entries far beyond the segment and has
    // no EXIF pointer, and an EXIF directory far past the file's end: the
    // size is still read, the lens is not.
    std::string endless = jpeg;
    endless[kFirstEntryCount] = endless[kFirstEntryCount + 1] = '\xFF';
    endless[kExifPointer + 1] = 0; // another tag
    std::string farAway = jpeg;
    farAway.replace(kExifPointer + 8, 4, "\xFF\xFF\xFF\xF0", 4);
    for (const std::string &bytes : {endless, farAway}) {
        const auto header = readHeader(bytes, bytes.size(), error);
        ASSERT_TRUE(header) << error;
        EXPECT_EQ(header->width, 64u);
        EXPECT_EQ(header->focalLength35mm, 0u);
    }
}

// ---- the program ----

namespace
{

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

struct OutlineLine {
    std::string picture;
    int number = 0;
    std::vector<cv::Point2d> corners;
};

std::vector<OutlineLine> outlines(const std::string &out)
{
    std::vector<OutlineLine> lines;
    std::istringstream in(out);
    for (std::string text; std::getline(in, text);) {
        std::istringstream fields(text);
        OutlineLine line;
        fields >> line.picture >> line.number;
        for (std::string corner; fields >> corner;) {
            cv::Point2d p;
            if (std::sscanf(corner.c_str(), "%lf,%lf", &p.x, &p.y) == 2)
                line.corners.push_back(p);
        }
        lines.push_back(line);
    }
    return lines;
}

void expectCornersNear(const std::vector<cv::Point2d> &found, const std::vector<cv::Point2d> &truth)
{
    ASSERT_EQ(found.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_LT(cv::norm(found[i] - truth[i]), 3.0) << "corner " << i << " at " << found[i];
}

std::vector<std::string> namesIn(const std::string &directory)
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(directory))
        names.push_back(entry.path().filename().string());
    return names;
}

// A PNG that claims more pixels than the library takes and holds nothing.
std::string hugePngHeader()
{
    std::string png("\x89PNG\r\n\x1A\n", 8);
    appendBigEndian(png, 13, 4);
    png += "IHDR";
    appendBigEndian(png, 40000, 4);
    appendBigEndian(png, 40000, 4);
    png += std::string("\x08\x02\0\0\0", 5);
    appendBigEndian(png, 0, 4); // the checksum, never looked at
    return png;
}

class ZqpageTest : public testing::Test
{
  protected:
    // Runs zqpage in the work directory, after the shell commands in before.
    ToolRun zqpage(const std::string &args, const std::string &before = "")
    {
        const std::string command = "cd '" + work_.path() + "' && " + before + ZQPAGE_PATH " " +
                                    args + " >'" + logs_ / "out" + "' 2>'" + logs_ / "err" + "'";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, zq::test::readFile(logs_ / "out"),
                zq::test::readFile(logs_ / "err")};
    }
    void put(const std::string &name, const std::string &bytes)
    {
        zq::test::writeFile(work_ / name, bytes);
    }
    void putPage(const std::string &name)
    {
        zq::test::writeJpeg(work_ / name, render(tiltedPage()), 90);
    }
    // An open book, the left page full, the right one with a few lines at
    // its top.
    void putBook(const std::string &name)
    {
        zq::sim::BookScene book;
        book.pageWidth = 0.3;
        book.lines = {zq::sim::bookText(1, 20), zq::sim::bookText(2, 6)};
        book.font = ZQ_TEXT_FONT;
        zq::test::writeJpeg(work_ / name,
                            {kWidth, kHeight, 3, zq::sim::renderBook(book, kWidth, kHeight)}, 92);
    }

    TempDir work_, logs_;
};

} // namespace

TEST_F(ZqpageTest, OutlinePrintsEachPicturesCornersAndWritesNothing)
{
    const zq::sim::PageScene scene = tiltedPage();
    const Picture picture = render(scene);
    zq::test::writeJpeg(work_ / "a.jpg", picture, 90);
    put("b.png", encoded(picture, ".png"));
    // As zqvideo writes its TIFF pages.
    zq::test::writeTiff(work_ / "c.tiff", picture, COMPRESSION_JPEG, 90);
    const std::vector<std::string> before = work_.entries();

    const ToolRun r = zqpage("--outline a.jpg b.png c.tiff");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<OutlineLine> lines = outlines(r.out);
    ASSERT_EQ(lines.size(), 3u) << r.out;
    const char *names[] = {"a.jpg", "b.png", "c.tiff"};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(lines[i].picture, names[i]);
        EXPECT_EQ(lines[i].number, 1);
        expectCornersNear(lines[i].corners, expectedOutline(scene));
    }
    EXPECT_EQ(work_.entries(), before);
}

TEST_F(ZqpageTest, WritesEachPageFlatInTheChosenFormat)
{
    const zq::sim::PageScene scene = tiltedPage();
    const Picture picture = render(scene);
    zq::test::writeJpeg(work_ / "a.jpg", picture, 90);
    put("b.png", encoded(picture, ".png"));
    const double width = scene.pageWidth * kWidth, height = width * scene.aspect;

    const struct {
        const char *extension;
        const char *magic;
    } formats[] = {{"jpg", "\xFF\xD8"}, {"png", "\x89P"}, {"tiff", "II"}};
    for (const auto &f : formats) {
        SCOPED_TRACE(f.extension);
        const std::string dir = std::string("pages/") + f.extension;
        const ToolRun r = zqpage("-o " + dir + " --format " + f.extension + " a.jpg b.png");
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, dir + "/a." + f.extension + "\n" + dir + "/b." + f.extension + "\n");
        for (const char *stem : {"a", "b"}) {
            const std::string bytes =
                zq::test::readFile(work_ / (dir + "/" + stem + "." + f.extension));
            EXPECT_EQ(bytes.substr(0, 2), f.magic);
            const cv::Mat page =
                cv::imdecode(std::vector<uchar>(bytes.begin(), bytes.end()), cv::IMREAD_COLOR);
            EXPECT_NEAR(page.cols, width, 0.03 * width);
            EXPECT_NEAR(page.rows, height, 0.03 * height);
        }
    }
    ASSERT_EQ(zqpage("-o low --quality 20 a.jpg").status, 0);
    EXPECT_LT(zq::test::readFile(work_ / "low/a.jpg").size(),
              zq::test::readFile(work_ / "pages/jpg/a.jpg").size() / 2);
    // The paper, grey in the picture, comes out white.
    ASSERT_EQ(zqpage("-o white --clear-background a.jpg").status, 0);
    const double paper = cv::mean(cv::imread(work_ / "pages/jpg/a.jpg"))[1];
    EXPECT_GT(cv::mean(cv::imread(work_ / "white/a.jpg"))[1], paper + 10);
}

TEST_F(ZqpageTest, FollowsTheExifOrientation)
{
    const zq::sim::PageScene scene = tiltedPage();
    Picture upright = render(scene);
    // Stored a quarter turn counter-clockwise, with orientation 6: turn it
    // a quarter clockwise to show it.
    cv::Mat stored;
    cv::rotate(cv::Mat(kHeight, kWidth, CV_8UC3, upright.samples.data()), stored,
               cv::ROTATE_90_COUNTERCLOCKWISE);
    const Picture turned{kHeight, kWidth, 3, {stored.data, stored.data + stored.total() * 3}};
    std::string jpeg = encoded(turned, ".jpg");
    jpeg.insert(2, exifSegment(6, 0));
    put("turned.jpg", jpeg);

    const ToolRun r = zqpage("--outline turned.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<OutlineLine> lines = outlines(r.out);
    ASSERT_EQ(lines.size(), 1u) << r.out;
    expectCornersNear(lines[0].corners, expectedOutline(scene));
}

TEST_F(ZqpageTest, NamesEachFailedPictureAndGoesOn)
{
    putPage("good.jpg");
    zq::sim::PageScene desk = tiltedPage();
    desk.pageWidth = 0;
    zq::test::writeJpeg(work_ / "empty.jpg", render(desk), 90);
    const std::string good = zq::test::readFile(work_ / "good.jpg");
    put("cut.jpg", good.substr(0, good.size() / 2));
    put("text.jpg", "not a picture\n");
    put("huge.png", hugePngHeader());

    ToolRun r = zqpage("-o out good.jpg empty.jpg missing.jpg cut.jpg text.jpg huge.png");
    EXPECT_EQ(r.status, 3) << "the worst: a picture that cannot be read";
    EXPECT_EQ(r.out, "out/good.jpg\n");
    EXPECT_EQ(namesIn(work_ / "out"), std::vector<std::string>{"good.jpg"});
    EXPECT_TRUE(holds(r.err, "zqpage: empty.jpg: no page found"));
    for (const char *name : {"missing.jpg", "cut.jpg", "text.jpg", "huge.png"})
        EXPECT_TRUE(holds(r.err, std::string("zqpage: ") + name + ": cannot be read: ")) << name;
    EXPECT_TRUE(holds(r.err, "huge.png: cannot be read: at 40000 x 40000 pixels it is larger"))
        << "refused from its header";

    r = zqpage("-o out empty.jpg good.jpg");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "out/good.jpg\n");
}

TEST_F(ZqpageTest, UsageMistakesWriteNothing)
{
    putPage("good.jpg");
    for (const char *args :
         {"", "--quality 0 good.jpg", "--quality 101 good.jpg", "--quality 9x good.jpg",
          "--format bmp good.jpg", "--layout spread good.jpg", "--flatten maybe good.jpg",
          "--frobnicate good.jpg", "good.jpg -o", "--pdf= good.jpg",
          "--pdf book.pdf --outline good.jpg", "--pdf book.pdf --format png good.jpg",
          "--pdf book.pdf --ocr= good.jpg"}) {
        const ToolRun r = zqpage(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_TRUE(holds(r.err, "Try 'zqpage --help'")) << args;
        EXPECT_EQ(r.out, "") << args;
    }
    EXPECT_EQ(work_.entries(), std::vector<std::string>{"good.jpg"});

    ToolRun r = zqpage("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: zqpage", 0), 0u) << r.out;
    r = zqpage("--version");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "zqpage (zqscan) " ZQ_VERSION "\n");
    // A flat page lying alone is a book's single page.
    r = zqpage("--layout book --flatten off --right-to-left -o pages good.jpg");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pages/good.jpg\n");
}

namespace
{

// The share of a page's print in its lower half: the print is what is
// darker than the paper around it, the gutter's shade taken away.
double printBelowMiddle(const cv::Mat &page)
{
    cv::Mat grey, paper, ink;
    cv::cvtColor(page, grey, cv::COLOR_BGR2GRAY);
    cv::GaussianBlur(grey, paper, cv::Size(0, 0), 8);
    cv::subtract(paper, grey, ink, cv::noArray(), CV_32F);
    ink = cv::max(ink, 0);
    return cv::sum(ink.rowRange(ink.rows / 2, ink.rows))[0] / cv::sum(ink)[0];
}

} // namespace

TEST_F(ZqpageTest, CutsAnOpenBookIntoItsPagesInReadingOrder)
{
    putBook("book.jpg");
    putPage("page.jpg");
    const auto showsLeft = [&](const std::string &name) {
        const cv::Mat page = cv::imread(work_ / name);
        EXPECT_FALSE(page.empty()) << name;
        return !page.empty() && printBelowMiddle(page) > 0.25;
    };

    ToolRun r = zqpage("-o pages book.jpg page.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pages/book-1.jpg\npages/book-2.jpg\npages/page.jpg\n");
    EXPECT_TRUE(showsLeft("pages/book-1.jpg"));
    EXPECT_FALSE(showsLeft("pages/book-2.jpg"));

    r = zqpage("--right-to-left -o rtl book.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(showsLeft("rtl/book-1.jpg"));
    EXPECT_TRUE(showsLeft("rtl/book-2.jpg"));

    r = zqpage("--outline --right-to-left book.jpg");
    const std::vector<OutlineLine> lines = outlines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0].number, 1);
    EXPECT_EQ(lines[1].number, 2);
    ASSERT_EQ(lines[0].corners.size(), 4u);
    ASSERT_EQ(lines[1].corners.size(), 4u);
    EXPECT_GT(lines[0].corners[0].x, lines[1].corners[0].x); // the right page first

    // Unflattened, each page is cut along its corners; as one page, the
    // spread comes whole.
    r = zqpage("--flatten off -o off book.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(cv::imread(work_ / "off/book-1.jpg").size(),
              cv::imread(work_ / "pages/book-1.jpg").size());
    r = zqpage("--layout page -o whole book.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "whole/book.jpg\n");
}

TEST_F(ZqpageTest, NoPageWhereItCannotBeWritten)
{
    putPage("good.jpg");
    // Not even root may make files there.
    ToolRun r = zqpage("-o /proc good.jpg");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(holds(r.err, "zqpage: good.jpg: cannot write /proc/good.jpg: "));
    // Past a file-size limit (4 KiB) the write fails and says why; the
    // signal that would end the program is ignored.
    r = zqpage("-o limited good.jpg", "ulimit -f 8 && ");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(holds(r.err, "cannot write limited/good.jpg: File too large"));

    // No page replaces a picture of the run, its own or another's, nor
    // the page of an earlier picture.
    const std::string picture = zq::test::readFile(work_ / "good.jpg");
    r = zqpage("good.jpg");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(holds(r.err, "its page good.jpg would replace the picture good.jpg"));
    EXPECT_EQ(r.out, "");
    std::filesystem::create_directory(work_ / "other");
    putPage("other/good.png");
    r = zqpage("other/good.png good.jpg");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(holds(r.err, "zqpage: other/good.png: its page good.jpg would replace the picture "
                             "good.jpg"));
    EXPECT_EQ(zq::test::readFile(work_ / "good.jpg"), picture);
    r = zqpage("-o pages good.jpg other/good.png");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "pages/good.jpg\n");
    EXPECT_TRUE(holds(r.err, "would replace the page written before for another picture"));
}

// A page seen by a leaning camera head: how tall it is cut depends on the
// lens the picture was taken with.
TEST_F(ZqpageTest, TakesTheLensFromExif)
{
    zq::sim::PageScene scene = tiltedPage();
    scene.tiltDeg = 15;
    const Picture picture = render(scene);
    const auto aspectOfPage = [&](const std::string &exif) {
        std::string jpeg = encoded(picture, ".jpg");
        jpeg.insert(2, exif);
        put("lens.jpg", jpeg);
        EXPECT_EQ(zqpage("-o pages lens.jpg").status, 0);
        const cv::Mat page = cv::imread(work_ / "pages/lens.jpg");
        return double(page.rows) / std::max(page.cols, 1);
    };
    const double unknownLens = aspectOfPage("");
    // The renderer's lens, 1.2 times the longer side across: 45 mm in 35 mm
    // terms at 16:9, as the library assumes without a tag.
    EXPECT_NEAR(aspectOfPage(exifSegment(1, 45)), unknownLens, 0.01 * unknownLens);
    // A long lens sees little perspective: the same outline must come from
    // a page leaning much further, so it is longer.
    EXPECT_GT(aspectOfPage(exifSegment(1, 300)), 1.3 * unknownLens);
}

TEST_F(ZqpageTest, ComposesThePagesWrittenIntoOnePdf)
{
    putPage("page.jpg");
    putBook("book.jpg");
    ToolRun r = zqpage("-o pages --pdf book.pdf page.jpg book.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "pages/page.jpg\npages/book-1.jpg\npages/book-2.jpg\nbook.pdf\n");
    std::string check;
    EXPECT_TRUE(zq::test::qpdfCheckPasses(work_ / "book.pdf", &check)) << check;
    EXPECT_EQ(zq::test::pdfPageSizes(work_ / "book.pdf").size(), 3u);
    // Each page file is embedded as it is, in the order it was written.
    const std::vector<std::string> images =
        zq::test::extractImages(work_ / "book.pdf", logs_ / "image");
    ASSERT_EQ(images.size(), 3u);
    const std::string pages[] = {"page.jpg", "book-1.jpg", "book-2.jpg"};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(zq::test::readFile(images[i]), zq::test::readFile(work_ / ("pages/" + pages[i])))
            << pages[i];

    // A picture that fails leaves its pages out, and says so.
    r = zqpage("-o pages --pdf part.pdf page.jpg missing.jpg");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "pages/page.jpg\npart.pdf\n");
    EXPECT_TRUE(holds(r.err, "zqpage: part.pdf: written without the pages that failed"));
    EXPECT_EQ(zq::test::pdfPageSizes(work_ / "part.pdf").size(), 1u);
}

// A page of an 8 MP frame, well over 100 pixels an inch on A4: below that a
// compact PDF keeps the picture.
TEST_F(ZqpageTest, CompactPdfTurnsATextPageBilevel)
{
    zq::sim::PageScene scene = tiltedPage();
    scene.pageWidth = 0.6;
    zq::test::writeJpeg(work_ / "page.jpg", render(scene, 3264, 2448), 90);
    ASSERT_EQ(zqpage("-o pages --pdf original.pdf page.jpg").status, 0);
    const ToolRun r = zqpage("-o pages --pdf compact.pdf --compact page.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<zq::test::ImageEntry> images = zq::test::pdfImageList(work_ / "compact.pdf");
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].bits, 1);
    EXPECT_LT(std::filesystem::file_size(work_ / "compact.pdf"),
              std::filesystem::file_size(work_ / "original.pdf") / 2);
}

// Tesseract's reading takes seconds: one page, at a size it reads well.
TEST_F(ZqpageTest, OcrMakesThePdfSearchable)
{
    zq::sim::PageScene scene = tiltedPage();
    scene.pageWidth = 0.35;
    scene.lines = {"Pages from pictures", "The quick brown fox jumps"};
    scene.font = ZQ_TEXT_FONT;
    scene.textSize = 0.035;
    zq::test::writeJpeg(work_ / "text.jpg", render(scene, 1920, 1080), 90);

    const ToolRun r = zqpage("-o pages --pdf text.pdf --ocr eng text.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string text = zq::test::pdfText(work_ / "text.pdf", 1);
    for (const char *word : {"Pages", "pictures", "quick", "brown"})
        EXPECT_NE(text.find(word), std::string::npos) << word << " in:\n" << text;
}

TEST_F(ZqpageTest, SaysWhyThePdfWasNotWritten)
{
    putPage("good.jpg");
    const std::string picture = zq::test::readFile(work_ / "good.jpg");
    // Refused before any picture is read.
    const struct {
        const char *args;
        const char *reason;
    } refused[] = {
        {"--pdf good.jpg -o pages good.jpg", "it would replace the picture good.jpg"},
        {"--pdf pages/good.jpg -o pages good.jpg", "it would replace the page of good.jpg"},
        {"--pdf book.pdf --ocr eng+tlh -o pages good.jpg",
         "no text recognition model for the language \"tlh\""},
    };
    for (const auto &run : refused) {
        const ToolRun r = zqpage(run.args);
        EXPECT_EQ(r.status, 4) << run.args;
        EXPECT_EQ(r.out, "") << run.args;
        EXPECT_TRUE(holds(r.err, std::string("cannot be composed: ") + run.reason));
    }
    EXPECT_EQ(work_.entries(), std::vector<std::string>{"good.jpg"});
    EXPECT_EQ(zq::test::readFile(work_ / "good.jpg"), picture);

    ToolRun r = zqpage("--pdf none.pdf missing.jpg");
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(holds(r.err, "zqpage: none.pdf: cannot be composed: no picture gave a page"));
    // The composer's own reason; the pages stay written.
    r = zqpage("-o pages --pdf /proc/book.pdf good.jpg");
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "pages/good.jpg\n");
    EXPECT_TRUE(
        holds(r.err, "zqpage: /proc/book.pdf: cannot be composed: cannot write /proc/book.pdf"));
    EXPECT_EQ(work_.entries(), (std::vector<std::string>{"good.jpg", "pages"}));
}
