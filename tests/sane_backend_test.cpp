// The SANE backend through its C entry points, on the virtual hardware:
// option checks, exact parameters, a page cut as zqpage cuts it, and what
// a front end sees when it cancels, when the camera is busy and when it is
// unplugged.
#include "sim_fixture.h"
#include "temp_dir.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <fcntl.h>
#include <linux/videodev2.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

extern "C" {
SANE_Status sane_zqscan_init(SANE_Int *, SANE_Auth_Callback);
void sane_zqscan_exit(void);
SANE_Status sane_zqscan_get_devices(const SANE_Device ***, SANE_Bool);
SANE_Status sane_zqscan_open(SANE_String_Const, SANE_Handle *);
void sane_zqscan_close(SANE_Handle);
const SANE_Option_Descriptor *sane_zqscan_get_option_descriptor(SANE_Handle, SANE_Int);
SANE_Status sane_zqscan_control_option(SANE_Handle, SANE_Int, SANE_Action, void *, SANE_Int *);
SANE_Status sane_zqscan_get_parameters(SANE_Handle, SANE_Parameters *);
SANE_Status sane_zqscan_start(SANE_Handle);
SANE_Status sane_zqscan_read(SANE_Handle, SANE_Byte *, SANE_Int, SANE_Int *);
void sane_zqscan_cancel(SANE_Handle);
}

namespace
{

using Clock = std::chrono::steady_clock;

class SaneBackendTest : public SimTest
{
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        zq::sim::CameraConfig config = zq::sim::CameraConfig::documentCamera();
        config.scene = zq::sim::sceneOnDesk(zq::sim::Desk::Mat);
        config.scene.pageWidth = 0.4;
        config.scene.angleDeg = 6;
        config.sensorNoise = 0; // every frame alike: the scan's frame is the camera's picture
        camera_ = &addCamera(0, config);
        ASSERT_EQ(sane_zqscan_init(nullptr, nullptr), SANE_STATUS_GOOD);
        ASSERT_EQ(sane_zqscan_open("0ac8:3370", &handle_), SANE_STATUS_GOOD);
    }
    void TearDown() override
    {
        sane_zqscan_exit();
        SimTest::TearDown();
    }

    SANE_Int optionNamed(const char *name)
    {
        for (SANE_Int i = 1;
             const SANE_Option_Descriptor *d = sane_zqscan_get_option_descriptor(handle_, i); ++i)
            if (d->name && std::strcmp(d->name, name) == 0)
                return i;
        ADD_FAILURE() << "no option " << name;
        return 0;
    }
    SANE_Status set(const char *name, const void *value, SANE_Int *info = nullptr)
    {
        return sane_zqscan_control_option(handle_, optionNamed(name), SANE_ACTION_SET_VALUE,
                                          const_cast<void *>(value), info);
    }
    SANE_Status setWord(const char *name, SANE_Word value, SANE_Int *info = nullptr)
    {
        return set(name, &value, info);
    }
    // The whole image of a started scan, read in odd-sized pieces.
    std::vector<SANE_Byte> readAll(SANE_Status &end)
    {
        std::vector<SANE_Byte> image;
        SANE_Byte piece[1000];
        SANE_Int length = 0;
        while ((end = sane_zqscan_read(handle_, piece, sizeof(piece), &length)) == SANE_STATUS_GOOD)
            image.insert(image.end(), piece, piece + length);
        return image;
    }

    zq::sim::VirtualCamera *camera_ = nullptr;
    SANE_Handle handle_ = nullptr;
};

TEST_F(SaneBackendTest, ListsTheCameraAsADocumentCamera)
{
    const SANE_Device **devices = nullptr;
    ASSERT_EQ(sane_zqscan_get_devices(&devices, SANE_TRUE), SANE_STATUS_GOOD);
    ASSERT_NE(devices[0], nullptr);
    EXPECT_STREQ(devices[0]->name, "0ac8:3370");
    EXPECT_STREQ(devices[0]->type, "document camera");
    EXPECT_EQ(devices[1], nullptr);
}

