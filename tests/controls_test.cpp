// Brightness, contrast and saturation on virtual cameras, whose controls
// libv4l2 maps from 0..65535 onto each camera's own range.
#include "sim_fixture.h"
#include <zqscan/zq_scanner.h>

#include <linux/videodev2.h>

#include <algorithm>

using namespace zq::sim;

namespace
{

struct ControlCase {
    const char *name;
    uint32_t id;
    int (*get)(int);
    int (*set)(int, int);
};

void PrintTo(const ControlCase &c, std::ostream *os)
{
    *os << c.name;
}

const ControlCase kControls[] = {
    {"brightness", V4L2_CID_BRIGHTNESS, zq_scanner_get_brightness, zq_scanner_set_brightness},
    {"contrast", V4L2_CID_CONTRAST, zq_scanner_get_contrast, zq_scanner_set_contrast},
    {"saturation", V4L2_CID_SATURATION, zq_scanner_get_saturation, zq_scanner_set_saturation},
};

class ControlTest : public SimTest, public testing::WithParamInterface<ControlCase>
{
  protected:
    int open(CameraConfig config = CameraConfig::documentCamera())
    {
        camera_ = &addCamera(0, std::move(config));
        return zq_scanner_open_index(1);
    }
    int value(uint32_t id) const { return camera_->controlValue(id); }

    VirtualCamera *camera_ = nullptr;
};

std::string control_name(const testing::TestParamInfo<ControlCase> &info)
{
    return info.param.name;
}

} // namespace

TEST_P(ControlTest, ScaleMapsOntoCameraRange)
{
    const int fd = open();
    ASSERT_GE(fd, 0);
    const ControlCase &c = GetParam();
    EXPECT_EQ(c.set(fd, 32768), 0);
    EXPECT_EQ(value(c.id), 128);
    EXPECT_EQ(c.get(fd), 32896) << "128 of 0..255 on the 0..65535 scale";
    EXPECT_EQ(c.set(fd, 0), 0);
    EXPECT_EQ(value(c.id), 0);
    EXPECT_EQ(c.get(fd), 0);
    EXPECT_EQ(c.set(fd, 65535), 0);
    EXPECT_EQ(value(c.id), 255);
    EXPECT_EQ(c.get(fd), 65535);
    zq_scanner_close(fd);
}

TEST_P(ControlTest, SetsOnlyItsOwnControl)
{
    const int fd = open();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(GetParam().set(fd, 0), 0);
    for (const ControlCase &other : kControls)
        EXPECT_EQ(value(other.id), other.id == GetParam().id ? 0 : 128) << other.name;
    zq_scanner_close(fd);
}

TEST_P(ControlTest, CameraWithoutTheControl)
{
    CameraConfig config = CameraConfig::documentCamera();
    auto &controls = config.controls;
    controls.erase(std::remove_if(controls.begin(), controls.end(),
                                  [&](const Control &c) { return c.id == GetParam().id; }),
                   controls.end());
    const int fd = open(std::move(config));
    ASSERT_GE(fd, 0);
    EXPECT_EQ(GetParam().get(fd), -1);
    EXPECT_EQ(GetParam().set(fd, 1000), -1);
    zq_scanner_close(fd);
}

TEST_P(ControlTest, DisabledControlIsLeftAlone)
{
    CameraConfig config = CameraConfig::documentCamera();
    for (Control &c : config.controls)
        if (c.id == GetParam().id)
            c.flags = V4L2_CTRL_FLAG_DISABLED;
    const int fd = open(std::move(config));
    ASSERT_GE(fd, 0);
    EXPECT_EQ(GetParam().get(fd), -1);
    EXPECT_EQ(GetParam().set(fd, 0), 0);
    EXPECT_EQ(value(GetParam().id), 128);
    zq_scanner_close(fd);
}

TEST_P(ControlTest, FailedRequestAndForeignDescriptor)
{
    const int fd = open();
    ASSERT_GE(fd, 0);
    camera_->failRequest(VIDIOC_G_CTRL, 1, EIO);
    camera_->failRequest(VIDIOC_S_CTRL, 1, EIO);
    EXPECT_EQ(GetParam().get(fd), -1);
    EXPECT_EQ(GetParam().set(fd, 0), -1);
    EXPECT_EQ(value(GetParam().id), 128);
    zq_scanner_close(fd);
    EXPECT_EQ(GetParam().get(fd), -1) << "closed descriptor";
    EXPECT_EQ(GetParam().set(fd, 0), -1) << "closed descriptor";
}

INSTANTIATE_TEST_SUITE_P(Controls, ControlTest, testing::ValuesIn(kControls), control_name);
