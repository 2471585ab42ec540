// The crop quadrilateral: the manual rectangle, drawing the outline, and
// cutting the page out upright.
#include "box_warp.h"
#include "cpu_features.h"
#include "flat_page.h"
#include "imaging_fixture.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <string>
#include <utility>

using zq::sim::PageScene;

namespace
{

// A frame whose every byte tells where it is.
Frame patterned(int w, int h)
{
    Frame f(w, h);
    for (size_t i = 0; i < f.bytes.size(); ++i)
        f.bytes[i] = uint8_t(i * 31 + i / 997);
    return f;
}

struct Cut {
    int result = -2;
    int width = -1, height = -1;
    std::vector<uint8_t> bytes;
    cv::Mat mat() { return cv::Mat(height, width, CV_8UC3, bytes.data()); }
};

// Asks for the size first, then cuts into a buffer of exactly that size.
Cut cut(Frame &frame)
{
    Cut c;
    c.result = zq_scanner_cutting_edge_do(frame.data(), frame.width, frame.height, nullptr, 0,
                                          &c.width, &c.height);
    if (c.result != 0)
        return c;
    c.bytes.assign(size_t(c.width) * c.height * 3, 0);
    int w = 0, h = 0;
    c.result = zq_scanner_cutting_edge_do(frame.data(), frame.width, frame.height, c.bytes.data(),
                                          int(c.bytes.size()), &w, &h);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    return c;
}

void setRect(int x0, int y0, int x1, int y1)
{
    const zqPoint lt{x0, y0}, rb{x1, y1};
    ASSERT_EQ(zq_scanner_cutting_edge_set(&lt, &rb), 0);
}

void setTurned(double angle, std::initializer_list<zqPoint> corners)
{
    int i = 0;
    for (const zqPoint &p : corners)
        g_cutting_edge.point[i++] = p;
    g_cutting_edge.angle = angle;
    g_cutting_edge.valid = true;
}

// The cut must hold exactly these pixels of the frame.
void expectPixels(Cut &c, Frame &frame, cv::Rect area)
{
    ASSERT_EQ(c.result, 0);
    ASSERT_EQ(c.width, area.width);
    ASSERT_EQ(c.height, area.height);
    EXPECT_EQ(cv::norm(c.mat(), frame.mat()(area), cv::NORM_INF), 0.0);
}

} // namespace

TEST_F(ImagingTest, ManualRectangleRecordsCornersInOrder)
{
    setRect(100, 50, 300, 200);
    const zqPoint expected[4] = {{100, 50}, {100, 200}, {300, 200}, {300, 50}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g_cutting_edge.point[i].x, expected[i].x) << i;
        EXPECT_EQ(g_cutting_edge.point[i].y, expected[i].y) << i;
    }
    EXPECT_EQ(g_cutting_edge.angle, 0.0);
    EXPECT_TRUE(g_cutting_edge.valid);

    setRect(300, 200, 100, 50);
    EXPECT_EQ(g_cutting_edge.point[0].x, 300);
    EXPECT_EQ(g_cutting_edge.point[1].y, 50);
    EXPECT_EQ(g_cutting_edge.point[3].x, 100);

    const zqPoint p{1, 1};
    EXPECT_EQ(zq_scanner_cutting_edge_set(nullptr, &p), -1);
    EXPECT_EQ(zq_scanner_cutting_edge_set(&p, nullptr), -1);
}

TEST_F(ImagingTest, ManualRectangleCutsExactPixels)
{
    Frame frame = patterned(640, 480);
    const std::vector<uint8_t> before = frame.bytes;
    setRect(100, 50, 300, 200);
    Cut c = cut(frame);
    expectPixels(c, frame, {100, 50, 200, 150});
    EXPECT_TRUE(g_cutting_edge.valid) << "cutting does not consume the record";
    EXPECT_EQ(frame.bytes, before) << "the frame is only read";

    setRect(300, 200, 100, 50);
    Cut swapped = cut(frame);
    expectPixels(swapped, frame, {100, 50, 200, 150});

    // Rows of 3 * 642 bytes are not a multiple of 4.
    Frame odd = patterned(642, 481);
    setRect(641, 480, 1, 3);
    Cut oddCut = cut(odd);
    expectPixels(oddCut, odd, {1, 3, 640, 477});
}

