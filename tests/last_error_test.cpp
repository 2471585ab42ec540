// What libzqscan says: why a call failed (zq_last_error, per thread) and
// the lines it prints (zq_set_log_handler), on the virtual hardware.
#include "sim_fixture.h"
#include "temp_dir.h"
#include <zqscan/ChipCamera.h>
#include <zqscan/zq_messages.h>
#include <zqscan/zq_opencv.h>
#include <zqscan/zq_pdf.h>
#include <zqscan/zq_scanner.h>

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

using namespace zq::sim;
using zq::test::TempDir;

namespace
{

// Whether the thread's last error mentions every part.
testing::AssertionResult says(std::initializer_list<std::string> parts)
{
    const std::string text = zq_last_error();
    for (const std::string &part : parts)
        if (text.find(part) == std::string::npos)
            return testing::AssertionFailure() << '"' << text << "\" lacks \"" << part << '"';
    return testing::AssertionSuccess();
}

} // namespace

class LastErrorTest : public SimTest
{
};

TEST_F(LastErrorTest, CameraAccess)
{
    EXPECT_EQ(zq_scanner_open_index(1), -1);
    EXPECT_TRUE(says({"no camera for index 1"}));

    addCamera(0).failRequest(kRequestOpen, 1, EBUSY);
    EXPECT_EQ(zq_scanner_open_index(1), -1);
    EXPECT_TRUE(says({"/dev/video0", std::strerror(EBUSY)}));

    const int fd = zq_scanner_open_index(1);
    ASSERT_GE(fd, 0);
    hw().camera(0)->failRequest(VIDIOC_REQBUFS, 1, EIO);
    int w = 640, h = 480;
    EXPECT_EQ(zq_scanner_init(fd, &w, &h), -1);
    EXPECT_TRUE(says({"VIDIOC_REQBUFS", std::strerror(EIO)}));
    w = 70000;
    EXPECT_EQ(zq_scanner_init(fd, &w, &h), -1);
    EXPECT_TRUE(says({"70000 x 480"}));
    zq_scanner_close(fd);

    EXPECT_EQ(zq_scanner_set_contrast(fd, 100), -1);
    EXPECT_TRUE(says({"contrast", std::strerror(EBADF)}));
    const unsigned char notJpeg[16] = {};
    EXPECT_EQ(zq_scanner_jpeg_decode(notJpeg, sizeof notJpeg, 3, nullptr, 0, &w, &h), -1);
    EXPECT_TRUE(says({"denominator 3"}));
}

TEST_F(LastErrorTest, PicturesAndWriters)
{
    TempDir dir;
    const std::string path = dir / "missing/page.jpg";
    std::vector<unsigned char> picture(8 * 8 * 3, 128);
    errno = 0;
    EXPECT_EQ(zq_scanner_picture_save(path.c_str(), picture.data(), 8, 8, 90), -1);
    EXPECT_EQ(errno, ENOENT) << "recording the reason keeps errno";
    EXPECT_TRUE(says({path, std::strerror(ENOENT)}));
    EXPECT_EQ(zq_scanner_picture_save_tiff(path.c_str(), picture.data(), 0, 8, 90), -1);
    EXPECT_TRUE(says({"0 x 8"}));

    zq_scanner_picture_rotate_90(picture.data(), -8, 8);
    EXPECT_TRUE(says({"-8 x 8"})) << "a call without a result says why it did nothing";
}

TEST_F(LastErrorTest, ImageProcessing)
{
    std::vector<unsigned char> black(640 * 480 * 3, 0);
    EXPECT_EQ(zq_scanner_cutting_edge_auto(black.data(), 640, 480), 1);
    EXPECT_TRUE(says({"zq_scanner_dllinit"})) << "before the storage is prepared";

    zq_scanner_dllinit();
    EXPECT_EQ(zq_scanner_cutting_edge_auto(black.data(), 640, 480), 1);
    EXPECT_TRUE(says({"no page", "640 x 480"}));
    EXPECT_EQ(zq_scanner_book_find(black.data(), 640, 480), 0);
    EXPECT_EQ(zq_scanner_book_page_do(black.data(), 640, 480, 1, 1, nullptr, 0, nullptr, nullptr),
              -1);
    EXPECT_TRUE(says({"no page 1"}));
    zq_scanner_dllunit();

    EXPECT_EQ(zq_scanner_clear_background(nullptr, 640, 480), 1);
    EXPECT_TRUE(says({"no frame"}));
}

