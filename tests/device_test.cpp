// Camera discovery, streaming, frame reading and the resolution list, on
// the virtual hardware.
#include "sim_fixture.h"
#include <zqscan/zq_scanner.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <utility>

using namespace zq::sim;

namespace
{

CameraConfig cameraWithModalias(std::optional<std::string> modalias)
{
    CameraConfig c = CameraConfig::documentCamera();
    c.modalias = std::move(modalias);
    return c;
}

// A camera that sends RGB24 itself: libv4l2 passes its frames on unconverted.
CameraConfig rgb24Camera()
{
    CameraConfig c = CameraConfig::documentCamera();
    c.formats = {{V4L2_PIX_FMT_RGB24, {FrameSize::discrete(640, 480)}}};
    return c;
}

const char *const kId3370 = "usb:v0AC8p3370d0100dcEFdsc02dp01ic0Eisc01ip00in00";
const char *const kId3580 = "usb:v0AC8p3580d0100dcEFdsc02dp01ic0Eisc01ip00in00";

} // namespace

// ---- discovery ---------------------------------------------------------------

class OpenTest : public SimTest
{
  protected:
    // The camera that opening this index finds, closed again; none when
    // the open fails.
    VirtualCamera *cameraOpenedAt(int index)
    {
        const int fd = zq_scanner_open_index(index);
        if (fd < 0)
            return nullptr;
        VirtualCamera *camera = hw().cameraForFd(fd);
        zq_scanner_close(fd);
        return camera;
    }
};

TEST_F(OpenTest, NonPositiveIndexOpensNothing)
{
    addCamera(0);
    EXPECT_EQ(zq_scanner_open_index(0), -1);
    EXPECT_EQ(zq_scanner_open_index(-5), -1);
    EXPECT_EQ(hw().openDescriptors(), 0);
    EXPECT_EQ(hw().camera(0)->requestCount(kRequestOpen), 0);
}

TEST_F(OpenTest, IndexSelectsCameraByProductId)
{
    addCamera(3, cameraWithModalias(kId3580));
    EXPECT_EQ(cameraOpenedAt(2), hw().camera(3));

    EXPECT_EQ(zq_scanner_open_index(1), -1);
    EXPECT_EQ(zq_scanner_open_index(3), -1);
    EXPECT_EQ(hw().openDescriptors(), 0) << "the modalias files are closed again";
}

TEST_F(OpenTest, PresentFollowsWhatOpenWouldFind)
{
    addCamera(3, cameraWithModalias(kId3580));
    EXPECT_EQ(zq_scanner_present(2), 1);
    EXPECT_EQ(zq_scanner_present(1), 0);
    EXPECT_EQ(zq_scanner_present(3), 0);
    EXPECT_EQ(zq_scanner_present(0), 0);
    EXPECT_EQ(hw().camera(3)->requestCount(kRequestOpen), 0) << "the camera itself is not opened";
    EXPECT_EQ(hw().openDescriptors(), 0);
}

TEST_F(OpenTest, HighIndexTakesAnyNodeWithModalias)
{
    addCamera(2, cameraWithModalias("platform:vivid"));
    for (int index : {4, 9})
        EXPECT_EQ(cameraOpenedAt(index), hw().camera(2)) << index;
}

TEST_F(OpenTest, EmptyModaliasStillCountsForHighIndex)
{
    addCamera(1, cameraWithModalias(""));
    EXPECT_EQ(cameraOpenedAt(4), hw().camera(1));
    EXPECT_EQ(zq_scanner_open_index(1), -1);
}

TEST_F(OpenTest, LowestMatchingNodeWins)
{
    addCamera(0, cameraWithModalias(kId3370));
    addCamera(1, cameraWithModalias(kId3370));
    EXPECT_EQ(cameraOpenedAt(1), hw().camera(0));
}

TEST_F(OpenTest, NodesFromTenOnAreNotExamined)
{
    addCamera(10, cameraWithModalias(kId3370));
    EXPECT_EQ(zq_scanner_open_index(1), -1);
    EXPECT_EQ(zq_scanner_open_index(4), -1);
}