TEST_F(ImagingTest, ManualRectangleIsClippedAndEmptyOnesFail)
{
    Frame frame = patterned(640, 480);
    setRect(-20, 400, 100, 520);
    Cut clipped = cut(frame);
    expectPixels(clipped, frame, {0, 400, 100, 80});

    const struct {
        int x0, y0, x1, y1;
    } empty[] = {{100, 50, 100, 200}, {100, 50, 300, 50}, {640, 0, 700, 100}, {-50, -50, 0, 0}};
    for (const auto &r : empty) {
        setRect(r.x0, r.y0, r.x1, r.y1);
        int w = -1, h = -1;
        EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, &w, &h), -1)
            << r.x0 << "," << r.y0 << " " << r.x1 << "," << r.y1;
        EXPECT_EQ(w, -1);
        EXPECT_EQ(h, -1);
    }
}

TEST_F(ImagingTest, CutReportsSizeAndLeavesSmallBuffersAlone)
{
    Frame frame = patterned(640, 480);
    int w = 0, h = 0;
    EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, &w, &h), -1)
        << "no record yet";
    setRect(10, 20, 40, 30);
    EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, &w, &h), 0);
    EXPECT_EQ(w, 30);
    EXPECT_EQ(h, 10);
    int w2 = 0, h2 = 0;
    EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, &w2, &h2), 0);
    EXPECT_EQ(w2, w);
    EXPECT_EQ(h2, h);

    std::vector<uint8_t> small(30 * 10 * 3 - 1, 0xAB);
    EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, small.data(), int(small.size()),
                                         nullptr, nullptr),
              0);
    EXPECT_EQ(small, std::vector<uint8_t>(small.size(), 0xAB));

    EXPECT_EQ(zq_scanner_cutting_edge_do(nullptr, 640, 480, nullptr, 0, &w, &h), -1);
    EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 0, nullptr, 0, &w, &h), -1);

    ASSERT_EQ(zq_scanner_cutting_edge_show(frame.data(), 640, 480), 0);
    EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, &w, &h), -1)
        << "the drawn record no longer counts";
}

// A box whose straightening turn is 0 keeps the frame's pixels, so the
// edge rules can be checked exactly.
TEST_F(ImagingTest, TurnedCutStaysInsideTheFrame)
{
    Frame frame = patterned(640, 480);
    setTurned(90.0, {{-7, 10}, {-7, 110}, {93, 110}, {93, 10}});
    Cut left = cut(frame);
    expectPixels(left, frame, {0, 10, 93, 100});

    // Past the right and bottom edges the box stops one pixel short.
    setTurned(90.0, {{600, 400}, {600, 500}, {700, 500}, {700, 400}});
    Cut corner = cut(frame);
    expectPixels(corner, frame, {600, 400, 39, 79});

    const std::initializer_list<zqPoint> outside[] = {
        {{650, 10}, {650, 110}, {700, 110}, {700, 10}},
        {{10, 479}, {10, 600}, {50, 600}, {50, 479}},
        {{-100, -100}, {-100, -50}, {-50, -50}, {-50, -100}},
    };
    for (const auto &corners : outside) {
        setTurned(90.0, corners);
        int w = -1;
        EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, &w, nullptr), -1);
        EXPECT_EQ(w, -1);
    }
    setTurned(std::nan(""), {{10, 10}, {10, 100}, {100, 100}, {100, 10}});
    EXPECT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, nullptr, nullptr), -1);
}

