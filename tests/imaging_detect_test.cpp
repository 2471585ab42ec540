// Finding the page: rendered scenes with known corners are the ground
// truth.
#include "imaging_fixture.h"
#include "page_detection.h"

#include <algorithm>
#include <cmath>
#include <string>

using zq::sim::pageAt;
using zq::sim::PageScene;

namespace
{

struct DetectCase {
    int width, height;
    PageScene scene;
    int nsalc;
};

std::string describe(const DetectCase &c)
{
    return std::to_string(c.width) + "x" + std::to_string(c.height) + " page at (" +
           std::to_string(c.scene.centerX) + ", " + std::to_string(c.scene.centerY) + ") width " +
           std::to_string(c.scene.pageWidth) + " turned " + std::to_string(c.scene.angleDeg) +
           " paper " + std::to_string(c.scene.paper) + " uneven " +
           std::to_string(c.scene.unevenLight);
}

PageScene saturated(PageScene s)
{
    s.paper = 320;
    return s;
}

PageScene unevenlyLit(PageScene s)
{
    s.unevenLight = 0.45;
    return s;
}

// Every true corner has a recorded corner within tolerance; recorded
// corners are multiples of the reduction factor and 0, 2 are opposite.
void expectCornersMatch(const DetectCase &c)
{
    const auto truth = zq::sim::pageCorners(c.scene, c.width, c.height);
    const double tolerance = 3.0 * c.nsalc;
    for (const zq::sim::Point &t : truth) {
        double best = 1e9;
        for (const zqPoint &p : g_cutting_edge.point)
            best = std::min(best, std::hypot(p.x - t.x, p.y - t.y));
        EXPECT_LE(best, tolerance) << "true corner (" << t.x << ", " << t.y << ")";
    }
    for (const zqPoint &p : g_cutting_edge.point) {
        EXPECT_EQ(p.x % c.nsalc, 0);
        EXPECT_EQ(p.y % c.nsalc, 0);
    }
    const zqPoint *p = g_cutting_edge.point;
    const double diagonal = std::hypot(truth[0].x - truth[2].x, truth[0].y - truth[2].y);
    EXPECT_NEAR(std::hypot(p[0].x - p[2].x, p[0].y - p[2].y), diagonal, 2 * tolerance);
    EXPECT_NEAR(std::hypot(p[1].x - p[3].x, p[1].y - p[3].y), diagonal, 2 * tolerance);
    // The box angle is the page's turn, up to OpenCV's choice of side.
    EXPECT_NEAR(std::remainder(g_cutting_edge.angle + c.scene.angleDeg, 90.0), 0.0, 1.0);
}

} // namespace

TEST_F(ImagingTest, DetectionFindsPagesAtAllSizesTiltsAndLights)
{
    const DetectCase cases[] = {
        {640, 480, pageAt(0.5, 0.5, 0.3, 0), 4},
        {640, 480, pageAt(0.45, 0.55, 0.3, 40), 4},
        {640, 480, pageAt(0.55, 0.5, 0.25, -40), 4},
        {640, 480, pageAt(0.35, 0.45, 0.2, 12), 4},
        {640, 480, saturated(pageAt(0.5, 0.5, 0.3, 5)), 4},
        {640, 480, unevenlyLit(pageAt(0.5, 0.5, 0.3, -8)), 4},
        {642, 481, pageAt(0.6, 0.5, 0.3, -5), 4},
        {1366, 768, pageAt(0.5, 0.5, 0.25, 20), 4},
        {1920, 1080, pageAt(0.5, 0.5, 0.25, -25), 4},
        {1920, 1080, pageAt(0.3, 0.5, 0.2, 33), 4},
        {1920, 1080, saturated(unevenlyLit(pageAt(0.6, 0.45, 0.25, 3))), 4},
        {3264, 2448, pageAt(0.5, 0.5, 0.3, 17), 4},
        {4208, 3120, pageAt(0.5, 0.5, 0.3, -12), 8},
        {4208, 3120, saturated(pageAt(0.4, 0.5, 0.25, 38)), 8},
    };
    for (const DetectCase &c : cases) {
        SCOPED_TRACE(describe(c));
        Frame frame(c.scene, c.width, c.height);
        const std::vector<uint8_t> before = frame.bytes;
        ASSERT_EQ(zq_scanner_cutting_edge_auto(frame.data(), c.width, c.height), 0);
        EXPECT_TRUE(g_cutting_edge.valid);
        EXPECT_EQ(frame.bytes, before) << "detection only reads the frame";
        ASSERT_NE(squares, nullptr);
        EXPECT_EQ(squares->total, 0) << "squares is emptied again";
        expectCornersMatch(c);
        g_cutting_edge.valid = false;
    }
}