TEST_F(OpenTest, MissingOrUnreadableModaliasIsSkipped)
{
    addCamera(0, cameraWithModalias(std::nullopt));
    CameraConfig unreadable = cameraWithModalias(kId3370);
    unreadable.modaliasReadable = false;
    addCamera(1, unreadable);
    addCamera(2, cameraWithModalias(kId3370));
    EXPECT_EQ(cameraOpenedAt(1), hw().camera(2));
}

TEST_F(OpenTest, MatchIsCaseSensitive)
{
    addCamera(0, cameraWithModalias("usb:v0ac8p3370d0100"));
    EXPECT_EQ(zq_scanner_open_index(1), -1);
}

TEST_F(OpenTest, FailedOpenDoesNotTryFurtherNodes)
{
    addCamera(1, cameraWithModalias(kId3370)).failRequest(kRequestOpen, 1, EBUSY);
    addCamera(2, cameraWithModalias(kId3370));
    errno = 0;
    EXPECT_EQ(zq_scanner_open_index(1), -1);
    EXPECT_EQ(errno, EBUSY);
    EXPECT_EQ(hw().camera(2)->requestCount(kRequestOpen), 0);
    EXPECT_EQ(hw().openDescriptors(), 0);
}

TEST_F(OpenTest, OpenWithoutIndexNeverOpens)
{
    addCamera(0);
    EXPECT_EQ(zq_scanner_open(), -1);
    EXPECT_EQ(hw().openDescriptors(), 0);
}

// ---- streaming -----------------------------------------------------------------

class StreamTest : public SimTest
{
  protected:
    int open(CameraConfig config = CameraConfig::documentCamera())
    {
        camera_ = &addCamera(0, std::move(config));
        const int fd = zq_scanner_open_index(1);
        EXPECT_GE(fd, 0);
        return fd;
    }

    // The document camera, granting only this many of the buffers asked for.
    int openGranting(uint32_t buffers)
    {
        CameraConfig config = CameraConfig::documentCamera();
        config.grantedBuffers = buffers;
        return open(config);
    }

    // After close nothing may stay mapped, unmapped twice or open.
    void closeAndExpectReleased(int fd)
    {
        zq_scanner_close(fd);
        EXPECT_EQ(camera_->mappedBuffers(), 0);
        EXPECT_EQ(camera_->badUnmaps(), 0);
        EXPECT_FALSE(camera_->streaming());
        EXPECT_EQ(hw().openDescriptors(), 0);
    }

    // For the tests that try one camera after another.
    void closeAndRemoveTheCamera(int fd)
    {
        closeAndExpectReleased(fd);
        hw().reset();
    }

    VirtualCamera *camera_ = nullptr;
};

TEST_F(StreamTest, GrantsRequestedSizeAndDeliversWholeFrames)
{
    const int fd = open();
    int w = 1280, h = 720;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    EXPECT_EQ(camera_->mappedBuffers(), 4);

    std::set<unsigned char *> slots;
    for (int i = 0; i < 10; ++i) {
        unsigned char *picture = nullptr;
        int len = 0;
        ASSERT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
        ASSERT_EQ(len, 1280 * 720 * 3);
        EXPECT_EQ(std::memcmp(picture, camera_->lastFrame().data(), len), 0);
        slots.insert(picture);
    }
    EXPECT_EQ(slots.size(), 4u) << "frames come from the four mapped slots in turn";
    closeAndExpectReleased(fd);
}

// libv4l2 on a UVC camera takes the largest size that fits the request,
// or the smallest size when none does.
TEST_F(StreamTest, UnsupportedSizeGetsWhatLibv4l2Picks)
{
    const struct {
        int askW, askH, grantW, grantH;
    } cases[] = {{1000, 700, 640, 480}, {2000, 1500, 1920, 1080}, {100, 100, 640, 480}};
    for (const auto &c : cases) {
        const int fd = open();
        int w = c.askW, h = c.askH;
        ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
        EXPECT_EQ(w, c.grantW);
        EXPECT_EQ(h, c.grantH);
        unsigned char *picture;
        int len;
        ASSERT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
        EXPECT_EQ(len, c.grantW * c.grantH * 3);
        closeAndRemoveTheCamera(fd);
    }
}

