// The automatic crop on every kind of desk: rendered scenes with known
// corners, desks without a page, noisy frames, photographs of real pages,
// and the edges of the page a capture saves.
#include "imaging_fixture.h"
#include "outline_overlap.h"
#include "picture_files.h"

#include <opencv2/imgproc.hpp>

#include <fstream>
#include <sstream>
#include <string>

using namespace zq::sim;
using zq::test::overlap;
using zq::test::polygon;

namespace
{

std::vector<cv::Point2f> recorded()
{
    std::vector<cv::Point2f> p;
    for (const zqPoint &c : g_cutting_edge.point)
        p.emplace_back(float(c.x), float(c.y));
    return p;
}

// Pages as people lay them down: of several sizes, turned either way, off
// the middle, with clutter, shadows, uneven light or a leaning camera head,
// and always with sensor noise.
PageScene variedScene(Desk desk, int i)
{
    PageScene s = sceneOnDesk(desk);
    s.pageWidth = 0.22 + 0.02 * (i % 6);
    s.angleDeg = -30 + 7 * (i % 9);
    s.centerX = 0.42 + 0.03 * (i % 5);
    s.centerY = 0.45 + 0.02 * (i % 4);
    const unsigned clutter[] = {0, kPen, kMouse, kSecondSheet, kHand, kPen | kMouse, 15};
    s.clutter = clutter[i % 7];
    s.shadow = i % 3 == 1 ? 0.2 : 0;
    s.tiltDeg = i % 4 == 2 ? 3 : 0;
    s.unevenLight = i % 5 == 3 ? 0.25 : 0;
    s.noise = 2.5;
    s.noiseSeed = uint32_t(i);
    return s;
}

struct DeskCase {
    Desk desk;
    const char *name;
    double minOverlap;  // of any one outline with the true page
    double meanOverlap; // over all the scenes of the desk
};
// A user sees an outline a few per cent off as wrong.  On a mid-grey mat
// the bright region itself reaches a pixel or two beyond the paper.
const DeskCase kDesks[] = {
    {Desk::Mat, "dark mat", 0.95, 0.97},
    {Desk::GreyMat, "grey mat", 0.88, 0.93},
    {Desk::LightWood, "light wood", 0.95, 0.97},
    {Desk::WhiteTable, "white table", 0.9, 0.97},
};

int detect(Frame &frame)
{
    return zq_scanner_cutting_edge_auto(frame.data(), frame.width, frame.height);
}

} // namespace

TEST_F(ImagingTest, AutomaticCropOutlinesThePageOnEveryDesk)
{
    for (const DeskCase &d : kDesks) {
        SCOPED_TRACE(d.name);
        int misses = 0, scenes = 0;
        double sum = 0;
        for (int i = 0; i < 12; ++i) {
            const int w = i < 9 ? 1280 : 1920, h = i < 9 ? 720 : 1080;
            const PageScene scene = variedScene(d.desk, i);
            Frame frame(scene, w, h);
            g_cutting_edge.valid = false;
            ++scenes;
            if (detect(frame) != 0) {
                ++misses;
                ADD_FAILURE() << "no outline in scene " << i;
                continue;
            }
            const double o = overlap(recorded(), polygon(pageCorners(scene, w, h)));
            EXPECT_GE(o, d.minOverlap) << "scene " << i;
            sum += o;
        }
        EXPECT_EQ(misses, 0);
        EXPECT_GE(sum / scenes, d.meanOverlap);
        RecordProperty(std::string(d.name) + " mean overlap", std::to_string(sum / scenes));
    }
}

TEST_F(ImagingTest, AutomaticCropOutlinesNothingWithoutAPage)
{
    const struct {
        unsigned clutter;
        const char *what;
    } desks[] = {{0, "an empty desk"},
                 {kPen, "a pen"},
                 {kHand, "a hand"},
                 {kMouse | kPen, "a mouse and a pen"},
                 {kPen | kHand, "a pen and a hand"}};
    for (const DeskCase &d : kDesks) {
        SCOPED_TRACE(d.name);
        int falseOutlines = 0;
        const auto expectNothing = [&](const PageScene &scene, const char *what) {
            Frame frame(scene, 1280, 720);
            if (detect(frame) != 1) {
                ++falseOutlines;
                ADD_FAILURE() << "outlined on " << what;
            }
        };
        for (const auto &things : desks) {
            PageScene desk = sceneOnDesk(d.desk);
            desk.pageWidth = 0;
            desk.clutter = things.clutter;
            desk.shadow = things.clutter ? 0.2 : 0;
            desk.noise = 2.5;
            expectNothing(desk, things.what);
        }
        // A blank sheet filling the view is the desk, not a page on it.
        PageScene blank = sceneOnDesk(d.desk);
        blank.pageWidth = 0.97;
        blank.aspect = 720.0 / 1280; // 97 % of the width and of the height
        blank.text = false;
        expectNothing(blank, "a blank sheet filling the view");
        EXPECT_EQ(falseOutlines, 0);
    }
    EXPECT_FALSE(g_cutting_edge.valid) << "the record is left alone";
}

