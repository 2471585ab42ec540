// The virtual open book must be the curved page that book capture assumes:
// the printed page lying undistorted on a surface straight along the spine,
// seen through the scenes' pinhole camera.
#include "desk_script.h"
#include "sim_fixture.h"

#include <zqscan/zq_scanner.h>

#include <cmath>
#include <vector>

using namespace zq::sim;

namespace
{

struct Point3 {
    double x, y, z;
};

constexpr int kWidth = 1000, kHeight = 750;
constexpr int kEdgePoints = 49, kOutlinePoints = 120;

BookScene textBook()
{
    BookScene book;
    book.font = ZQ_TEXT_FONT;
    book.lines = {bookText(1, 12), bookText(2, 12)};
    return book;
}

// A book whose pages curve higher than usual, seen a little from the side.
BookScene bookAside()
{
    BookScene book = textBook();
    book.centerX = 0.42;
    book.centerY = 0.52;
    book.angleDeg = 12;
    book.pageWidth = 0.3;
    book.rise = 0.15;
    book.gutterShadow = false;
    return book;
}

// The scenes' camera and the book's place on the desk, in frame pixels.
struct View {
    double f = 1.2 * kWidth;
    Point c = {kWidth / 2.0, kHeight / 2.0};
    Point spine, down; // the spine's middle and the direction along it
    double pageWidth, pageHeight;

    explicit View(const BookScene &book)
        : spine{book.centerX * kWidth, book.centerY * kHeight},
          down{std::sin(book.angleDeg * M_PI / 180), std::cos(book.angleDeg * M_PI / 180)},
          pageWidth(book.pageWidth * kWidth), pageHeight(pageWidth * book.aspect)
    {
    }

    // The point that appears at frame point p and lies `along` the spine
    // from its middle: back along the ray to the plane across the spine.
    Point3 backProjected(Point p, double along) const
    {
        const double cameraAlong = (c.x - spine.x) * down.x + (c.y - spine.y) * down.y;
        const double rayAlong = (p.x - c.x) * down.x + (p.y - c.y) * down.y;
        const double t = (along - cameraAlong) / rayAlong; // 1 on the desk
        return {c.x + t * (p.x - c.x), c.y + t * (p.y - c.y), f * (1 - t)};
    }

    Point seen(const Point3 &p) const
    {
        const double scale = f / (f - p.z);
        return {c.x + (p.x - c.x) * scale, c.y + (p.y - c.y) * scale};
    }

    // The top or the bottom edge of a page's outline, from the gutter
    // outwards, in space.
    std::vector<Point3> edge(const std::vector<Point> &outline, bool top) const
    {
        std::vector<Point3> points;
        for (int i = 0; i < kEdgePoints; ++i)
            points.push_back(backProjected(outline[size_t(top ? i : kOutlinePoints - 1 - i)],
                                           (top ? -0.5 : 0.5) * pageHeight));
        return points;
    }

    // The page's point at arc fraction u from the gutter and v from the
    // top: its top edge's point moved along the spine.
    Point3 onPage(const std::vector<Point3> &topEdge, double u, double v) const
    {
        const double i = u * (kEdgePoints - 1);
        const size_t i0 = std::min(size_t(i), size_t(kEdgePoints - 2));
        const Point3 &a = topEdge[i0], &b = topEdge[i0 + 1];
        const double t = i - double(i0), along = v * pageHeight;
        return {a.x + t * (b.x - a.x) + along * down.x, a.y + t * (b.y - a.y) + along * down.y,
                a.z + t * (b.z - a.z)};
    }
};

double distance(const Point3 &a, const Point3 &b)
{
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) +
                     (a.z - b.z) * (a.z - b.z));
}

double green(const std::vector<uint8_t> &rgb, int width, int x, int y)
{
    return rgb[(size_t(y) * width + size_t(x)) * 3 + 1];
}

// The green of the pixel p lies in.
double green(const std::vector<uint8_t> &rgb, int width, Point p)
{
    return green(rgb, width, int(std::floor(p.x)), int(std::floor(p.y)));
}

// Between the pixels' centres.
double greenBetween(const std::vector<uint8_t> &rgb, int width, Point p)
{
    const double x = p.x - 0.5, y = p.y - 0.5;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    return (green(rgb, width, x0, y0) * (1 - fx) + green(rgb, width, x0 + 1, y0) * fx) * (1 - fy) +
           (green(rgb, width, x0, y0 + 1) * (1 - fx) + green(rgb, width, x0 + 1, y0 + 1) * fx) * fy;
}

double correlation(const std::vector<double> &a, const std::vector<double> &b)
{
    double meanA = 0, meanB = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        meanA += a[i] / a.size();
        meanB += b[i] / b.size();
    }
    double ab = 0, aa = 0, bb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ab += (a[i] - meanA) * (b[i] - meanB);
        aa += (a[i] - meanA) * (a[i] - meanA);
        bb += (b[i] - meanB) * (b[i] - meanB);
    }
    return ab / std::sqrt(aa * bb);
}

} // namespace