TEST_F(StreamTest, NodeWithoutCaptureIsRefused)
{
    CameraConfig config = CameraConfig::documentCamera();
    config.capabilities = V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING;
    const int fd = open(config);
    int w = 640, h = 480;
    EXPECT_EQ(zq_scanner_init(fd, &w, &h), -1);
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    EXPECT_EQ(camera_->requestCount(VIDIOC_S_FMT), 0);
    closeAndExpectReleased(fd);
}

TEST_F(StreamTest, ImpossibleSizesAreRefusedBeforeAskingTheCamera)
{
    const int fd = open();
    // libv4l2 asks the camera a few things itself when it is opened.
    const int queries = camera_->requestCount(VIDIOC_QUERYCAP);
    for (auto [w, h] :
         {std::pair{-1, 480}, {640, -2147483647 - 1}, {65536, 480}, {640, 2147483647}}) {
        const int askedW = w, askedH = h;
        EXPECT_EQ(zq_scanner_init(fd, &w, &h), -1) << askedW << " x " << askedH;
        EXPECT_EQ(w, askedW);
        EXPECT_EQ(h, askedH);
    }
    EXPECT_EQ(camera_->requestCount(VIDIOC_QUERYCAP), queries);
    EXPECT_EQ(camera_->requestCount(VIDIOC_S_FMT), 0);
    int w = 65535, h = 0;
    EXPECT_EQ(zq_scanner_init(fd, &w, &h), 0) << "the largest side is still asked for";
    closeAndExpectReleased(fd);
}

TEST_F(StreamTest, WorksWithTwoGrantedBuffers)
{
    const int fd = openGranting(2);
    int w = 640, h = 480;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    EXPECT_EQ(camera_->mappedBuffers(), 2);
    std::set<unsigned char *> slots;
    for (int i = 0; i < 6; ++i) {
        unsigned char *picture;
        int len;
        ASSERT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
        slots.insert(picture);
    }
    EXPECT_EQ(slots.size(), 2u);
    closeAndExpectReleased(fd);
}

TEST_F(StreamTest, ZeroGrantedBuffersFailAtStreamOn)
{
    const int fd = openGranting(0);
    int w = 640, h = 480;
    EXPECT_EQ(zq_scanner_init(fd, &w, &h), -1);
    EXPECT_EQ(camera_->requestCount(VIDIOC_STREAMON), 1);
    closeAndExpectReleased(fd);
}

struct InitFault {
    unsigned long request;
    int nth;
    bool sizeWritten; // *w and *h already hold the granted size
};

class InitFaultTest : public StreamTest, public testing::WithParamInterface<InitFault>
{
};

TEST_P(InitFaultTest, FailsAndCloseReleasesEverything)
{
    const InitFault fault = GetParam();
    const int fd = open();
    camera_->failRequest(fault.request, fault.nth, EIO);
    int w = 1000, h = 700;
    EXPECT_EQ(zq_scanner_init(fd, &w, &h), -1);
    EXPECT_EQ(w, fault.sizeWritten ? 640 : 1000);
    unsigned char *picture = nullptr;
    int len = -7;
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), -1);
    EXPECT_EQ(picture, nullptr);
    EXPECT_EQ(len, -7);
    closeAndExpectReleased(fd);

    // The module is usable again afterwards.
    const int again = zq_scanner_open_index(1);
    w = 640, h = 480;
    EXPECT_EQ(zq_scanner_init(again, &w, &h), 0);
    closeAndExpectReleased(again);
}

INSTANTIATE_TEST_SUITE_P(
    EachRequest, InitFaultTest,
    testing::Values(InitFault{VIDIOC_QUERYCAP, 1, false}, InitFault{VIDIOC_S_FMT, 1, false},
                    InitFault{VIDIOC_REQBUFS, 1, true}, InitFault{VIDIOC_QUERYBUF, 1, true},
                    InitFault{VIDIOC_QUERYBUF, 3, true}, InitFault{kRequestMmap, 1, true},
                    InitFault{kRequestMmap, 4, true}, InitFault{VIDIOC_QBUF, 1, true},
                    InitFault{VIDIOC_QBUF, 4, true}, InitFault{VIDIOC_STREAMON, 1, true}));

