// Open books: the spread's two pages found along their curved edges and
// split at the gutter, and each page laid flat, judged against the page as
// it was printed by the straightness of its lines, its proportions and
// what Tesseract reads in it.
#include "book_scene.h"
#include "curved_page.h"
#include "imaging_fixture.h"
#include "picture_files.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace zq::sim;

namespace
{

constexpr int kWidth = 1632, kHeight = 1224;
constexpr int kLines = 22; // as many as a page holds at the scenes' text size

BookScene bookWith(void (*change)(BookScene &) = nullptr)
{
    BookScene book;
    book.lines = {bookText(1, kLines), bookText(2, kLines)};
    book.font = ZQ_TEXT_FONT;
    if (change)
        change(book);
    return book;
}

struct BookCase {
    const char *name;
    void (*change)(BookScene &);
};
const BookCase kBooks[] = {
    {"upright", nullptr},
    {"turned 6 degrees", [](BookScene &b) { b.angleDeg = 6; }},
    {"off centre, turned back", [](BookScene &b) { b.centerX = 0.45, b.angleDeg = -4; }},
    {"pages rising high", [](BookScene &b) { b.rise = 0.15; }},
    {"nearly flat", [](BookScene &b) { b.rise = 0.03; }},
    {"held by thumbs", [](BookScene &b) { b.fingers = true; }},
    {"noisy sensor", [](BookScene &b) { b.noise = 4, b.noiseSeed = 7; }},
};

std::vector<cv::Point> pixelPolygon(const std::vector<cv::Point2f> &points)
{
    std::vector<cv::Point> out;
    for (const cv::Point2f &p : points)
        out.emplace_back(int(std::lround(p.x * 4)), int(std::lround(p.y * 4)));
    return out;
}

// Intersection over union of two polygons, rasterised at a quarter pixel.
double overlap(const std::vector<cv::Point2f> &a, const std::vector<cv::Point2f> &b)
{
    cv::Mat first = cv::Mat::zeros(kHeight * 4, kWidth * 4, CV_8U), second = first.clone();
    cv::fillPoly(first, std::vector<std::vector<cv::Point>>{pixelPolygon(a)}, cv::Scalar(1));
    cv::fillPoly(second, std::vector<std::vector<cv::Point>>{pixelPolygon(b)}, cv::Scalar(1));
    const double both = cv::countNonZero(first & second), either = cv::countNonZero(first | second);
    return both / either;
}

std::vector<cv::Point2f> trueOutline(const BookScene &book, int side)
{
    std::vector<cv::Point2f> out;
    for (const Point &p : bookPageOutline(book, side, kWidth, kHeight))
        out.emplace_back(float(p.x), float(p.y));
    return out;
}

std::vector<cv::Point2f> foundOutline(int page)
{
    zqPointF points[2 * ZQ_BOOK_EDGE_POINTS];
    if (zq_scanner_book_outline(page, points) != 0)
        return {};
    std::vector<cv::Point2f> out;
    for (const zqPointF &p : points)
        out.emplace_back(float(p.x), float(p.y));
    return out;
}

cv::Mat cutPage(Frame &frame, int page, bool flatten)
{
    int width = 0, height = 0;
    if (zq_scanner_book_page_do(frame.data(), frame.width, frame.height, page, flatten, nullptr, 0,
                                &width, &height) != 0)
        return {};
    cv::Mat out(height, width, CV_8UC3);
    EXPECT_EQ(zq_scanner_book_page_do(frame.data(), frame.width, frame.height, page, flatten,
                                      out.data, int(out.total() * 3), &width, &height),
              0);
    return out;
}

// How far the lines of text bend over the page, in pixels: the page is
// cut into upright strips, the ink of each strip summed row by row, and
// each strip's rows matched to the next strip's with print; the shifts,
// added up from the left, rise and fall as much as the lines do.
double lineBend(const cv::Mat &rgb)
{
    cv::Mat grey;
    cv::cvtColor(rgb, grey, cv::COLOR_RGB2GRAY);
    constexpr int kStrips = 8, kMaxShift = 12;
    const int strip = rgb.cols * 8 / 10 / kStrips, left = rgb.cols / 10;
    std::vector<cv::Mat> profiles;
    for (int s = 0; s < kStrips; ++s) {
        cv::Mat ink;
        cv::reduce(255 - grey.colRange(left + s * strip, left + (s + 1) * strip), ink, 1,
                   cv::REDUCE_SUM, CV_32F);
        cv::Mat background;
        cv::blur(ink, background, cv::Size(1, 61)); // shading is not a line
        profiles.push_back(ink - background);
    }
    double strongest = 0;
    for (const cv::Mat &p : profiles)
        strongest = std::max(strongest, cv::norm(p));
    std::vector<cv::Mat> printed;
    for (const cv::Mat &p : profiles)
        if (cv::norm(p) > strongest / 3) // not a margin, nor the gutter's shade alone
            printed.push_back(p);
    double shift = 0, highest = 0, lowest = 0;
    for (size_t s = 1; s < printed.size(); ++s) {
        const cv::Mat &a = printed[s - 1], &b = printed[s];
        int best = 0;
        double bestScore = -INFINITY;
        for (int d = -kMaxShift; d <= kMaxShift; ++d) {
            const cv::Range from(kMaxShift, a.rows - kMaxShift);
            const double score = a.rowRange(from).dot(b.rowRange(from.start + d, from.end + d));
            if (score > bestScore) {
                bestScore = score;
                best = d;
            }
        }
        shift += best;
        highest = std::max(highest, shift);
        lowest = std::min(lowest, shift);
    }
    return highest - lowest;
}

// ---- Tesseract, run as the program -----------------------------------------

struct ReadWord {
    std::string text;
    int confidence;
    long line; // block, paragraph and line number together
    cv::Rect box;
};

std::string normalised(const std::string &word)
{
    std::string out;
    for (char c : word)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<ReadWord> recognise(const cv::Mat &rgb, const std::string &name)
{
    const std::string file = testing::TempDir() + name + ".ppm";
    const cv::Mat packed = rgb.isContinuous() ? rgb : rgb.clone();
    zq::test::writeFile(
        file, "P6\n" + std::to_string(rgb.cols) + " " + std::to_string(rgb.rows) + "\n255\n" +
                  std::string(reinterpret_cast<const char *>(packed.data), packed.total() * 3));
    const std::string command =
        std::string(ZQ_TESSERACT) + " '" + file + "' stdout -l eng tsv 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(command.c_str(), "r"), pclose);
    std::vector<ReadWord> words;
    char line[4096];
    while (pipe && fgets(line, sizeof line, pipe.get())) {
        // level page block para line word left top width height conf text
        std::istringstream fields(line);
        std::string field[12];
        for (std::string &f : field)
            std::getline(fields, f, '\t');
        const auto number = [&](int i) { return std::atoi(field[i].c_str()); };
        if (field[0] == "5" && !normalised(field[11]).empty())
            words.push_back({normalised(field[11]), number(10),
                             (number(2) * 1000L + number(3)) * 1000L + number(4),
                             cv::Rect(number(6), number(7), number(8), number(9))});
    }
    return words;
}

// How much taller the lines Tesseract found are than their words: about 1
// where lines run straight, more where they bend or slant.  The median
// over lines of four words or more.
double lineSpread(const std::vector<ReadWord> &words)
{
    std::map<long, std::vector<cv::Rect>> lines;
    for (const ReadWord &w : words)
        lines[w.line].push_back(w.box);
    std::vector<double> spreads;
    for (const auto &[line, boxes] : lines) {
        if (boxes.size() < 4)
            continue;
        int top = INT_MAX, bottom = 0;
        std::vector<int> heights;
        for (const cv::Rect &b : boxes) {
            top = std::min(top, b.y);
            bottom = std::max(bottom, b.y + b.height);
            heights.push_back(b.height);
        }
        std::nth_element(heights.begin(), heights.begin() + long(heights.size() / 2),
                         heights.end());
        spreads.push_back(double(bottom - top) / heights[heights.size() / 2]);
    }
    if (spreads.empty())
        return INFINITY;
    std::nth_element(spreads.begin(), spreads.begin() + long(spreads.size() / 2), spreads.end());
    return spreads[spreads.size() / 2];
}

// How far the words read in a page lie from the same words read in the
// printed page, as a share of the printed page's width: the mean over the
// words that each holds once.
double wordPlaceError(const std::vector<ReadWord> &read, cv::Size size,
                      const std::vector<ReadWord> &printed, cv::Size printedSize)
{
    const auto once = [](const std::vector<ReadWord> &words) {
        std::map<std::string, std::vector<cv::Point2d>> places;
        for (const ReadWord &w : words)
            places[w.text].push_back((cv::Point2d(w.box.tl()) + cv::Point2d(w.box.br())) / 2);
        std::map<std::string, cv::Point2d> unique;
        for (const auto &[text, at] : places)
            if (at.size() == 1)
                unique[text] = at.front();
        return unique;
    };
    const auto truth = once(printed);
    const cv::Point2d scale(double(printedSize.width) / size.width,
                            double(printedSize.height) / size.height);
    double sum = 0;
    int count = 0;
    for (const auto &[text, at] : once(read))
        if (const auto it = truth.find(text); it != truth.end()) {
            sum += cv::norm(cv::Point2d(at.x * scale.x, at.y * scale.y) - it->second);
            ++count;
        }
    return count ? sum / count / printedSize.width : INFINITY;
}

// The share of the printed words that were read, each as often as printed.
double wordAccuracy(const std::vector<ReadWord> &read, const std::vector<std::string> &lines)
{
    std::map<std::string, int> printed;
    int total = 0;
    for (const std::string &line : lines) {
        std::istringstream words(line);
        for (std::string word; words >> word;)
            if (const std::string w = normalised(word); !w.empty()) {
                ++printed[w];
                ++total;
            }
    }
    int found = 0;
    for (const ReadWord &word : read)
        if (auto it = printed.find(word.text); it != printed.end() && it->second > 0) {
            --it->second;
            ++found;
        }
    return double(found) / total;
}

// A book as the camera sees it.
Frame bookFrame(const BookScene &book)
{
    Frame frame(kWidth, kHeight);
    renderBook(book, kWidth, kHeight, frame.data());
    return frame;
}

class BookTest : public ImagingTest
{
  protected:
    // Runs check on a frame of each case's book in which both pages were
    // found; a fatal failure ends the round as it ends a test.
    template <class Check> void forEveryBook(Check check)
    {
        for (const BookCase &c : kBooks) {
            SCOPED_TRACE(c.name);
            const BookScene book = bookWith(c.change);
            Frame frame = bookFrame(book);
            ASSERT_EQ(zq_scanner_book_find(frame.data(), kWidth, kHeight), 2);
            check(c, book, frame);
            if (HasFatalFailure())
                return;
        }
    }
};

TEST_F(BookTest, FindsBothPagesAlongTheirCurvedEdges)
{
    forEveryBook([&](const BookCase &, const BookScene &book, Frame &) {
        for (int side = 0; side < 2; ++side)
            EXPECT_GT(overlap(foundOutline(side), trueOutline(book, side)), 0.985) << side;
        // The truth runs from the gutter's top outwards and back to its bottom.
        const std::vector<cv::Point2f> truth = trueOutline(book, 0);
        zqPointF gutter[2];
        ASSERT_EQ(zq_scanner_book_gutter(gutter), 0);
        EXPECT_LT(cv::norm(cv::Point2f(float(gutter[0].x), float(gutter[0].y)) - truth.front()), 3);
        EXPECT_LT(cv::norm(cv::Point2f(float(gutter[1].x), float(gutter[1].y)) - truth.back()), 3);
    });
}

// The preview searches the frame decoded at half size: the same pages, in
// its pixels.
TEST_F(BookTest, FindsTheBookInAReducedFrame)
{
    const BookScene book = bookWith();
    Frame frame = bookFrame(book);
    cv::Mat half;
    cv::resize(frame.mat(), half, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    ASSERT_EQ(zq_scanner_book_find_reduced(half.data, half.cols, half.rows, 2), 2);
    for (int side = 0; side < 2; ++side) {
        std::vector<cv::Point2f> truth = trueOutline(book, side);
        for (cv::Point2f &p : truth)
            p *= 0.5f;
        EXPECT_GT(overlap(foundOutline(side), truth), 0.97) << side;
    }
    EXPECT_EQ(zq_scanner_book_find_reduced(half.data, half.cols, half.rows, 3), -1);
}

TEST_F(BookTest, TellsASpreadFromTwoSheetsAndASinglePage)
{
    Frame frame = bookFrame(bookWith([](BookScene &b) { b.twoSheets = true; }));
    EXPECT_EQ(zq_scanner_book_find(frame.data(), kWidth, kHeight), 1);
    zqPointF gutter[2];
    EXPECT_EQ(zq_scanner_book_gutter(gutter), -1);

    const BookScene single = bookWith([](BookScene &b) { b.singlePage = true; });
    renderBook(single, kWidth, kHeight, frame.data());
    ASSERT_EQ(zq_scanner_book_find(frame.data(), kWidth, kHeight), 1);
    EXPECT_GT(overlap(foundOutline(0), trueOutline(single, 1)), 0.985);

    // Nothing on the desk: the record of the page before is gone.
    PageScene bare;
    bare.withPage = false;
    Frame desk(bare, kWidth, kHeight);
    EXPECT_EQ(zq_scanner_book_find(desk.data(), kWidth, kHeight), 0);
    zqPointF outline[2 * ZQ_BOOK_EDGE_POINTS];
    EXPECT_EQ(zq_scanner_book_outline(0, outline), -1);
    EXPECT_EQ(zq_scanner_book_show(desk.data(), kWidth, kHeight), -1);

    // Nor in a frame smaller than the detector's reduction.
    const unsigned char tiny[3 * 3 * 2] = {};
    EXPECT_EQ(zq_scanner_book_find(tiny, 3, 2), 0);
}

TEST_F(BookTest, CutsOnlyThePagesOfTheFrameTheyWereFoundIn)
{
    Frame frame = bookFrame(bookWith());
    ASSERT_EQ(zq_scanner_book_find(frame.data(), kWidth, kHeight), 2);
    int width = 0, height = 0;
    EXPECT_EQ(
        zq_scanner_book_page_do(frame.data(), kWidth, kHeight, 2, 1, nullptr, 0, &width, &height),
        -1);
    EXPECT_EQ(zq_scanner_book_page_do(frame.data(), kWidth / 2, kHeight / 2, 0, 1, nullptr, 0,
                                      &width, &height),
              -1);
    // Too small a buffer receives nothing but the size.
    std::vector<uint8_t> small(16, 7);
    ASSERT_EQ(zq_scanner_book_page_do(frame.data(), kWidth, kHeight, 1, 1, small.data(),
                                      int(small.size()), &width, &height),
              0);
    EXPECT_GT(width, 500);
    EXPECT_EQ(small, std::vector<uint8_t>(16, 7));
}

TEST_F(BookTest, FlattenedPagesHaveStraightLinesAndTrueProportions)
{
    forEveryBook([&](const BookCase &c, const BookScene &book, Frame &frame) {
        for (int side = 0; side < 2; ++side) {
            const cv::Mat flat = cutPage(frame, side, true);
            ASSERT_FALSE(flat.empty());
            EXPECT_NEAR(double(flat.rows) / flat.cols / book.aspect, 1, 0.015) << side;
            const double bend = lineBend(flat), asSeen = lineBend(cutPage(frame, side, false));
            std::printf("%s, page %d: lines bend %.0f px flattened, %.0f px as seen\n", c.name,
                        side, bend, asSeen);
            EXPECT_LE(bend, 2) << side;
        }
    });
}

// A page laid flat may come out wider than OpenCV's remap takes at once
// (under SHRT_MAX pixels a side): it is sampled whole all the same.
TEST(PageSurfaceTest, LaysFlatAPageWiderThanOneRemap)
{
    const cv::Size frameSize(40000, 24);
    cv::Mat frame(frameSize, CV_8UC3);
    for (int x = 0; x < frame.cols; ++x)
        frame.col(x).setTo(cv::Scalar(x % 251, x / 251 % 251, 90));
    zq::imaging::CurvedPage page;
    for (float x : {0.5f, 20000.f, 39999.5f}) {
        page.top.emplace_back(x, 1.5f);
        page.bottom.emplace_back(x, 22.5f);
    }
    const auto surface = zq::imaging::PageSurface::fit(page, frameSize, 1.2 * frameSize.width);
    ASSERT_TRUE(surface);
    ASSERT_GT(surface->flatSize().width, SHRT_MAX);
    cv::Mat flat(surface->flatSize(), CV_8UC3, cv::Scalar::all(0));
    surface->warp(frame, flat);
    const double across = double(frameSize.width - 1) / flat.cols;
    for (int x : {0, 1000, 32766, 32767, 32768, flat.cols - 1}) {
        const int seen = int(std::lround(0.5 + (x + 0.5) * across - 0.5));
        const cv::Vec3b expected(uchar(seen % 251), uchar(seen / 251 % 251), 90);
        EXPECT_LE(cv::norm(flat.at<cv::Vec3b>(flat.rows / 2, x), expected, cv::NORM_INF), 1)
            << "column " << x;
    }
}

TEST_F(BookTest, FlattenedPagesReadLikeThePrintedPage)
{
    const BookScene book = bookWith([](BookScene &b) { b.rise = 0.15; });
    Frame frame = bookFrame(book);
    ASSERT_EQ(zq_scanner_book_find(frame.data(), kWidth, kHeight), 2);
    for (int side = 0; side < 2; ++side) {
        const cv::Mat flat = cutPage(frame, side, true), seen = cutPage(frame, side, false);
        // The printed page at the size the scene lays on the book: its text
        // is set in whole pixels, so at another size it lies a little
        // differently.
        const double width = book.pageWidth * kWidth;
        const cv::Size size(int(std::lround(width)), int(std::lround(width * book.aspect)));
        std::vector<uint8_t> printedPixels = renderBookPage(book, side, size.width, size.height);
        const cv::Mat printed(size, CV_8UC3, printedPixels.data());
        const std::vector<std::string> &lines = book.lines[size_t(side)];
        const std::vector<ReadWord> flatRead = recognise(flat, "flattened"),
                                    printedRead = recognise(printed, "printed"),
                                    seenRead = recognise(seen, "seen");
        const double fromFlattened = wordAccuracy(flatRead, lines);
        const double fromPrinted = wordAccuracy(printedRead, lines);
        const double fromSeen = wordAccuracy(seenRead, lines);
        const double flatMiss = wordPlaceError(flatRead, flat.size(), printedRead, size);
        const double seenMiss = wordPlaceError(seenRead, seen.size(), printedRead, size);
        std::printf("page %d: words read %.3f flattened, %.3f printed, %.3f as seen; words lie "
                    "%.4f page widths from their printed place flattened, %.4f as seen\n",
                    side, fromFlattened, fromPrinted, fromSeen, flatMiss, seenMiss);
        EXPECT_GE(fromFlattened, fromPrinted - 0.03);
        EXPECT_LT(flatMiss, 0.01);
        EXPECT_LT(flatMiss, seenMiss / 2);
    }
}

// A real paperback photographed with a phone: its right page and the
// curved edge of the left one, with no shade at the gutter, taken as one
// curved sheet.  Laid flat, the lines come out straighter and Tesseract
// reads more words with confidence than in the photograph.
TEST_F(BookTest, FlattensAPhotographedBookPage)
{
    const zq::test::Picture photo = zq::test::readJpeg(ZQ_TEST_PHOTOS "/book.jpg");
    ASSERT_EQ(photo.components, 3);
    Frame frame(photo.width, photo.height);
    frame.bytes = photo.samples;
    ASSERT_GE(zq_scanner_book_find(frame.data(), frame.width, frame.height), 1);
    const cv::Mat flat = cutPage(frame, 0, true);
    ASSERT_FALSE(flat.empty());
    const std::vector<cv::Point2f> outline = foundOutline(0);
    const cv::Mat asTaken =
        frame.mat()(cv::boundingRect(outline) & cv::Rect(0, 0, frame.width, frame.height));
    const auto confident = [](const std::vector<ReadWord> &words) {
        return std::count_if(words.begin(), words.end(),
                             [](const ReadWord &w) { return w.confidence >= 80; });
    };
    const std::vector<ReadWord> flatRead = recognise(flat, "photo-flat");
    const std::vector<ReadWord> takenRead = recognise(asTaken, "photo-taken");
    const double flatSpread = lineSpread(flatRead), takenSpread = lineSpread(takenRead);
    std::printf("photograph: %ld confident words flattened, %ld as taken; lines %.2f times as "
                "tall as their words flattened, %.2f as taken\n",
                confident(flatRead), confident(takenRead), flatSpread, takenSpread);
    EXPECT_GT(confident(flatRead), confident(takenRead));
    EXPECT_LT(flatSpread, takenSpread);
}

} // namespace