TEST_F(ImagingTest, TurningFillsUncoveredCornersWhite)
{
    Frame frame(640, 480, 40);
    IplImage *copy = GetIplFromBmpStream(frame.data(), 640, 480);
    RotateImage(copy, 30.0f);
    const cv::Mat turned = cv::cvarrToMat(copy);
    EXPECT_EQ(turned.at<cv::Vec3b>(0, 0), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(turned.at<cv::Vec3b>(479, 639), cv::Vec3b(255, 255, 255));
    EXPECT_EQ(turned.at<cv::Vec3b>(240, 320), cv::Vec3b(40, 40, 40));
    cvReleaseImage(&copy);

    // A quarter turn counter-clockwise about (320, 240): x' = y + 80,
    // y' = 560 - x, up to the truncation of rounding noise.
    CvPoint p[4] = {{320, 240}, {420, 240}, {320, 40}, {0, 0}};
    IplImage *header = cvCreateImageHeader(cvSize(640, 480), IPL_DEPTH_8U, 3);
    RotatePoint(p, 90.0f, header);
    cvReleaseImageHeader(&header);
    const CvPoint expected[4] = {{320, 240}, {320, 140}, {120, 240}, {80, 560}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(p[i].x, expected[i].x, 1) << i;
        EXPECT_NEAR(p[i].y, expected[i].y, 1) << i;
    }
}

namespace
{

// How well the cut shows the page: the best normalised correlation of the
// inner part of the rendered page anywhere in the cut, both in grey.
double pageMatch(Cut &c, const PageScene &scene, int pageW, int pageH)
{
    std::vector<uint8_t> rendered = zq::sim::renderPage(scene, pageW, pageH);
    const cv::Mat page(pageH, pageW, CV_8UC3, rendered.data());
    const cv::Rect inner(pageW / 10, pageH / 10, pageW * 8 / 10, pageH * 8 / 10);
    cv::Mat pageGray, cutGray, score;
    cv::cvtColor(page(inner), pageGray, cv::COLOR_RGB2GRAY);
    cv::cvtColor(c.mat(), cutGray, cv::COLOR_RGB2GRAY);
    if (cutGray.cols < pageGray.cols || cutGray.rows < pageGray.rows)
        return -1;
    cv::matchTemplate(cutGray, pageGray, score, cv::TM_CCOEFF_NORMED);
    double best = 0;
    cv::minMaxLoc(score, nullptr, &best);
    return best;
}

} // namespace

TEST_F(ImagingTest, DeskewedCutShowsThePageUpright)
{
    const struct {
        int width, height;
        double cx, cy, pageWidth, angle;
    } cases[] = {
        {1920, 1080, 0.5, 0.5, 0.25, 0},   {1920, 1080, 0.5, 0.5, 0.25, 5},
        {1920, 1080, 0.45, 0.5, 0.25, -5}, {1920, 1080, 0.5, 0.5, 0.2, 30},
        {1280, 960, 0.55, 0.5, 0.3, -38},  {1366, 768, 0.5, 0.5, 0.2, 15},
    };
    for (const auto &k : cases) {
        SCOPED_TRACE(std::to_string(k.width) + "x" + std::to_string(k.height) + " turned " +
                     std::to_string(k.angle));
        PageScene scene;
        scene.centerX = k.cx;
        scene.centerY = k.cy;
        scene.pageWidth = k.pageWidth;
        scene.angleDeg = k.angle;
        Frame frame(scene, k.width, k.height);
        ASSERT_EQ(zq_scanner_cutting_edge_auto(frame.data(), k.width, k.height), 0);
        Cut c = cut(frame);
        ASSERT_EQ(c.result, 0);
        const int pageW = int(std::lround(scene.pageWidth * k.width));
        const int pageH = int(std::lround(scene.pageWidth * k.width * scene.aspect));
        EXPECT_NEAR(c.width, pageW, 16) << "upright, about the page's size";
        EXPECT_NEAR(c.height, pageH, 16);
        EXPECT_GT(pageMatch(c, scene, pageW, pageH), 0.85);
        // The measure tells orientation: the page upside down matches worse.
        cv::Mat upright = c.mat().clone();
        cv::flip(upright, c.mat(), -1);
        EXPECT_LT(pageMatch(c, scene, pageW, pageH), 0.8);
    }
}

TEST_F(ImagingTest, OutlineIsDrawnOnceFivePixelsWide)
{
    Frame frame(640, 480);
    EXPECT_EQ(zq_scanner_cutting_edge_show(frame.data(), 640, 480), -1) << "nothing recorded";
    setRect(100, 50, 300, 200);
    EXPECT_EQ(zq_scanner_cutting_edge_show(nullptr, 640, 480), -1);
    EXPECT_TRUE(g_cutting_edge.valid) << "a refused draw does not consume";
    ASSERT_EQ(zq_scanner_cutting_edge_show(frame.data(), 640, 480), 0);
    EXPECT_FALSE(g_cutting_edge.valid);

    // Across the top edge at x = 200 and the left edge at y = 120: OpenCV
    // renders a line of thickness 5 with full pixels from 3 before to 3
    // after its centre and a partly covered, anti-aliased pixel beyond.
    for (int d = -3; d <= 3; ++d) {
        EXPECT_EQ(frame.pixel(200, 50 + d)[1], 255) << d;
        EXPECT_EQ(frame.pixel(100 + d, 120)[1], 255) << d;
        EXPECT_EQ(frame.pixel(300 + d, 125)[1], 255) << d;
    }
    for (int d : {-4, 4}) {
        EXPECT_GT(frame.pixel(200, 50 + d)[1], 0) << d;
        EXPECT_LT(frame.pixel(200, 50 + d)[1], 255) << d;
    }
    EXPECT_EQ(frame.pixel(200, 45)[1], 0);
    EXPECT_EQ(frame.pixel(200, 55)[1], 0);
    EXPECT_EQ(frame.pixel(200, 125)[1], 0) << "inside stays untouched";
    for (size_t i = 0; i < frame.bytes.size(); i += 3) {
        ASSERT_EQ(frame.bytes[i], 0);
        ASSERT_EQ(frame.bytes[i + 2], 0);
    }

    const std::vector<uint8_t> drawn = frame.bytes;
    EXPECT_EQ(zq_scanner_cutting_edge_show(frame.data(), 640, 480), -1) << "consumed";
    EXPECT_EQ(frame.bytes, drawn);
}

// A program can follow the outline for as long as the frame's record lasts.
TEST_F(ImagingTest, OutlineCanBeReadUntilDrawn)
{
    CuttingEdgeInfo info{};
    EXPECT_EQ(zq_scanner_cutting_edge_get(&info), -1) << "nothing recorded";
    setRect(100, 50, 300, 200);
    EXPECT_EQ(zq_scanner_cutting_edge_get(nullptr), -1);
    ASSERT_EQ(zq_scanner_cutting_edge_get(&info), 0);
    EXPECT_TRUE(info.valid);
    EXPECT_EQ(info.point[1].x, 100);
    EXPECT_EQ(info.point[1].y, 200);
    EXPECT_EQ(info.point[3].x, 300);
    Frame frame(640, 480);
    ASSERT_EQ(zq_scanner_cutting_edge_show(frame.data(), 640, 480), 0);
    EXPECT_EQ(zq_scanner_cutting_edge_get(&info), -1) << "consumed by the drawing";
}

TEST_F(ImagingTest, OutlineFollowsPackedRowsOfOddWidths)
{
    Frame frame(642, 100);
    setRect(10, 10, 630, 90);
    ASSERT_EQ(zq_scanner_cutting_edge_show(frame.data(), 642, 100), 0);
    // A sheared view would put the bottom edge's core elsewhere.
    EXPECT_EQ(frame.pixel(320, 90)[1], 255);
    EXPECT_EQ(frame.pixel(630, 50)[1], 255);
    EXPECT_EQ(frame.pixel(320, 50)[1], 0);
}

namespace
{

// The cut as it was first built, step by step: the whole frame copied and
// turned upright about its centre, the turned corners' box taken from the
// corner nearest the origin to the farthest one, clamped at the edges, and
// copied out.  No pixels when there is no cut.
struct LiteralCut {
    cv::Mat turn;
    cv::Rect box;
    cv::Mat pixels;
};

LiteralCut cutByTurningTheWholeFrame(Frame &frame)
{
    const double angle = g_cutting_edge.angle;
    const float turn = float(angle - 90.0 * std::round(angle / 90.0));
    LiteralCut cut;
    cut.turn = cv::getRotationMatrix2D(cv::Point2f(float(frame.width / 2), float(frame.height / 2)),
                                       turn, 1.0);
    const cv::Mat &m = cut.turn;
    cv::Mat turned;
    cv::warpAffine(frame.mat(), turned, m, frame.mat().size(), cv::INTER_LINEAR,
                   cv::BORDER_CONSTANT, cv::Scalar::all(255));
    cv::Point p[4];
    for (int i = 0; i < 4; ++i) {
        const double x = g_cutting_edge.point[i].x, y = g_cutting_edge.point[i].y;
        p[i] = {int(m.at<double>(0, 0) * x + m.at<double>(0, 1) * y + m.at<double>(0, 2)),
                int(m.at<double>(1, 0) * x + m.at<double>(1, 1) * y + m.at<double>(1, 2))};
    }
    int nearest = 0, farthest = 0;
    for (int i = 1; i < 4; ++i) {
        const auto n = [&](int k) { return p[k].x * p[k].x + p[k].y * p[k].y; };
        if (n(i) < n(nearest))
            nearest = i;
        if (n(i) > n(farthest))
            farthest = i;
    }
    int x = p[nearest].x, y = p[nearest].y;
    int w = std::abs(p[farthest].x - x), h = std::abs(p[farthest].y - y);
    if (x < 0)
        w += x, x = 0;
    if (y < 0)
        h += y, y = 0;
    if (x + w > frame.width)
        w = frame.width - x - 1;
    if (y + h > frame.height)
        h = frame.height - y - 1;
    if (w > 0 && h > 0) {
        cut.box = cv::Rect(x, y, w, h);
        cut.pixels = turned(cut.box).clone();
    }
    return cut;
}

// How far cuts lie from the literal steps' pixels, over many records.
struct Difference {
    size_t differing = 0, beyondTwoLevels = 0, bytes = 0;
    int worst = 0;

    void add(const cv::Mat &cut, const cv::Mat &expected)
    {
        cv::Mat diff;
        cv::absdiff(cut, expected, diff);
        double most = 0;
        cv::minMaxLoc(diff.reshape(1), nullptr, &most);
        worst = std::max(worst, int(most));
        differing += size_t(cv::countNonZero(diff.reshape(1)));
        beyondTwoLevels += size_t(cv::countNonZero(diff.reshape(1) > 2));
        bytes += diff.total() * 3;
    }

    // A step of 1/32 pixel in each coordinate moves a sample on an edge
    // from black to white by up to 2 * 255 / 32 levels; such steps are
    // rare, and only the text's hard edges make them visible.
    void expectOnlyFixedPointRounding() const
    {
        EXPECT_LE(worst, 16);
        EXPECT_LT(double(differing) / double(bytes), 0.01);
        EXPECT_LT(double(beyondTwoLevels) / double(bytes), 0.001);
    }
};

} // namespace

// Warping only the page gives the pixels of turning the whole frame: on
// rendered pages at any angle, touching any edge or not.  Where the cut
// cannot work out OpenCV's positions itself (no AVX2), it takes OpenCV's
// warp of the box alone, which may round a position to the next 1/32 pixel;
// that warp is held to its bounds here on every processor.
TEST_F(ImagingTest, CutWarpsTheBoxAsTurningTheWholeFrameWould)
{
    const cv::Size sizes[] = {{640, 480}, {642, 481}, {1366, 768}, {1920, 1080}};
    uint32_t seed = 12345;
    const auto random = [&](double lo, double hi) {
        seed = seed * 1664525u + 1013904223u;
        return lo + (hi - lo) * double(seed >> 8) / double(1 << 24);
    };
    int records = 0;
    Difference library, openCvAlone;
    for (int i = 0; i < 80; ++i) {
        const cv::Size size = sizes[i % 4];
        PageScene scene;
        scene.centerX = random(0.1, 0.9);
        scene.centerY = random(0.1, 0.9);
        scene.pageWidth = random(0.1, 0.6);
        scene.angleDeg = random(-40, 40);
        Frame frame(scene, size.width, size.height);
        const auto corners = zq::sim::pageCorners(scene, size.width, size.height);
        const double boxAngle = 90.0 * std::round(random(-1.4, 1.4)) + scene.angleDeg;
        setTurned(boxAngle, {{int(corners[0].x), int(corners[0].y)},
                             {int(corners[1].x), int(corners[1].y)},
                             {int(corners[2].x), int(corners[2].y)},
                             {int(corners[3].x), int(corners[3].y)}});
        const LiteralCut expected = cutByTurningTheWholeFrame(frame);
        Cut c = cut(frame);
        SCOPED_TRACE(std::to_string(i) + ": angle " + std::to_string(boxAngle));
        if (expected.pixels.empty()) {
            EXPECT_EQ(c.result, -1);
            continue;
        }
        ASSERT_EQ(c.result, 0);
        ASSERT_EQ(c.width, expected.pixels.cols);
        ASSERT_EQ(c.height, expected.pixels.rows);
        library.add(c.mat(), expected.pixels);
        cv::Mat alone(expected.box.size(), CV_8UC3);
        zq::imaging::warpBoxWithOpenCv(frame.mat(), expected.turn, expected.box, alone);
        openCvAlone.add(alone, expected.pixels);
        ++records;
    }
    EXPECT_GT(records, 60);
    openCvAlone.expectOnlyFixedPointRounding();
    if (zq::haveAvx2())
        EXPECT_EQ(library.differing, 0u);
    else
        library.expectOnlyFixedPointRounding();
}

namespace
{

std::array<cv::Point2f, 4> quadOfRecord()
{
    zqPointF corners[4];
    std::array<cv::Point2f, 4> q;
    if (zq_scanner_cutting_edge_quad(corners) != 0)
        return q;
    for (size_t i = 0; i < 4; ++i)
        q[i] = cv::Point2f(float(corners[i].x), float(corners[i].y));
    return q;
}

PageScene leaningView(double lean, double turn)
{
    PageScene scene = zq::sim::sceneOnDesk(zq::sim::Desk::Mat);
    scene.pageWidth = 0.3;
    scene.tiltDeg = lean;
    scene.angleDeg = turn;
    scene.noise = 2;
    return scene;
}

} // namespace

// The outline's own corners: the rectangle set by hand, or where a
// detected page's edges meet, clockwise from the top left, for as long as
// the record lasts.
TEST_F(ImagingTest, QuadrilateralIsHandedOutWithTheRecord)
{
    zqPointF corners[4];
    EXPECT_EQ(zq_scanner_cutting_edge_quad(corners), -1) << "nothing recorded";
    setRect(300, 200, 100, 50);
    EXPECT_EQ(zq_scanner_cutting_edge_quad(nullptr), -1);
    const std::array<cv::Point2f, 4> rect = quadOfRecord();
    const cv::Point2f expected[4] = {{100, 50}, {300, 50}, {300, 200}, {100, 200}};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(rect[size_t(i)], expected[i]) << i;

    const PageScene scene = leaningView(15, 20);
    Frame frame(scene, 1280, 720);
    ASSERT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 1280, 720), 0);
    const std::array<cv::Point2f, 4> found = quadOfRecord();
    const auto truth = zq::sim::pageCorners(scene, 1280, 720);
    for (size_t i = 0; i < 4; ++i) {
        const zq::sim::Point t = truth[i];
        EXPECT_NEAR(found[i].x, t.x - 0.5, 1.0) << i;
        EXPECT_NEAR(found[i].y, t.y - 0.5, 1.0) << i;
    }
    ASSERT_EQ(zq_scanner_cutting_edge_show(frame.data(), 1280, 720), 0);
    EXPECT_EQ(zq_scanner_cutting_edge_quad(corners), -1) << "consumed by the drawing";
}