TEST_F(LastErrorTest, PdfHandOffGivesWhatPdfErrorGives)
{
    TempDir dir;
    const std::string missing = dir / "none.jpg", out = dir / "out.pdf";
    const char *pages[] = {missing.c_str()};
    EXPECT_NE(zq_create_pdf(pages, 1, out.c_str()), 0);
    EXPECT_STRNE(zq_last_error(), "no error");
    EXPECT_STREQ(zq_last_error(), zq_pdf_error());
}

TEST_F(LastErrorTest, ChipSdk)
{
    BYTE data[8];
    EXPECT_EQ(ChipCam_SerialFlashRead(0, data, sizeof data), 0);
    EXPECT_TRUE(says({"not open"}));

    EXPECT_EQ(XU_OpenCamera("/dev/video7"), 0);
    EXPECT_TRUE(says({"/dev/video7", std::strerror(ENOENT)}));

    EXPECT_EQ(XU_ReadDataFormFlash(SF_WINDOW_LIMIT, data, 8), 0);
    EXPECT_TRUE(says({"0x40000"}));
}

TEST_F(LastErrorTest, KeptPerThreadAndThroughSuccess)
{
    EXPECT_EQ(zq_scanner_open_index(2), -1);
    const std::string mine = zq_last_error();

    std::string before, after;
    std::thread other([&] {
        before = zq_last_error();
        int w = 0, h = 0;
        const unsigned char noise[64] = {1, 2, 3};
        zq_scanner_jpeg_decode(noise, sizeof noise, 1, nullptr, 0, &w, &h);
        after = zq_last_error();
    });
    other.join();
    EXPECT_EQ(before, "no error");
    EXPECT_NE(after.find("no JPEG"), std::string::npos) << after;

    const zqPoint lt = {1, 1}, rb = {3, 3};
    EXPECT_EQ(zq_scanner_cutting_edge_set(&lt, &rb), 0);
    EXPECT_EQ(zq_last_error(), mine);
}

// ---- the log -----------------------------------------------------------------------

namespace
{

struct Message {
    int level;
    std::string text;
    void *user;
    bool operator==(const Message &o) const
    {
        return level == o.level && text == o.text && user == o.user;
    }
};

void PrintTo(const Message &m, std::ostream *os)
{
    *os << m.level << " \"" << m.text << "\" " << m.user;
}

void collect(int level, const char *message, void *user)
{
    static_cast<std::vector<Message> *>(user)->push_back({level, message, user});
}

// A camera without a controller chip: the chip SDK opens its node, tries
// three times to read a chip id through extension unit 3 and three times
// through unit 4, and gives up.  The last line has always gone to standard
// error, the others to standard output.
const char kOpened[] = "Device /dev/video0 opened: Virtual Document Camera.";
const char kTransferFailed[] = "ioctl(UVCIOC_CTRL_SET) FAILED (-1) ";
constexpr int kTransfers = 6;
const char kNoUnit[] = "Get uvc extend unit id fail";
const char kGivenUp[] = "Open video device failed";

} // namespace

class LogTest : public SimTest
{
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        addCamera(0);
    }
    void TearDown() override
    {
        zq_set_log_handler(nullptr, nullptr);
        SimTest::TearDown();
    }
};

TEST_F(LogTest, HandlerReceivesEveryMessageWithLevelAndUserPointer)
{
    std::vector<Message> got;
    zq_set_log_handler(collect, &got);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ChipCam_Init(0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    void *const user = &got;
    std::vector<Message> expected = {{ZQ_LOG_INFO, kOpened, user}};
    expected.insert(expected.end(), kTransfers, {ZQ_LOG_ERROR, kTransferFailed, user});
    expected.push_back({ZQ_LOG_ERROR, kNoUnit, user});
    expected.push_back({ZQ_LOG_ERROR, kGivenUp, user});
    EXPECT_EQ(got, expected);
    EXPECT_TRUE(says({"extension unit 3 nor 4"}));
}

TEST_F(LogTest, NullRestoresTheStreamsOfOld)
{
    std::vector<Message> got;
    zq_set_log_handler(collect, &got);
    zq_set_log_handler(nullptr, nullptr);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(ChipCam_Init(0), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), std::string(kGivenUp) + "\n");
    std::string out = std::string(kOpened) + "\n";
    for (int i = 0; i < kTransfers; ++i)
        out += std::string(kTransferFailed) + "\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), out + kNoUnit + "\n");
    EXPECT_TRUE(got.empty());
}
