// The preview read on the virtual hardware: a camera's MJPEG read small and
// its frame decoded whole on demand, an RGB24 camera reduced by averaging,
// and corrupt JPEG frames that never reach the screen.
#include "sim_fixture.h"
#include <zqscan/zq_scanner.h>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <cerrno>
#include <vector>

using namespace zq::sim;

namespace
{

class PreviewTest : public SimTest
{
  protected:
    int open(CameraConfig config)
    {
        config.sensorNoise = 0;
        camera_ = &addCamera(0, std::move(config));
        const int fd = zq_scanner_open_index(1);
        EXPECT_GE(fd, 0);
        return fd;
    }
    // Mean difference per byte from what the camera looks at, reduced by
    // OpenCV's area averaging to the size of picture.
    double differenceFromScene(const unsigned char *picture, int w, int h)
    {
        const cv::Mat scene(int(camera_->height()), int(camera_->width()), CV_8UC3,
                            const_cast<uint8_t *>(camera_->picture().data()));
        cv::Mat expected;
        cv::resize(scene, expected, cv::Size(w, h), 0, 0, cv::INTER_AREA);
        const cv::Mat shown(h, w, CV_8UC3, const_cast<unsigned char *>(picture));
        return cv::norm(shown, expected, cv::NORM_L1) / double(expected.total() * 3);
    }
    // Reads a preview frame at 1/denominator: it must be w x h and show
    // the scene.
    void expectPreviewOfScene(int fd, int denominator, int w, int h)
    {
        unsigned char *picture = nullptr;
        int pw = 0, ph = 0;
        ASSERT_EQ(zq_scanner_preview_read(fd, denominator, &picture, &pw, &ph), 0);
        EXPECT_EQ(pw, w);
        EXPECT_EQ(ph, h);
        EXPECT_LT(differenceFromScene(picture, pw, ph), 3.0);
    }

    VirtualCamera *camera_ = nullptr;
};

TEST_F(PreviewTest, MjpegIsReadSmallAndItsFrameDecodedWholeOnDemand)
{
    const int fd = open(CameraConfig::documentCamera());
    int w = 1920, h = 1080;
    ASSERT_EQ(zq_scanner_init_preview(fd, &w, &h), ZQ_PREVIEW_JPEG);
    EXPECT_EQ(camera_->pixelFormat(), V4L2_PIX_FMT_MJPEG);
    unsigned char *rgb = nullptr;
    int len = 0;
    EXPECT_EQ(zq_scanner_picture_read(fd, &rgb, &len), -1) << "JPEG is no RGB24 frame";

    expectPreviewOfScene(fd, 4, 480, 270);

    const unsigned char *jpeg = nullptr;
    size_t size = 0;
    ASSERT_EQ(zq_scanner_preview_frame(fd, &jpeg, &size), ZQ_PREVIEW_JPEG);
    int fw = 0, fh = 0;
    ASSERT_EQ(zq_scanner_jpeg_decode(jpeg, size, 1, nullptr, 0, &fw, &fh), 0);
    ASSERT_EQ(fw, w);
    ASSERT_EQ(fh, h);
    std::vector<unsigned char> whole(size_t(fw) * fh * 3);
    EXPECT_EQ(zq_scanner_jpeg_decode(jpeg, size, 1, whole.data(), whole.size() - 1, &fw, &fh), -1);
    ASSERT_EQ(zq_scanner_jpeg_decode(jpeg, size, 1, whole.data(), whole.size(), &fw, &fh), 0);
    EXPECT_LT(differenceFromScene(whole.data(), fw, fh), 3.0);
    EXPECT_EQ(zq_scanner_jpeg_decode(jpeg, size / 2, 1, whole.data(), whole.size(), &fw, &fh), -1)
        << "a frame cut short";
    zq_scanner_close(fd);
    EXPECT_EQ(zq_scanner_preview_frame(fd, &jpeg, &size), -1);
}

TEST_F(PreviewTest, CameraWithoutMjpegIsReducedByAveraging)
{
    CameraConfig yuyv = CameraConfig::documentCamera();
    yuyv.formats = {{V4L2_PIX_FMT_YUYV, {FrameSize::discrete(1280, 720)}}};
    const int fd = open(yuyv);
    int w = 1280, h = 720;
    ASSERT_EQ(zq_scanner_init_preview(fd, &w, &h), ZQ_PREVIEW_RGB24);
    expectPreviewOfScene(fd, 8, 160, 90);
    const unsigned char *frame = nullptr;
    size_t size = 0;
    ASSERT_EQ(zq_scanner_preview_frame(fd, &frame, &size), ZQ_PREVIEW_RGB24);
    EXPECT_EQ(size, size_t(w) * h * 3);
    unsigned char *picture = nullptr;
    int pw = 0, ph = 0;
    EXPECT_EQ(zq_scanner_preview_read(fd, 3, &picture, &pw, &ph), -1);
    zq_scanner_close(fd);
}

TEST_F(PreviewTest, CorruptJpegFramesAreSkippedAndNeverShown)
{
    const int fd = open(CameraConfig::documentCamera());
    int w = 1280, h = 720;
    ASSERT_EQ(zq_scanner_init_preview(fd, &w, &h), ZQ_PREVIEW_JPEG);
    unsigned char *picture = nullptr;
    int pw = 0, ph = 0;
    camera_->sendBrokenFrames(1);
    ASSERT_EQ(zq_scanner_preview_read(fd, 2, &picture, &pw, &ph), 0);
    EXPECT_EQ(camera_->framesDelivered(), 2) << "the broken one and the next";
    EXPECT_LT(differenceFromScene(picture, pw, ph), 3.0);

    camera_->sendBrokenFrames(5);
    errno = 0;
    EXPECT_EQ(zq_scanner_preview_read(fd, 2, &picture, &pw, &ph), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(zq_scanner_preview_read(fd, 2, &picture, &pw, &ph), 0);
    zq_scanner_close(fd);
}

TEST(PreviewDenominator, LargestThatStillGivesWhatIsNeeded)
{
    EXPECT_EQ(zq_scanner_preview_denominator(4208, 3120, 640, 480), 4);
    EXPECT_EQ(zq_scanner_preview_denominator(4208, 3120, 526, 390), 8);
    EXPECT_EQ(zq_scanner_preview_denominator(4208, 3120, 1100, 480), 2);
    EXPECT_EQ(zq_scanner_preview_denominator(640, 480, 640, 480), 1);
}

} // namespace