// A page seen from a leaning head comes out with the proportions of the
// paper, given the lens; a lens far from the real one gets them wrong.
TEST_F(ImagingTest, FlatCutRecoversThePagesProportionsThroughTheLens)
{
    const auto proportions = [](double focalLength) {
        const PageScene scene = leaningView(20, 5);
        Frame frame(scene, 1280, 720);
        EXPECT_EQ(zq_scanner_set_focal_length(focalLength), 0);
        EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 1280, 720), 0);
        Cut c = cut(frame);
        EXPECT_EQ(c.result, 0);
        return double(c.height) / c.width / scene.aspect;
    };
    EXPECT_NEAR(proportions(0), 1.0, 0.01) << "the document camera's lens by default";
    EXPECT_NEAR(proportions(1.2), 1.0, 0.01);
    EXPECT_GT(std::fabs(proportions(0.3) - 1.0), 0.03);
    EXPECT_EQ(zq_scanner_set_focal_length(-1), -1);
    EXPECT_EQ(zq_scanner_set_focal_length(NAN), -1);
    EXPECT_NEAR(proportions(0), 1.0, 0.01);
}

// However long and thin an outline, its flat page holds at most four
// frames' pixels once in whole pixels, and keeps its proportions.
TEST_F(ImagingTest, FlatPageSizeStaysWithinFourFrames)
{
    const cv::Size frame(1280, 720);
    const double most = 4.0 * frame.area();
    for (double width : {1.0, 50138.7, 50200.5, 1e6, 3.3e7})
        for (double height : {1.0, 73.6, 720.4, 4000.9}) {
            const auto size = zq::imaging::cappedPageSize(width, height, frame);
            if (!size) {
                EXPECT_LT(std::min(width, height) * std::sqrt(most / (width * height)), 1.0);
                continue;
            }
            SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
            EXPECT_LE(double(size->area()), most);
            EXPECT_NEAR(double(size->width) / size->height, width / height,
                        width / height * (1.0 / size->height + 1.0 / size->width));
        }
    EXPECT_FALSE(zq::imaging::cappedPageSize(0.5, 100, frame));
    EXPECT_FALSE(zq::imaging::cappedPageSize(NAN, 100, frame));
}