TEST_F(ImagingTest, AutomaticCropOutlineHoldsStillOverNoisyFrames)
{
    for (const DeskCase &d : kDesks) {
        SCOPED_TRACE(d.name);
        PageScene scene = variedScene(d.desk, 5); // a pen and a mouse beside the page
        CuttingEdgeInfo first{};
        for (uint32_t seed = 0; seed < 6; ++seed) {
            scene.noiseSeed = seed;
            Frame frame(scene, 1280, 720);
            ASSERT_EQ(detect(frame), 0) << "frame " << seed;
            if (seed == 0)
                first = g_cutting_edge;
            for (int i = 0; i < 4; ++i) {
                EXPECT_LE(std::abs(g_cutting_edge.point[i].x - first.point[i].x), 4) << seed;
                EXPECT_LE(std::abs(g_cutting_edge.point[i].y - first.point[i].y), 4) << seed;
            }
        }
    }
}

// Where the largest bright region is the page, its box is the outline, to
// the pixel.
TEST_F(ImagingTest, AutomaticCropKeepsTheBrightRegionWhereItIsThePage)
{
    PageScene penOnMat = variedScene(Desk::Mat, 1);
    PageScene greyMat = sceneOnDesk(Desk::GreyMat);
    PageScene wood = sceneOnDesk(Desk::LightWood);
    wood.angleDeg = 12;
    for (PageScene *scene : {&penOnMat, &greyMat, &wood}) {
        scene->pageWidth = 0.3;
        Frame frame(*scene, 1920, 1080);
        IplImage *copy = GetIplFromBmpStream(frame.data(), 1920, 1080);
        double angle = 0;
        CvSeq *found = findSquares4ex1(copy, storage, angle, 4);
        cvReleaseImage(&copy);
        ASSERT_EQ(found->total, 4);
        CvPoint expected[4];
        for (int i = 0; i < 4; ++i)
            expected[i] = *CV_GET_SEQ_ELEM(CvPoint, found, i);
        cvClearSeq(found);
        ASSERT_EQ(detect(frame), 0);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(g_cutting_edge.point[i].x, 4 * expected[i].x);
            EXPECT_EQ(g_cutting_edge.point[i].y, 4 * expected[i].y);
        }
        EXPECT_FLOAT_EQ(float(g_cutting_edge.angle), float(angle));
    }
}

TEST_F(ImagingTest, AutomaticCropFindsThePageInPhotographs)
{
    std::ifstream list(ZQ_TEST_PHOTOS "/corners.csv");
    ASSERT_TRUE(list) << ZQ_TEST_PHOTOS;
    std::string line;
    std::getline(list, line); // the column names
    int photographs = 0;
    while (std::getline(list, line)) {
        std::stringstream fields(line);
        std::string name, value;
        std::getline(fields, name, ',');
        SCOPED_TRACE(name);
        std::array<Point, 4> truth;
        for (Point &p : truth) {
            std::getline(fields, value, ',');
            p.x = std::stod(value);
            std::getline(fields, value, ',');
            p.y = std::stod(value);
        }
        zq::test::Picture photo = zq::test::readJpeg(ZQ_TEST_PHOTOS "/" + name);
        ASSERT_EQ(photo.components, 3);
        ASSERT_EQ(zq_scanner_cutting_edge_auto(photo.samples.data(), photo.width, photo.height), 0);
        // The record is a rotated rectangle; these pages are seen a little
        // in perspective, which leaves about 0.96 as its best.  The page's
        // own corners follow the perspective.
        const double o = overlap(recorded(), polygon(truth));
        EXPECT_GE(o, 0.9);
        zqPointF corners[4];
        ASSERT_EQ(zq_scanner_cutting_edge_quad(corners), 0);
        std::vector<cv::Point2f> quad;
        for (const zqPointF &c : corners)
            quad.emplace_back(float(c.x), float(c.y));
        const double q = overlap(quad, polygon(truth));
        EXPECT_GE(q, 0.965);
        RecordProperty(name + " overlap",
                       std::to_string(q) + " (record " + std::to_string(o) + ")");

        // Taken from a little farther or nearer, the page is found all the
        // same: a faint edge is a gentle slope in a larger picture.
        cv::Mat larger;
        cv::resize(cv::Mat(photo.height, photo.width, CV_8UC3, photo.samples.data()), larger,
                   cv::Size(), 1.15, 1.15, cv::INTER_AREA);
        EXPECT_EQ(zq_scanner_cutting_edge_auto(larger.data, larger.cols, larger.rows), 0)
            << "at 1.15 times the size";
        ++photographs;
    }
    EXPECT_EQ(photographs, 3);
}

