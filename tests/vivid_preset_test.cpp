// The virtual hardware configured like the kernel's vivid driver must
// answer as that driver does; the figures here were read from the driver
// through libv4l2.
#include "sim_fixture.h"
#include <zqscan/zq_scanner.h>

#include <cstring>

using namespace zq::sim;

namespace
{

struct SizeCase {
    uint32_t askW, askH;
    uint32_t grantW, grantH;
};

} // namespace

class VividPresetTest : public SimTest
{
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        installVivid();
    }
    static VirtualCamera &capture() { return *hw().camera(0); }

    static void setFormat(uint32_t w, uint32_t h, uint32_t &grantW, uint32_t &grantH)
    {
        v4l2_format fmt;
        std::memset(&fmt, 0, sizeof(fmt));
        fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        fmt.fmt.pix.width = w;
        fmt.fmt.pix.height = h;
        fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
        ASSERT_EQ(capture().v4l2Ioctl(VIDIOC_S_FMT, &fmt), 0);
        grantW = fmt.fmt.pix.width;
        grantH = fmt.fmt.pix.height;
    }
    static void expectGranted(const SizeCase &c)
    {
        uint32_t w = 0, h = 0;
        setFormat(c.askW, c.askH, w, h);
        EXPECT_EQ(w, c.grantW) << "asked " << c.askW << "x" << c.askH;
        EXPECT_EQ(h, c.grantH) << "asked " << c.askW << "x" << c.askH;
    }
};

TEST_F(VividPresetTest, FourNodesShareTheModaliasAndOnlyTheFirstCaptures)
{
    for (int node = 0; node < 4; ++node) {
        ASSERT_NE(hw().camera(node), nullptr) << node;
        EXPECT_EQ(hw().camera(node)->config().modalias, "platform:vivid") << node;
        const bool captures = hw().camera(node)->config().capabilities & V4L2_CAP_VIDEO_CAPTURE;
        EXPECT_EQ(captures, node == 0) << node;
    }
    EXPECT_EQ(hw().camera(4), nullptr);

    const int fd = zq_scanner_open_index(4);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(hw().cameraForFd(fd), &capture()) << "the lowest node wins";
    zq_scanner_close(fd);
}

TEST_F(VividPresetTest, ControlsReadAndWriteAsOnTheDriver)
{
    for (int cid : {V4L2_CID_BRIGHTNESS, V4L2_CID_CONTRAST, V4L2_CID_SATURATION}) {
        EXPECT_EQ(capture().getControl(cid), 32896) << "default 128 of 0..255";
        ASSERT_EQ(capture().setControl(cid, 16384), 0);
        EXPECT_EQ(capture().controlValue(cid), 64);
        EXPECT_EQ(capture().getControl(cid), 16448);
        ASSERT_EQ(capture().setControl(cid, 65535), 0);
        EXPECT_EQ(capture().controlValue(cid), 255);
    }
    EXPECT_EQ(capture().getControl(V4L2_CID_HUE), 32768) << "default 0 of -128..128";
    ASSERT_EQ(capture().setControl(V4L2_CID_HUE, 16384), 0);
    EXPECT_EQ(capture().controlValue(V4L2_CID_HUE), -64);
    ASSERT_EQ(capture().setControl(V4L2_CID_HUE, 65535), 0);
    EXPECT_EQ(capture().controlValue(V4L2_CID_HUE), 128);
}

TEST_F(VividPresetTest, GrantsTheSizeWithTheLeastSumOfDifferences)
{
    const SizeCase cases[] = {
        {1280, 720, 1280, 720}, {1000, 700, 1280, 720}, {100, 100, 320, 180},
        {1300, 300, 1280, 720}, {480, 420, 640, 480},
    };
    for (const SizeCase &c : cases)
        expectGranted(c);
}

TEST_F(VividPresetTest, SharedAreaRuleChoosesDifferentlyOnTheSameSizes)
{
    // The UVC driver's rule, on the same sizes, prefers the smaller frames.
    capture().config().sizeMatch = SizeMatch::SharedArea;
    expectGranted({1300, 300, 640, 360});
    expectGranted({480, 420, 640, 360});
}