// The vector loop of the flat cut samples where OpenCV's perspective warp
// does, up to the rounding of positions to 1/32 pixel.
TEST_F(ImagingTest, FlatCutSamplesLikeOpenCvsPerspectiveWarp)
{
    if (!zq::haveAvx2())
        GTEST_SKIP() << "without AVX2 the flat cut is OpenCV's perspective warp";
    Difference difference;
    for (double lean : {0.0, 8.0, 20.0}) {
        const PageScene scene = leaningView(lean, -12);
        Frame frame(scene, 1366, 768);
        // Corners a little beyond the frame too: white comes in there.
        for (float outside : {0.0f, 60.0f}) {
            const auto truth = zq::sim::pageCorners(scene, 1366, 768);
            zq::imaging::Quad q;
            for (size_t i = 0; i < 4; ++i)
                q[i] = cv::Point2f(float(truth[i].x), float(truth[i].y) - outside);
            cv::Mat cut(400, 290, CV_8UC3), expected(400, 290, CV_8UC3);
            zq::imaging::warpFlatPage(frame.mat(), q, cut);
            const cv::Point2f out[4] = {
                {-0.5f, -0.5f}, {289.5f, -0.5f}, {289.5f, 399.5f}, {-0.5f, 399.5f}};
            zq::imaging::warpFlatPageWithOpenCv(
                frame.mat(), cv::getPerspectiveTransform(out, q.data()), expected);
            difference.add(cut, expected);
        }
    }
    difference.expectOnlyFixedPointRounding();
}