TEST_F(SaneBackendTest, RefusesValuesOutsideTheOptionsChoices)
{
    EXPECT_EQ(set(SANE_NAME_SCAN_MODE, "Lineart"), SANE_STATUS_INVAL);
    EXPECT_EQ(set(SANE_NAME_SCAN_SOURCE, "Transparency"), SANE_STATUS_INVAL);
    EXPECT_EQ(setWord(SANE_NAME_SCAN_RESOLUTION, 12345), SANE_STATUS_INVAL);
    EXPECT_EQ(setWord("clear-background", 2), SANE_STATUS_INVAL);
    EXPECT_EQ(setWord(SANE_NAME_BRIGHTNESS, 101), SANE_STATUS_INVAL);
    // The geometry belongs to the whole frame, the timeout to Automatic.
    EXPECT_EQ(setWord(SANE_NAME_SCAN_TL_X, 10), SANE_STATUS_INVAL);
    EXPECT_EQ(setWord("page-timeout", 5), SANE_STATUS_INVAL);
    SANE_Int info = 0;
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "Automatic", &info), SANE_STATUS_GOOD);
    EXPECT_TRUE(info & SANE_INFO_RELOAD_OPTIONS);
    EXPECT_EQ(setWord("page-timeout", 0), SANE_STATUS_INVAL);
    EXPECT_EQ(setWord("page-timeout", 5), SANE_STATUS_GOOD);
}

TEST_F(SaneBackendTest, FlatbedAndAdfAreAnotherNameForPageAndAutomatic)
{
    SANE_Int info = 0;
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "ADF", &info), SANE_STATUS_GOOD);
    EXPECT_TRUE(info & SANE_INFO_RELOAD_OPTIONS);
    EXPECT_EQ(setWord("page-timeout", 5), SANE_STATUS_GOOD);
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "Flatbed"), SANE_STATUS_GOOD);
    EXPECT_EQ(setWord("page-timeout", 5), SANE_STATUS_INVAL);
    char source[32] = "";
    ASSERT_EQ(sane_zqscan_control_option(handle_, optionNamed(SANE_NAME_SCAN_SOURCE),
                                         SANE_ACTION_GET_VALUE, source, nullptr),
              SANE_STATUS_GOOD);
    EXPECT_STREQ(source, "Flatbed");
}

TEST_F(SaneBackendTest, WholeFrameParametersAreExactBeforeAndAfterTheStart)
{
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "Whole frame"), SANE_STATUS_GOOD);
    ASSERT_EQ(set(SANE_NAME_SCAN_MODE, SANE_VALUE_SCAN_MODE_GRAY), SANE_STATUS_GOOD);
    ASSERT_EQ(setWord(SANE_NAME_SCAN_TL_X, 10), SANE_STATUS_GOOD);
    ASSERT_EQ(setWord(SANE_NAME_SCAN_BR_Y, 101), SANE_STATUS_GOOD);
    SANE_Parameters before{}, after{};
    ASSERT_EQ(sane_zqscan_get_parameters(handle_, &before), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_zqscan_start(handle_), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_zqscan_get_parameters(handle_, &after), SANE_STATUS_GOOD);
    EXPECT_EQ(before.format, SANE_FRAME_GRAY);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof(before)), 0);
    EXPECT_EQ(before.lines, 101);
    SANE_Status end;
    EXPECT_EQ(readAll(end).size(), size_t(after.bytes_per_line) * size_t(after.lines));
    EXPECT_EQ(end, SANE_STATUS_EOF);
}

