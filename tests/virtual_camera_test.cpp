// The virtual camera itself must follow the V4L2 rules, or tests that pass
// on it would prove nothing about a real camera.
#include "sim_fixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

using namespace zq::sim;

namespace
{

v4l2_buffer captureBuffer(uint32_t index = 0)
{
    v4l2_buffer b;
    std::memset(&b, 0, sizeof(b));
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = index;
    return b;
}

} // namespace

class VirtualCameraTest : public testing::Test
{
  protected:
    VirtualCamera camera{CameraConfig::documentCamera()};

    // Through libv4l2 by default, else straight to the driver.
    void setFormat(uint32_t w, uint32_t h, uint32_t fourcc = V4L2_PIX_FMT_RGB24,
                   bool throughLibv4l2 = true)
    {
        v4l2_format fmt{};
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        fmt.fmt.pix.width = w;
        fmt.fmt.pix.height = h;
        fmt.fmt.pix.pixelformat = fourcc;
        ASSERT_EQ(throughLibv4l2 ? camera.v4l2Ioctl(VIDIOC_S_FMT, &fmt)
                                 : camera.driverIoctl(VIDIOC_S_FMT, &fmt),
                  0);
    }
    // The granted count, or -1 when the request is refused.
    int requestBuffers(uint32_t count)
    {
        v4l2_requestbuffers req{};
        req.count = count;
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        return camera.v4l2Ioctl(VIDIOC_REQBUFS, &req) == 0 ? int(req.count) : -1;
    }
};

TEST_F(VirtualCameraTest, QueueFollowsStreamingRules)
{
    setFormat(640, 480);
    ASSERT_EQ(requestBuffers(4), 4);
    v4l2_buffer b = captureBuffer();
    EXPECT_EQ(camera.v4l2Ioctl(VIDIOC_DQBUF, &b), -1) << "no dequeue before stream-on";
    EXPECT_EQ(errno, EINVAL);
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    ASSERT_EQ(camera.v4l2Ioctl(VIDIOC_STREAMON, &type), 0);
    EXPECT_EQ(camera.v4l2Ioctl(VIDIOC_DQBUF, &b), -1) << "nothing queued";
    b = captureBuffer(1);
    ASSERT_EQ(camera.v4l2Ioctl(VIDIOC_QBUF, &b), 0);
    EXPECT_EQ(camera.v4l2Ioctl(VIDIOC_QBUF, &b), -1) << "already queued";
    b = captureBuffer(4);
    EXPECT_EQ(camera.v4l2Ioctl(VIDIOC_QBUF, &b), -1) << "no such buffer";
    b = captureBuffer();
    ASSERT_EQ(camera.v4l2Ioctl(VIDIOC_DQBUF, &b), 0);
    EXPECT_EQ(b.index, 1u);
    EXPECT_EQ(b.bytesused, 640u * 480 * 3);
    EXPECT_EQ(requestBuffers(2), -1) << "REQBUFS while streaming is refused";
    EXPECT_EQ(errno, EBUSY);
}

TEST_F(VirtualCameraTest, DriverChoosesNearestSizeOfTheFormat)
{
    setFormat(1000, 700, V4L2_PIX_FMT_MJPEG, false);
    EXPECT_EQ(camera.width(), 1280u);
    setFormat(5000, 5000, V4L2_PIX_FMT_MJPEG, false);
    EXPECT_EQ(camera.width(), 3264u);
    setFormat(1, 1, V4L2_PIX_FMT_MJPEG, false);
    EXPECT_EQ(camera.width(), 640u);
    setFormat(1920, 1080, V4L2_PIX_FMT_YUYV, false);
    EXPECT_EQ(camera.width(), 640u) << "YUYV comes in one size";
    setFormat(1920, 1080, V4L2_PIX_FMT_NV12, false);
    EXPECT_EQ(camera.pixelFormat(), uint32_t(V4L2_PIX_FMT_MJPEG)) << "the first format instead";
}