// A capture cuts the page from the whole frame along an outline found on a
// quarter-size copy, which the preview shows and searches on the whole
// frame's grid: the page must come out as detection on the whole frame
// cuts it, and the preview's record stays.
TEST_F(ImagingTest, OutlineFromAReducedFrameCutsThePageAsTheWholeFrameDoes)
{
    const PageScene scene = leaningView(15, 8);
    Frame frame(scene, 1920, 1080);
    ASSERT_EQ(zq_scanner_cutting_edge_auto(frame.data(), frame.width, frame.height), 0);
    zqPointF wholeCorners[4];
    ASSERT_EQ(zq_scanner_cutting_edge_quad(wholeCorners), 0);
    Cut whole = cut(frame);
    ASSERT_EQ(whole.result, 0);

    cv::Mat small;
    cv::resize(frame.mat(), small, cv::Size(), 0.25, 0.25, cv::INTER_AREA);
    ASSERT_EQ(zq_scanner_cutting_edge_auto_reduced(small.data, small.cols, small.rows, 4), 0);
    zqPointF corners[4];
    ASSERT_EQ(zq_scanner_cutting_edge_quad(corners), 0);
    for (int i = 0; i < 4; ++i) { // a reduced pixel's centre in the whole frame
        corners[i] = {corners[i].x * 4 + 1.5, corners[i].y * 4 + 1.5};
        EXPECT_LT(std::hypot(corners[i].x - wholeCorners[i].x, corners[i].y - wholeCorners[i].y), 4)
            << i;
    }
    std::swap(corners[0], corners[2]); // in any order around the page
    const CuttingEdgeInfo record = g_cutting_edge;

    Cut near;
    near.result = zq_scanner_page_cut_near(frame.data(), frame.width, frame.height, corners, 10,
                                           nullptr, 0, &near.width, &near.height);
    ASSERT_EQ(near.result, 0);
    near.bytes.resize(size_t(near.width) * near.height * 3);
    ASSERT_EQ(zq_scanner_page_cut_near(frame.data(), frame.width, frame.height, corners, 10,
                                       near.bytes.data(), int(near.bytes.size()), nullptr, nullptr),
              0);
    EXPECT_NEAR(near.width, whole.width, 2);
    EXPECT_NEAR(near.height, whole.height, 2);
    cv::Mat resized;
    cv::resize(near.mat(), resized, whole.mat().size(), 0, 0, cv::INTER_AREA);
    EXPECT_LT(cv::norm(resized, whole.mat(), cv::NORM_L1) / double(resized.total() * 3), 1.0);
    EXPECT_TRUE(g_cutting_edge.valid);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(g_cutting_edge.point[i].x, record.point[i].x) << i;
        EXPECT_EQ(g_cutting_edge.point[i].y, record.point[i].y) << i;
    }

    corners[1] = corners[0];
    corners[2] = corners[0];
    corners[3] = corners[0];
    EXPECT_EQ(zq_scanner_page_cut_near(frame.data(), frame.width, frame.height, corners, 10,
                                       nullptr, 0, &near.width, &near.height),
              -1)
        << "corners that enclose nothing";
}
