// Brightness, contrast and saturation, on libv4l2's device-independent
// scale of 0 to 65535.  libv4l2 maps that scale onto the range each camera
// reports, so one slider position means the same on every camera.

#include <zqscan/zq_scanner.h>
#include "last_error.h"
#include "sys.h"

#include <linux/videodev2.h>

namespace
{

int get_control(int fd, int cid, const char *name)
{
    const int value = zq::sys::v4l2_get_control(fd, cid);
    if (value < 0)
        zq::failWithErrno("cannot read the %s of descriptor %d", name, fd);
    return value;
}

int set_control(int fd, int cid, const char *name, int value)
{
    const int result = zq::sys::v4l2_set_control(fd, cid, value);
    if (result < 0)
        zq::failWithErrno("cannot set the %s of descriptor %d to %d", name, fd, value);
    return result;
}

} // namespace

extern "C" {

ZQ_EXPORT int zq_scanner_get_brightness(int fd)
{
    return get_control(fd, V4L2_CID_BRIGHTNESS, "brightness");
}
ZQ_EXPORT int zq_scanner_set_brightness(int fd, int brightness)
{
    return set_control(fd, V4L2_CID_BRIGHTNESS, "brightness", brightness);
}

ZQ_EXPORT int zq_scanner_get_contrast(int fd)
{
    return get_control(fd, V4L2_CID_CONTRAST, "contrast");
}
ZQ_EXPORT int zq_scanner_set_contrast(int fd, int contrast)
{
    return set_control(fd, V4L2_CID_CONTRAST, "contrast", contrast);
}

ZQ_EXPORT int zq_scanner_get_saturation(int fd)
{
    return get_control(fd, V4L2_CID_SATURATION, "saturation");
}
ZQ_EXPORT int zq_scanner_set_saturation(int fd, int saturation)
{
    return set_control(fd, V4L2_CID_SATURATION, "saturation", saturation);
}

} // extern "C"