// Saturated paper reads as the brightest grey values.  Were they taken for
// dark, a blank page running off the frame on a light desk would leave
// the desk around it as the bright region, and the desk would be outlined.
TEST_F(ImagingTest, DetectionOutlinesSaturatedPageRunningOffTheFrame)
{
    PageScene scene = saturated(pageAt(0.5, 0.8, 0.5, 0));
    scene.text = false;
    scene.desk = 170;
    Frame frame(scene, 640, 480);
    ASSERT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 640, 480), 0);
    const auto truth = zq::sim::pageCorners(scene, 640, 480);
    int left = 640, right = 0, top = 480, bottom = 0;
    for (const zqPoint &p : g_cutting_edge.point) {
        left = std::min(left, p.x);
        right = std::max(right, p.x);
        top = std::min(top, p.y);
        bottom = std::max(bottom, p.y);
    }
    EXPECT_NEAR(left, truth[0].x, 12);
    EXPECT_NEAR(right, truth[1].x, 12);
    EXPECT_NEAR(top, truth[0].y, 12);
    EXPECT_NEAR(bottom, 480, 12);
    // The cut is the part in view.
    int w = 0, h = 0;
    ASSERT_EQ(zq_scanner_cutting_edge_do(frame.data(), 640, 480, nullptr, 0, &w, &h), 0);
    EXPECT_NEAR(w, truth[1].x - truth[0].x, 12);
    EXPECT_NEAR(h, 480 - truth[0].y, 12);
}

// Frames wider than 3264 or taller than 3264 are searched at an eighth of
// their size, others at a quarter: the recorded corners are the corners
// found at that factor, scaled back.
TEST_F(ImagingTest, DetectionReductionFactorFollowsFrameSize)
{
    struct Case {
        int width, height, nsalc;
    };
    // 2448 x 3264 is the first 3264 rows of the 2448 x 3265 picture.
    Frame tall(pageAt(0.5, 0.5, 0.5, 7), 2448, 3265);
    Frame wide(pageAt(0.5, 0.5, 0.3, -7), 3280, 2464);
    const struct {
        Frame &frame;
        Case c;
    } cases[] = {{tall, {2448, 3265, 8}}, {tall, {2448, 3264, 4}}, {wide, {3280, 2464, 8}}};
    for (const auto &[frame, c] : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        IplImage *copy = GetIplFromBmpStream(frame.data(), c.width, c.height);
        ASSERT_NE(copy, nullptr);
        double angle = 0;
        CvSeq *found = findSquares4ex1(copy, storage, angle, c.nsalc);
        cvReleaseImage(&copy);
        ASSERT_EQ(found->total, 4);
        CvPoint expected[4];
        for (int i = 0; i < 4; ++i) {
            const CvPoint *p = CV_GET_SEQ_ELEM(CvPoint, found, i);
            expected[i] = cvPoint(p->x * c.nsalc, p->y * c.nsalc);
        }
        cvClearSeq(found);

        ASSERT_EQ(zq_scanner_cutting_edge_auto(frame.data(), c.width, c.height), 0);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(g_cutting_edge.point[i].x, expected[i].x) << "corner " << i;
            EXPECT_EQ(g_cutting_edge.point[i].y, expected[i].y) << "corner " << i;
        }
        EXPECT_FLOAT_EQ(float(g_cutting_edge.angle), float(angle));
    }
}