// libv4lconvert cannot turn H.264 into RGB24, so libv4l2 grants the
// camera's own format; a camera that sends RGB24 itself gets no conversion,
// so its padded rows and short buffers reach the library.
TEST_F(StreamTest, FramesThatAreNotPackedRgb24AreRefused)
{
    CameraConfig notConverted = CameraConfig::documentCamera();
    notConverted.formats = {{V4L2_PIX_FMT_H264, {FrameSize::discrete(640, 480)}}};
    CameraConfig padded = rgb24Camera();
    padded.bytesPerLinePadding = 16;
    CameraConfig shortBuffers = rgb24Camera();
    shortBuffers.bufferLengthShortfall = 1;
    for (const CameraConfig &config : {notConverted, padded, shortBuffers}) {
        const int fd = open(config);
        int w = 640, h = 480;
        EXPECT_EQ(zq_scanner_init(fd, &w, &h), -1);
        EXPECT_FALSE(camera_->streaming());
        closeAndRemoveTheCamera(fd);
    }
}

// libv4lconvert writes past its buffer when it converts planar 4:2:0 of an
// odd width; at an even width it converts such a camera's frames.
TEST_F(StreamTest, PlanarYuvOfAnOddWidthIsRefused)
{
    for (const uint32_t fourcc : {V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420}) {
        for (const int width : {641, 640}) {
            CameraConfig planar = CameraConfig::documentCamera();
            planar.formats = {{fourcc, {FrameSize::discrete(width, 480)}}};
            const int fd = open(planar);
            int w = width, h = 480;
            EXPECT_EQ(zq_scanner_init(fd, &w, &h), width % 2 ? -1 : 0) << width;
            closeAndRemoveTheCamera(fd);
        }
    }
}

TEST_F(StreamTest, SecondInitWithoutCloseChangesNothing)
{
    const int fd = open();
    int w = 1280, h = 720;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    int w2 = 640, h2 = 480;
    EXPECT_EQ(zq_scanner_init(fd, &w2, &h2), -1);
    EXPECT_EQ(w2, 640);
    EXPECT_EQ(camera_->width(), 1280u);
    EXPECT_EQ(camera_->mappedBuffers(), 4);
    unsigned char *picture;
    int len;
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
    EXPECT_EQ(len, 1280 * 720 * 3);
    closeAndExpectReleased(fd);
}

TEST_F(StreamTest, ReadBeforeInitLeavesOutputsAlone)
{
    const int fd = open();
    unsigned char marker = 0;
    unsigned char *picture = &marker;
    int len = 42;
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), -1);
    EXPECT_EQ(picture, &marker);
    EXPECT_EQ(len, 42);
    zq_scanner_close(fd);
}

TEST_F(StreamTest, ShortFrameNeverReachesCaller)
{
    CameraConfig config = rgb24Camera();
    config.bytesUsedShortfall = 3;
    const int fd = open(config);
    int w = 640, h = 480;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    for (int i = 0; i < 6; ++i) { // every slot, so requeueing must work too
        unsigned char *picture = nullptr;
        int len = 0;
        EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), -1);
        EXPECT_EQ(picture, nullptr);
    }
    closeAndExpectReleased(fd);
}

TEST_F(StreamTest, StalledCameraGivesUpAfterBoundedWait)
{
    const int fd = open();
    int w = 640, h = 480;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    camera_->stopFrames();
    EXPECT_EQ(zq_scanner_frame_ready(fd), 0); // asks without waiting
    EXPECT_EQ(hw().sleptMicroseconds(), 0);
    unsigned char *picture = nullptr;
    int len = 0;
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), -1);
    EXPECT_EQ(hw().sleptMicroseconds(), ZQ_FRAME_WAIT_MS * 1000LL);
    camera_->stopFrames(false);
    EXPECT_EQ(zq_scanner_frame_ready(fd), 1);
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
    closeAndExpectReleased(fd);
}

