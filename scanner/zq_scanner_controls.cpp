// Brightness, contrast and saturation, on libv4l2's device-independent
// scale of 0 to 65535.  libv4l2 maps that scale onto the range each camera
// reports, so one slider position means the same on every camera.

#include <zqscan/zq_scanner.h>
#include "sys.h"

#include <linux/videodev2.h>

extern "C" {

ZQ_EXPORT int zq_scanner_get_brightness(int fd)
{
    return zq::sys::v4l2_get_control(fd, V4L2_CID_BRIGHTNESS);
}
ZQ_EXPORT int zq_scanner_set_brightness(int fd, int brightness)
{
    return zq::sys::v4l2_set_control(fd, V4L2_CID_BRIGHTNESS, brightness);
}

ZQ_EXPORT int zq_scanner_get_contrast(int fd)
{
    return zq::sys::v4l2_get_control(fd, V4L2_CID_CONTRAST);
}
ZQ_EXPORT int zq_scanner_set_contrast(int fd, int contrast)
{
    return zq::sys::v4l2_set_control(fd, V4L2_CID_CONTRAST, contrast);
}

ZQ_EXPORT int zq_scanner_get_saturation(int fd)
{
    return zq::sys::v4l2_get_control(fd, V4L2_CID_SATURATION);
}
ZQ_EXPORT int zq_scanner_set_saturation(int fd, int saturation)
{
    return zq::sys::v4l2_set_control(fd, V4L2_CID_SATURATION, saturation);
}

} // extern "C"