TEST_F(ImagingTest, DetectionIgnoresPageCoveringNinetyPercent)
{
    PageScene blank = pageAt(0.5, 0.5, 0.97, 0);
    blank.aspect = 0.75; // 97 % of the width and of the height: 94 % of the frame
    blank.text = false;
    Frame frame(blank, 640, 480);
    const zqPoint lt{1, 2}, rb{3, 4};
    zq_scanner_cutting_edge_set(&lt, &rb);
    g_cutting_edge.valid = false;
    const CuttingEdgeInfo before = g_cutting_edge;

    EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 640, 480), 1);
    EXPECT_FALSE(g_cutting_edge.valid) << "a failed detection leaves the record as it was";
    EXPECT_EQ(g_cutting_edge.point[2].x, before.point[2].x);
    EXPECT_EQ(squares->total, 0);

    g_cutting_edge.valid = true;
    EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 640, 480), 1);
    EXPECT_TRUE(g_cutting_edge.valid);
}

TEST_F(ImagingTest, DetectionRefusesWithoutStorageOrUsableFrame)
{
    Frame frame(pageAt(0.5, 0.5, 0.3, 10), 640, 480);
    EXPECT_EQ(zq_scanner_cutting_edge_auto(nullptr, 640, 480), 1);
    EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 0, 480), 1);
    EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 640, -1), 1);
    EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 7, 7), 1) << "too small to reduce";
    EXPECT_FALSE(g_cutting_edge.valid);

    zq_scanner_dllunit();
    EXPECT_EQ(storage, nullptr);
    EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 640, 480), 1) << "after the end";
    double angle = 0;
    EXPECT_EQ(findSquares4ex1(nullptr, nullptr, angle, 4), nullptr);
    EXPECT_FALSE(drawSquares(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, 4));

    zq_scanner_dllinit();
    zq_scanner_dllinit(); // starting again replaces the storage
    EXPECT_EQ(zq_scanner_cutting_edge_auto(frame.data(), 640, 480), 0) << "started afresh";
}

TEST_F(ImagingTest, FrameCopyKeepsPackedRows)
{
    Frame frame(642, 3);
    for (size_t i = 0; i < frame.bytes.size(); ++i)
        frame.bytes[i] = uint8_t(i * 7);
    IplImage *copy = GetIplFromBmpStream(frame.data(), 642, 3);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->nChannels, 3);
    const cv::Mat m = cv::cvarrToMat(copy);
    EXPECT_EQ(cv::norm(m, frame.mat(), cv::NORM_INF), 0.0);
    cvReleaseImage(&copy);
    EXPECT_EQ(GetIplFromBmpStream(nullptr, 642, 3), nullptr);
}

// Outlines are values: searching one frame leaves no trace in the outline
// of another, and an outline handed in as the previous one holds only the
// page it belongs to.
TEST(PageOutlineTest, FramesSearchedInTurnKeepTheirOwnOutlines)
{
    using zq::imaging::findPageOutline;
    using zq::imaging::PageOutline;
    PageScene leaning = pageAt(0.55, 0.5, 0.3, 20);
    leaning.tiltDeg = 15;
    Frame a(leaning, 1280, 720), b(pageAt(0.35, 0.45, 0.25, -10), 1280, 720);
    const std::optional<PageOutline> firstA = findPageOutline(a.mat(), 4, std::nullopt);
    const std::optional<PageOutline> firstB = findPageOutline(b.mat(), 4, std::nullopt);
    ASSERT_TRUE(firstA && firstB && firstA->page && firstB->page);
    const std::optional<PageOutline> thenA = findPageOutline(a.mat(), 4, firstB);
    const std::optional<PageOutline> thenB = findPageOutline(b.mat(), 4, thenA);
    ASSERT_TRUE(thenA && thenB && thenA->page && thenB->page);
    EXPECT_EQ(thenA->box, firstA->box);
    EXPECT_EQ(thenA->page->corners, firstA->page->corners);
    EXPECT_EQ(thenB->box, firstB->box);
    EXPECT_EQ(thenB->page->corners, firstB->page->corners);
}