// libv4lconvert on a UVC camera: the largest size within the request (the
// smallest when none is), then the native format cheapest to convert.
TEST_F(VirtualCameraTest, Libv4l2PicksNativeFormatAndSize)
{
    const struct {
        uint32_t askW, askH, width, fourcc;
    } cases[] = {
        {640, 480, 640, V4L2_PIX_FMT_YUYV},    {1000, 700, 640, V4L2_PIX_FMT_YUYV},
        {1280, 720, 1280, V4L2_PIX_FMT_MJPEG}, {5000, 5000, 3264, V4L2_PIX_FMT_MJPEG},
        {1, 1, 640, V4L2_PIX_FMT_YUYV},
    };
    for (const auto &c : cases) {
        setFormat(c.askW, c.askH);
        EXPECT_EQ(camera.width(), c.width) << c.askW << "x" << c.askH;
        EXPECT_EQ(camera.pixelFormat(), c.fourcc) << c.askW << "x" << c.askH;
    }
}

TEST_F(VirtualCameraTest, ControlsUseLibv4l2Scale)
{
    EXPECT_EQ(camera.getControl(V4L2_CID_BRIGHTNESS), 32896) << "128 of 0..255";
    ASSERT_EQ(camera.setControl(V4L2_CID_BRIGHTNESS, 32768), 0);
    EXPECT_EQ(camera.controlValue(V4L2_CID_BRIGHTNESS), 128);
    ASSERT_EQ(camera.setControl(V4L2_CID_CONTRAST, 65535), 0);
    EXPECT_EQ(camera.controlValue(V4L2_CID_CONTRAST), 255);
    EXPECT_EQ(camera.getControl(V4L2_CID_HUE), -1);
    camera.config().controls[2].flags = V4L2_CTRL_FLAG_DISABLED;
    EXPECT_EQ(camera.getControl(V4L2_CID_SATURATION), -1);
    EXPECT_EQ(camera.setControl(V4L2_CID_SATURATION, 0), 0) << "disabled controls are left alone";
    EXPECT_EQ(camera.controlValue(V4L2_CID_SATURATION), 128);
}

TEST(SceneTest, CornersMatchRenderedPage)
{
    // Sides of the outline: 0 the top (corner 0 to 1), then clockwise.
    const struct {
        double tilt, towards;
        int nearSide, farSide;
    } leans[] = {{0, 0, 0, 2}, {4, 0, 0, 2}, {15, 90, 3, 1}};
    for (const auto &lean : leans) {
        SCOPED_TRACE(std::to_string(lean.tilt) + " towards " + std::to_string(lean.towards));
        PageScene scene;
        scene.angleDeg = 20;
        scene.pageWidth = 0.3;
        scene.tiltDeg = lean.tilt;
        scene.tiltAxisDeg = lean.towards;
        const int w = 640, h = 480;
        const auto rgb = renderScene(scene, w, h);
        const auto corners = pageCorners(scene, w, h);
        // Just inside each corner (towards the centre) is paper, just outside is desk.
        const double cx = scene.centerX * w, cy = scene.centerY * h;
        for (const Point &c : corners) {
            const double dx = cx - c.x, dy = cy - c.y, len = std::hypot(dx, dy);
            auto at = [&](double t) {
                const int x = int(c.x + dx / len * t), y = int(c.y + dy / len * t);
                return rgb[(size_t(y) * w + x) * 3 + 1];
            };
            EXPECT_GT(at(6), 150);
            EXPECT_LT(at(-6), 120);
        }
        // Counter-clockwise on screen: the top-left corner moves down, the
        // top-right corner moves up.
        EXPECT_GT(corners[0].y, corners[1].y);
        if (lean.tilt != 0) {
            // The camera sees the side it leans towards longer.
            const auto side = [&](int i) {
                const Point a = corners[i], b = corners[(i + 1) % 4];
                return std::hypot(b.x - a.x, b.y - a.y);
            };
            EXPECT_GT(side(lean.nearSide), side(lean.farSide) * 1.02);
        }
    }
}