// The page as zqpage cuts it out of the same frame, to the byte.
TEST_F(SaneBackendTest, APageScanIsThePageZqpageCutsFromTheFrame)
{
    SANE_Parameters whole{};
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "Whole frame"), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_zqscan_get_parameters(handle_, &whole), SANE_STATUS_GOOD);
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "Page"), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_zqscan_start(handle_), SANE_STATUS_GOOD);
    SANE_Parameters p{};
    ASSERT_EQ(sane_zqscan_get_parameters(handle_, &p), SANE_STATUS_GOOD);
    SANE_Status end;
    const std::vector<SANE_Byte> scan = readAll(end);
    ASSERT_EQ(end, SANE_STATUS_EOF);
    ASSERT_EQ(scan.size(), size_t(p.bytes_per_line) * size_t(p.lines));

    const std::vector<uint8_t> frame = camera_->lastFrame();
    zq::test::TempDir dir;
    const int w = p.pixels_per_line, h = p.lines;
    ASSERT_EQ(frame.size(), size_t(whole.bytes_per_line) * size_t(whole.lines));
    cv::Mat rgb(whole.lines, whole.pixels_per_line, CV_8UC3, const_cast<uint8_t *>(frame.data()));
    ASSERT_LT(w, rgb.cols) << "a page, not the frame";
    cv::Mat bgr;
    cv::cvtColor(rgb, bgr, cv::COLOR_RGB2BGR);
    ASSERT_TRUE(cv::imwrite(dir / "frame.png", bgr));
    const std::string command = std::string(ZQPAGE_PATH) + " --format png -o " + dir.path() +
                                "/pages " + (dir / "frame.png") + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    cv::Mat page = cv::imread(dir / "pages/frame.png");
    ASSERT_EQ(page.cols, w);
    ASSERT_EQ(page.rows, h);
    cv::cvtColor(page, page, cv::COLOR_BGR2RGB);
    EXPECT_EQ(std::memcmp(page.data, scan.data(), scan.size()), 0);
}

TEST_F(SaneBackendTest, CancelEndsAReadAndAWaitForAPage)
{
    ASSERT_EQ(sane_zqscan_start(handle_), SANE_STATUS_GOOD);
    SANE_Byte piece[100];
    SANE_Int length = 0;
    ASSERT_EQ(sane_zqscan_read(handle_, piece, sizeof(piece), &length), SANE_STATUS_GOOD);
    sane_zqscan_cancel(handle_);
    EXPECT_EQ(sane_zqscan_read(handle_, piece, sizeof(piece), &length), SANE_STATUS_CANCELLED);

    // The page in view is taken once; the next start waits for another.
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "Automatic"), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_zqscan_start(handle_), SANE_STATUS_GOOD);
    sane_zqscan_cancel(handle_);
    const auto started = Clock::now();
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        sane_zqscan_cancel(handle_);
    });
    EXPECT_EQ(sane_zqscan_start(handle_), SANE_STATUS_CANCELLED);
    canceller.join();
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(10)); // not the 30 s page timeout
}

TEST_F(SaneBackendTest, AnUnpluggedCameraIsAnIoError)
{
    ASSERT_EQ(set(SANE_NAME_SCAN_SOURCE, "Automatic"), SANE_STATUS_GOOD);
    ASSERT_EQ(sane_zqscan_start(handle_), SANE_STATUS_GOOD);
    sane_zqscan_cancel(handle_);
    std::thread unplug([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        camera_->unplug();
    });
    EXPECT_EQ(sane_zqscan_start(handle_), SANE_STATUS_IO_ERROR);
    unplug.join();
    EXPECT_EQ(sane_zqscan_start(handle_), SANE_STATUS_IO_ERROR);
}

TEST_F(SaneBackendTest, ACameraStreamingElsewhereIsBusy)
{
    SANE_Handle second = nullptr;
    EXPECT_EQ(sane_zqscan_open("0ac8:3370", &second), SANE_STATUS_DEVICE_BUSY);
    sane_zqscan_close(handle_);
    // Another program holds the camera's buffers, as zqvideo does.
    const int other = hw().open("/dev/video0", O_RDWR, false);
    v4l2_requestbuffers request{};
    request.count = 2;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    ASSERT_EQ(hw().ioctl(other, VIDIOC_REQBUFS, &request, false), 0);
    EXPECT_EQ(sane_zqscan_open("0ac8:3370", &second), SANE_STATUS_DEVICE_BUSY);
    hw().close(other, false);
}

} // namespace