TEST_F(StreamTest, UnpluggedCameraFailsReadsAndCloses)
{
    const int fd = open();
    int w = 640, h = 480;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    unsigned char *picture;
    int len;
    ASSERT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
    camera_->unplug();
    EXPECT_EQ(zq_scanner_present(1), 0);
    EXPECT_EQ(zq_scanner_frame_ready(fd), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), -1);
    zq_scanner_close(fd);
    EXPECT_EQ(camera_->mappedBuffers(), 0);
    EXPECT_EQ(hw().openDescriptors(), 0);
    camera_->plugIn();
    EXPECT_EQ(zq_scanner_present(1), 1);
}

TEST_F(StreamTest, FailedDequeueOrRequeueFailsRead)
{
    const int fd = open();
    int w = 640, h = 480;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    camera_->failRequest(VIDIOC_DQBUF, 1, EIO);
    unsigned char *picture = nullptr;
    int len = 0;
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), -1);
    EXPECT_EQ(picture, nullptr);

    camera_->failRequest(VIDIOC_QBUF, 1, EIO);
    EXPECT_EQ(zq_scanner_picture_read(fd, &picture, &len), -1);
    EXPECT_NE(picture, nullptr) << "the frame was taken before the requeue failed";
    closeAndExpectReleased(fd);
}

TEST_F(StreamTest, CloseAndReopenAtAnotherSize)
{
    int fd = open();
    int w = 1920, h = 1080;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    zq_scanner_close(fd);
    fd = zq_scanner_open_index(1);
    w = 640, h = 480;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    unsigned char *picture;
    int len;
    ASSERT_EQ(zq_scanner_picture_read(fd, &picture, &len), 0);
    EXPECT_EQ(len, 640 * 480 * 3);
    closeAndExpectReleased(fd);
}

// ---- the camera's own formats through libv4l2 -------------------------------

class NativeFormatTest : public StreamTest
{
  protected:
    // Mean difference per byte of a frame from the picture the camera looks at.
    double differenceFromPicture(const unsigned char *frame)
    {
        const std::vector<uint8_t> &picture = camera_->picture();
        double sum = 0;
        for (size_t i = 0; i < picture.size(); ++i)
            sum += std::abs(int(frame[i]) - int(picture[i]));
        return sum / double(picture.size());
    }
    unsigned char *read(int fd)
    {
        unsigned char *picture = nullptr;
        int len = 0;
        const int result = zq_scanner_picture_read(fd, &picture, &len);
        return result == 0 && len == int(camera_->width() * camera_->height() * 3) ? picture
                                                                                   : nullptr;
    }
};

TEST_F(NativeFormatTest, MjpegAndYuyvArriveAsRgb24CloseToThePicture)
{
    const struct {
        int w, h;
        uint32_t fourcc;
    } cases[] = {{640, 480, V4L2_PIX_FMT_YUYV}, {1920, 1080, V4L2_PIX_FMT_MJPEG}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.w);
        const int fd = open();
        int w = c.w, h = c.h;
        ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
        EXPECT_EQ(camera_->pixelFormat(), c.fourcc);
        const unsigned char *first = read(fd);
        ASSERT_NE(first, nullptr);
        const std::vector<uint8_t> firstFrame(first, first + size_t(w) * h * 3);
        const unsigned char *second = read(fd);
        ASSERT_NE(second, nullptr);
        EXPECT_LT(differenceFromPicture(firstFrame.data()), 3.0);
        EXPECT_LT(differenceFromPicture(second), 3.0);
        EXPECT_NE(std::memcmp(firstFrame.data(), second, firstFrame.size()), 0)
            << "the sensor's noise differs from frame to frame";
        closeAndRemoveTheCamera(fd);
    }
}