namespace
{

using Vector = std::array<double, 3>;

double dot(const Vector &a, const Vector &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// a u + b v
Vector combined(double a, const Vector &u, double b, const Vector &v)
{
    return {a * u[0] + b * v[0], a * u[1] + b * v[1], a * u[2] + b * v[2]};
}

// A pinhole camera with the focal length f pixels, first straight above
// the middle of the desk at the distance f, then moved round it by
// tiltDeg towards the side of the picture towardsDeg (counter-clockwise
// from the top) and aimed at it again: where a point of the desk, given
// in pixels from the desk's middle as the upright camera sees them,
// appears, relative to the picture's middle.
Point seenByTurnedCamera(Point desk, double f, double tiltDeg, double towardsDeg)
{
    const double tilt = tiltDeg * M_PI / 180, towards = towardsDeg * M_PI / 180;
    // x right, y down on the desk and in the picture, z from the camera
    // down to the desk.
    const Vector near = {-std::sin(towards), -std::cos(towards), 0};
    const Vector across = {-near[1], near[0], 0};
    const Vector down = {0, 0, 1};
    const Vector camera = combined(f * std::sin(tilt), near, -f * std::cos(tilt), down);
    // Turning the camera moves the axis of the picture towards the desk's
    // middle and leaves the desk's line across the lean where it was.
    const Vector tiltedNear = combined(std::cos(tilt), near, std::sin(tilt), down);
    const Vector axis = combined(std::cos(tilt), down, -std::sin(tilt), near);
    const auto turned = [&](const Vector &v) {
        return combined(dot(v, near), tiltedNear, dot(v, across), across);
    };
    const Vector right = turned({1, 0, 0}), below = turned({0, 1, 0});
    const Vector ray = combined(1, {desk.x, desk.y, 0}, -1, camera);
    return {f * dot(ray, right) / dot(ray, axis), f * dot(ray, below) / dot(ray, axis)};
}

} // namespace

TEST(SceneTest, LeaningHeadIsACameraTurnedRoundTheDesk)
{
    const int w = 1280, h = 720;
    PageScene scene;
    scene.pageWidth = 0.3;
    scene.angleDeg = 7;
    scene.centerX = 0.45;
    const auto flat = pageCorners(scene, w, h);
    for (double tilt : {5.0, 20.0})
        for (double towards : {0.0, 90.0, -135.0}) {
            SCOPED_TRACE(std::to_string(tilt) + " towards " + std::to_string(towards));
            scene.tiltDeg = tilt;
            scene.tiltAxisDeg = towards;
            const auto seen = pageCorners(scene, w, h);
            for (int i = 0; i < 4; ++i) {
                const Point expected = seenByTurnedCamera(
                    {flat[i].x - w / 2.0, flat[i].y - h / 2.0}, 1.2 * w, tilt, towards);
                EXPECT_NEAR(seen[i].x, w / 2.0 + expected.x, 1e-6) << i;
                EXPECT_NEAR(seen[i].y, h / 2.0 + expected.y, 1e-6) << i;
            }
        }
}

namespace
{

// How far inside the page's outline a point lies: negative outside.
double insidePage(const std::array<Point, 4> &corners, double x, double y)
{
    double nearest = 1e9;
    for (int i = 0; i < 4; ++i) {
        const Point a = corners[i], b = corners[(i + 1) % 4];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        // The corners run clockwise on screen, so the inside is to the right.
        nearest = std::min(nearest, ((b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x)) / length);
    }
    return nearest;
}

const uint8_t *pixel(const std::vector<uint8_t> &rgb, int width, int x, int y)
{
    return &rgb[(size_t(y) * width + x) * 3];
}

} // namespace

TEST(SceneTest, ClutterLiesOnThePageAndBesideIt)
{
    const struct {
        unsigned clutter;
        const char *what;
        bool (*looksLikeIt)(const uint8_t *rgb);
        bool acrossTheFrame;
    } things[] = {
        {kCable, "cable",
         [](const uint8_t *p) {
             return std::max({p[0], p[1], p[2]}) < 60;
         },
         true},
        {kMarkers, "markers",
         [](const uint8_t *p) {
             return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 80;
         },
         false},
        {kHoldingHand, "hand",
         [](const uint8_t *p) { return p[0] > p[1] + 35 && p[0] > p[2] + 60; }, false},
    };
    const int w = 640, h = 360;
    for (const auto &thing : things) {
        SCOPED_TRACE(thing.what);
        PageScene scene = sceneOnDesk(Desk::WhiteTable);
        scene.pageWidth = 0.28;
        scene.angleDeg = 4;
        scene.text = false;
        scene.clutter = thing.clutter;
        const auto rgb = renderScene(scene, w, h);
        const auto corners = pageCorners(scene, w, h);
        int onPage = 0, beside = 0, atFrameSides = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!thing.looksLikeIt(pixel(rgb, w, x, y)))
                    continue;
                const double inside = insidePage(corners, x + 0.5, y + 0.5);
                onPage += inside > 3;
                beside += inside < -3;
                atFrameSides += x == 0 || x == w - 1;
            }
        EXPECT_GT(onPage, 0);
        EXPECT_GT(beside, 0);
        if (thing.acrossTheFrame) {
            EXPECT_GE(atFrameSides, 2);
        }
    }
}