namespace
{

// Rows (or, turned, columns) from the edge of the cut inwards that are not
// blank paper: nearly all their pixels close to the paper's colour.
int deskLines(const cv::Mat &cut, const PageScene &scene)
{
    const cv::Vec3d paper(scene.paper, scene.paper, scene.paper * 0.97);
    for (int row = 0; row < cut.rows / 4; ++row) {
        int close = 0;
        for (int x = 0; x < cut.cols; ++x) {
            const cv::Vec3d v = cut.at<cv::Vec3b>(row, x);
            close += cv::norm(v - paper, cv::NORM_INF) <= 15;
        }
        if (close >= 0.95 * cut.cols)
            return row;
    }
    return cut.rows / 4;
}

} // namespace

// Detection's corners lie on its reduced grid; a capture cuts the page
// along its own edges, with at most a pixel of desk at any side.
TEST_F(ImagingTest, CapturedPageHoldsNoDesk)
{
    struct Case {
        Desk desk;
        int width, height;
        double angle, tilt;
        unsigned clutter;
    } cases[] = {
        {Desk::Mat, 3264, 2448, 0, 0, 0},          {Desk::Mat, 3264, 2448, 7, 0, 0},
        {Desk::Mat, 4208, 3120, -4, 0, 0},         {Desk::GreyMat, 1920, 1080, 0, 0, 0},
        {Desk::LightWood, 1920, 1080, 5, 0, kPen}, {Desk::WhiteTable, 1920, 1080, -6, 0, 0},
        {Desk::LightWood, 1920, 1080, 0, 3, 0},
    };
    for (const Case &c : cases) {
        PageScene scene = sceneOnDesk(c.desk);
        scene.pageWidth = 0.3;
        scene.angleDeg = c.angle;
        scene.tiltDeg = c.tilt;
        scene.clutter = c.clutter;
        scene.noise = 2;
        SCOPED_TRACE(std::to_string(c.width) + " desk " + std::to_string(int(c.desk)) + " turned " +
                     std::to_string(c.angle) + " tilt " + std::to_string(c.tilt));
        Frame frame(scene, c.width, c.height);
        ASSERT_EQ(detect(frame), 0);
        const CuttingEdgeInfo detected = g_cutting_edge;
        std::vector<uint8_t> out(frame.bytes.size());
        int w = 0, h = 0;
        ASSERT_EQ(zq_scanner_cutting_edge_do(frame.data(), c.width, c.height, out.data(),
                                             int(out.size()), &w, &h),
                  0);
        const cv::Mat cut(h, w, CV_8UC3, out.data());
        for (int side = 0; side < 4; ++side) {
            cv::Mat turned;
            const int turns[] = {-1, cv::ROTATE_90_CLOCKWISE, cv::ROTATE_180,
                                 cv::ROTATE_90_COUNTERCLOCKWISE};
            if (turns[side] < 0)
                turned = cut;
            else
                cv::rotate(cut, turned, turns[side]);
            EXPECT_LE(deskLines(turned, scene), 1) << "side " << side;
        }
        // Little paper is lost either: a pixel or two at each edge.
        const auto truth = pageCorners(scene, c.width, c.height);
        const double pageWidth = std::hypot(truth[1].x - truth[0].x, truth[1].y - truth[0].y);
        EXPECT_GE(w, (c.tilt ? 0.95 : 1.0) * pageWidth - 8);
        EXPECT_LE(w, pageWidth);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(g_cutting_edge.point[i].x, detected.point[i].x) << "the record is kept";
            EXPECT_EQ(g_cutting_edge.point[i].y, detected.point[i].y);
        }
    }
}

// A rectangle set by hand after a detection is cut as it was set.
TEST_F(ImagingTest, RectangleSetAfterDetectionIsCutExactly)
{
    PageScene scene = sceneOnDesk(Desk::Mat);
    scene.pageWidth = 0.3;
    Frame frame(scene, 1280, 720);
    ASSERT_EQ(detect(frame), 0);
    const CuttingEdgeInfo detected = g_cutting_edge;
    const zqPoint lt{detected.point[0].x, detected.point[0].y};
    const zqPoint rb{detected.point[2].x, detected.point[2].y};
    zq_scanner_cutting_edge_set(&lt, &rb);
    int w = 0, h = 0;
    ASSERT_EQ(zq_scanner_cutting_edge_do(frame.data(), 1280, 720, nullptr, 0, &w, &h), 0);
    EXPECT_EQ(w, std::abs(rb.x - lt.x));
    EXPECT_EQ(h, std::abs(rb.y - lt.y));
}