TEST_F(NativeFormatTest, BrokenMjpegFrameIsSkipped)
{
    const int fd = open();
    int w = 1280, h = 720;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    ASSERT_NE(read(fd), nullptr);
    for (int read = 0; read < 6; ++read) { // past the stream's first frames too
        camera_->sendBrokenFrames(1);
        const int delivered = camera_->framesDelivered();
        const unsigned char *frame = this->read(fd);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(camera_->framesDelivered(), delivered + 2) << "the broken one and the next";
        EXPECT_EQ(std::memcmp(frame, camera_->lastFrame().data(), size_t(w) * h * 3), 0);
    }
    closeAndExpectReleased(fd);
}

// libv4l2 gives up after four frames in a row that do not decode.
TEST_F(NativeFormatTest, CameraSendingOnlyBrokenFramesFailsReadsUntilItRecovers)
{
    const int fd = open();
    int w = 1280, h = 720;
    ASSERT_EQ(zq_scanner_init(fd, &w, &h), 0);
    camera_->sendBrokenFrames(8);
    EXPECT_EQ(read(fd), nullptr);
    EXPECT_EQ(camera_->framesDelivered(), 4);
    EXPECT_EQ(read(fd), nullptr);
    EXPECT_NE(read(fd), nullptr);
    closeAndExpectReleased(fd);
}

// ---- resolution list ----------------------------------------------------------

class ResolutionTest : public SimTest
{
  protected:
    std::string dump(std::vector<NativeFormat> formats, const char *initial = "")
    {
        CameraConfig config = CameraConfig::documentCamera();
        config.formats = std::move(formats);
        hw().reset();
        addCamera(0, config);
        const int fd = zq_scanner_open_index(1);
        char text[ZQ_RESOLUTION_LIST_MAX];
        std::strcpy(text, initial);
        zq_scanner_resolution_dump(fd, text);
        zq_scanner_close(fd);
        return text;
    }
};

TEST_F(ResolutionTest, LastFormatsSizesInCameraOrder)
{
    EXPECT_EQ(dump({{V4L2_PIX_FMT_MJPEG,
                     {FrameSize::discrete(640, 480), FrameSize::discrete(1920, 1080)}},
                    {V4L2_PIX_FMT_YUYV, {FrameSize::discrete(640, 480)}}}),
              "640*480,");
    EXPECT_EQ(dump({{V4L2_PIX_FMT_YUYV,
                     {FrameSize::discrete(1920, 1080), FrameSize::discrete(640, 480),
                      FrameSize::discrete(640, 480)}}}),
              "1920*1080,640*480,640*480,");
}

TEST_F(ResolutionTest, RangesAndLongEntries)
{
    EXPECT_EQ(dump({{V4L2_PIX_FMT_YUYV, {FrameSize::continuous(16, 16, 4096, 2160)}}}, "keep"),
              "keep");
    EXPECT_EQ(dump({{V4L2_PIX_FMT_YUYV, {FrameSize::stepwise(320, 240, 2592, 1944, 16, 8)}}}),
              "2592*1944,");
    EXPECT_EQ(dump({{V4L2_PIX_FMT_YUYV,
                     {FrameSize::discrete(12345, 23456), FrameSize::discrete(640, 480)}}}),
              "12345*23456640*480,");
}

TEST_F(ResolutionTest, NoFormatLeavesTextAlone)
{
    EXPECT_EQ(dump({}), "");
    EXPECT_EQ(dump({}, "1280*720,"), "1280*720,");
}

TEST_F(ResolutionTest, LongListStopsAtWholeEntries)
{
    NativeFormat many{V4L2_PIX_FMT_YUYV, {}};
    std::string full;
    for (uint32_t i = 0; i < 600; ++i) {
        many.sizes.push_back(FrameSize::discrete(1000 + i, 700 + i));
        full += std::to_string(1000 + i) + "*" + std::to_string(700 + i) + ",";
    }
    const std::string text = dump({many});
    EXPECT_LT(text.size(), size_t(ZQ_RESOLUTION_LIST_MAX));
    EXPECT_GT(text.size(), size_t(ZQ_RESOLUTION_LIST_MAX) - 12);
    EXPECT_EQ(full.compare(0, text.size(), text), 0);
    EXPECT_EQ(text.back(), ',');
}