TEST(BookSceneTest, OutlineIsTheCurvedPageSeenThroughThePinhole)
{
    const BookScene book = bookAside();
    const View view(book);
    const auto rgb = renderBook(book, kWidth, kHeight);
    for (int side : {0, 1}) {
        SCOPED_TRACE(side);
        const std::vector<Point> outline = bookPageOutline(book, side, kWidth, kHeight);
        ASSERT_EQ(outline.size(), size_t(kOutlinePoints));
        // The top and the bottom edge lie in planes across the spine,
        // where the picture tells their height.
        for (bool top : {true, false}) {
            SCOPED_TRACE(top ? "top" : "bottom");
            const std::vector<Point3> edge = view.edge(outline, top);
            double length = 0, highest = 0;
            for (size_t i = 0; i + 1 < edge.size(); ++i) {
                length += distance(edge[i], edge[i + 1]);
                highest = std::max(highest, edge[i].z);
            }
            const double page = view.pageWidth;
            EXPECT_NEAR(length, page, 0.002 * page) << "the page's width, bent";
            EXPECT_NEAR(highest, book.rise * page, 0.005 * page);
            EXPECT_NEAR(edge.back().z, 0.03 * page, 0.002 * page) << "on the page block";
            EXPECT_NEAR(edge.front().z, 0.01 * page, 0.002 * page) << "down in the gutter";
        }
        // The picture shows paper just inside the outline and none just
        // outside; the gutter, where the pages meet, aside.
        for (size_t i = 5; i + 5 < outline.size(); ++i) {
            const Point before = outline[i - 1], after = outline[i + 1];
            const double dx = after.x - before.x, dy = after.y - before.y;
            const double length = std::hypot(dx, dy);
            // The outline runs clockwise on screen round the right page.
            const double sense = side == 1 ? 1 : -1;
            const Point in = {-sense * dy / length, sense * dx / length};
            const Point p = outline[i];
            EXPECT_GT(green(rgb, kWidth, {p.x + 1.5 * in.x, p.y + 1.5 * in.y}), 200) << i;
            EXPECT_LT(green(rgb, kWidth, {p.x - 1.5 * in.x, p.y - 1.5 * in.y}), 190) << i;
        }
    }
}

// Each pixel of the printed page shows where its point of the curved page
// appears: the text is the printed text, bent but not shifted.
TEST(BookSceneTest, PrintedPageLiesOnTheCurvedPage)
{
    const BookScene book = bookAside();
    const View view(book);
    const auto rgb = renderBook(book, kWidth, kHeight);
    const int pageW = int(std::lround(view.pageWidth)), pageH = int(std::lround(view.pageHeight));
    for (int side : {0, 1}) {
        SCOPED_TRACE(side);
        const std::vector<Point3> topEdge =
            view.edge(bookPageOutline(book, side, kWidth, kHeight), true);
        const auto page = renderBookPage(book, side, pageW, pageH);
        std::vector<double> printed, seen;
        // Where the text lies.
        for (int y = pageH / 10; y < pageH / 2; ++y)
            for (int x = pageW / 10; x < pageW * 9 / 10; ++x) {
                const double across = (x + 0.5) / pageW, v = (y + 0.5) / pageH;
                const double u = side ? across : 1 - across;
                printed.push_back(green(page, pageW, x, y));
                seen.push_back(greenBetween(rgb, kWidth, view.seen(view.onPage(topEdge, u, v))));
            }
        // Sampled twice, the text blurs a little: about 0.91; one pixel
        // off, it falls below 0.6.
        EXPECT_GT(correlation(printed, seen), 0.8);
    }
}

TEST(BookScriptTest, TurnsToTheNextSpreadUnderTheHand)
{
    const int w = 480, h = 360;
    double now = 0;
    BookScene book = textBook();
    BookScript script(book, [&] { return now; });
    ASSERT_FALSE(script.advance());
    const auto first = script.render(w, h);
    now = BookScript::kStillSeconds - 0.1;
    EXPECT_FALSE(script.advance()) << "still";

    now = BookScript::kStillSeconds + 0.9; // the hand reaches furthest
    ASSERT_TRUE(script.advance());
    const auto reaching = script.render(w, h);
    const size_t rightPage = (size_t(h / 2) * w + size_t(0.8 * w)) * 3;
    EXPECT_GT(reaching[rightPage], reaching[rightPage + 2] + 60) << "skin over the right page";

    now = BookScript::kStillSeconds + 2.5;
    ASSERT_TRUE(script.advance());
    book.lines = {bookText(3, BookScript::kLinesPerPage), bookText(4, BookScript::kLinesPerPage)};
    EXPECT_EQ(script.render(w, h), renderBook(book, w, h)) << "pages 3 and 4, the hand gone";
    EXPECT_NE(script.render(w, h), first);
}

using BookPresetTest = SimTest;

TEST_F(BookPresetTest, DemoCameraShowsTheBook)
{
    installBookDemo();
    const int fd = zq_scanner_open_index(1);
    ASSERT_GE(fd, 0);
    int w = 1280, h = 720;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    unsigned char *picture = nullptr;
    int len = 0;
    ASSERT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
    ASSERT_EQ(len, w * h * 3);
    const std::vector<uint8_t> rgb(picture, picture + len);
    zq_scanner_close(fd);
    // Paper in each page's top margin, desk in the frame's corner.
    const double margin = 0.5 - 0.3 * 1.5 * w / h / 2 + 0.04;
    EXPECT_GT(green(rgb, w, {0.35 * w, margin * h}), 180);
    EXPECT_GT(green(rgb, w, {0.65 * w, margin * h}), 180);
    EXPECT_LT(green(rgb, w, {5, 5}), 100);
}