TEST(SceneTest, SheetsBelowShowBesideThePage)
{
    PageScene scene = sceneOnDesk(Desk::Mat);
    scene.pageWidth = 0.28;
    scene.angleDeg = -3;
    scene.clutter = kSheetsBelow;
    const int w = 1280, h = 720;
    const auto rgb = renderScene(scene, w, h);
    const auto c = pageCorners(scene, w, h);
    // A few pixels out from the middles of the left, bottom and right
    // sides lies paper, where the desk would be without them.
    for (int side : {3, 2, 1}) {
        const Point a = c[side], b = c[(side + 1) % 4];
        const double length = std::hypot(b.x - a.x, b.y - a.y);
        const double outX = (b.y - a.y) / length, outY = -(b.x - a.x) / length;
        const int x = int((a.x + b.x) / 2 + 3 * outX), y = int((a.y + b.y) / 2 + 3 * outY);
        EXPECT_GT(pixel(rgb, w, x, y)[1], 180) << "side " << side;
    }
}

TEST(SceneTest, TakingThePageAwayLeavesAllElseInPlace)
{
    PageScene scene = sceneOnDesk(Desk::Mat);
    scene.pageWidth = 0.3;
    scene.clutter = kPen | kMouse | kCable | kMarkers | kMug;
    scene.noise = 2;
    const int w = 640, h = 360;
    const auto withPage = renderScene(scene, w, h);
    scene.withPage = false;
    const auto without = renderScene(scene, w, h);
    const auto corners = pageCorners(scene, w, h);
    int paper = 0, changedOutside = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t *p = pixel(without, w, x, y);
            const double inside = insidePage(corners, x + 0.5, y + 0.5);
            paper += inside > 1 && std::min({p[0], p[1], p[2]}) > 180;
            changedOutside += inside < -1 && std::memcmp(p, pixel(withPage, w, x, y), 3) != 0;
        }
    EXPECT_EQ(paper, 0);
    EXPECT_EQ(changedOutside, 0);
}

TEST(SceneTest, NoiseDiffersFromFrameToFrameAroundTheSameScene)
{
    PageScene scene = sceneOnDesk(Desk::WhiteTable);
    scene.noise = 3;
    const auto a = renderScene(scene, 200, 100);
    scene.noiseSeed = 1;
    const auto b = renderScene(scene, 200, 100);
    scene.noise = 0;
    const auto clean = renderScene(scene, 200, 100);
    double sumA = 0, sumClean = 0, spread = 0;
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        differing += a[i] != b[i];
        sumA += a[i];
        sumClean += clean[i];
        spread += (a[i] - clean[i]) * (a[i] - clean[i]);
    }
    EXPECT_GT(differing, a.size() / 2);
    EXPECT_NEAR(sumA / a.size(), sumClean / a.size(), 0.3);
    EXPECT_NEAR(std::sqrt(spread / a.size()), 3.0, 0.6) << "noise of the set strength";
}

TEST(SceneTest, SaturatedAndUnevenLight)
{
    PageScene scene;
    scene.paper = 300;
    scene.text = false;
    auto rgb = renderScene(scene, 100, 100);
    EXPECT_EQ(rgb[(50 * 100 + 50) * 3], 255);
    scene.paper = 230;
    scene.unevenLight = 0.3;
    scene.pageWidth = 0.9;
    scene.aspect = 0.5;
    rgb = renderScene(scene, 100, 100);
    EXPECT_GT(rgb[(50 * 100 + 10) * 3], rgb[(50 * 100 + 90) * 3] + 40);
}
