// The virtual camera itself must follow the V4L2 rules, or tests that pass
// on it would prove nothing about a real camera.
#include "sim_fixture.h"

#include <cmath>
#include <cstring>

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
    for (double tilt : {0.0, 4.0}) {
        SCOPED_TRACE(tilt);
        PageScene scene;
        scene.angleDeg = 20;
        scene.pageWidth = 0.3;
        scene.tiltDeg = tilt;
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
        if (tilt != 0) {
            // Leaning forward, the camera sees the far edge wider.
            const double top = std::hypot(corners[1].x - corners[0].x, corners[1].y - corners[0].y);
            const double bottom =
                std::hypot(corners[2].x - corners[3].x, corners[2].y - corners[3].y);
            EXPECT_GT(top, bottom * 1.02);
        }
    }
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
