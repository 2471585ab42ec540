// The kernel's virtual video driver, vivid, as it is with its default
// module options, so that code tried on the virtual hardware meets what it
// meets on that driver.  The figures were read from the driver itself.
#include "virtual_hardware.h"

#include <iterator>

namespace zq::sim
{
namespace
{

const char *const kModalias = "platform:vivid";

// The webcam input's formats in the driver's enumeration order.
const uint32_t kWebcamFormats[] = {
    V4L2_PIX_FMT_YUYV,    V4L2_PIX_FMT_UYVY,    V4L2_PIX_FMT_YVYU,     V4L2_PIX_FMT_VYUY,
    V4L2_PIX_FMT_YUV422P, V4L2_PIX_FMT_YUV420,  V4L2_PIX_FMT_YVU420,   V4L2_PIX_FMT_NV12,
    V4L2_PIX_FMT_NV21,    V4L2_PIX_FMT_NV16,    V4L2_PIX_FMT_NV61,     V4L2_PIX_FMT_NV24,
    V4L2_PIX_FMT_NV42,    V4L2_PIX_FMT_YUV555,  V4L2_PIX_FMT_YUV565,   V4L2_PIX_FMT_YUV444,
    V4L2_PIX_FMT_YUV32,   V4L2_PIX_FMT_AYUV32,  V4L2_PIX_FMT_XYUV32,   V4L2_PIX_FMT_VUYA32,
    V4L2_PIX_FMT_VUYX32,  V4L2_PIX_FMT_YUVA32,  V4L2_PIX_FMT_YUVX32,   V4L2_PIX_FMT_GREY,
    V4L2_PIX_FMT_Y10,     V4L2_PIX_FMT_Y12,     V4L2_PIX_FMT_Y16,      V4L2_PIX_FMT_Y16_BE,
    V4L2_PIX_FMT_RGB332,  V4L2_PIX_FMT_RGB565,  V4L2_PIX_FMT_RGB565X,  V4L2_PIX_FMT_RGB444,
    V4L2_PIX_FMT_XRGB444, V4L2_PIX_FMT_ARGB444, V4L2_PIX_FMT_RGBX444,  V4L2_PIX_FMT_RGBA444,
    V4L2_PIX_FMT_XBGR444, V4L2_PIX_FMT_ABGR444, V4L2_PIX_FMT_BGRX444,  V4L2_PIX_FMT_BGRA444,
    V4L2_PIX_FMT_RGB555,  V4L2_PIX_FMT_XRGB555, V4L2_PIX_FMT_ARGB555,  V4L2_PIX_FMT_RGBX555,
    V4L2_PIX_FMT_RGBA555, V4L2_PIX_FMT_XBGR555, V4L2_PIX_FMT_ABGR555,  V4L2_PIX_FMT_BGRX555,
    V4L2_PIX_FMT_BGRA555, V4L2_PIX_FMT_RGB555X, V4L2_PIX_FMT_XRGB555X, V4L2_PIX_FMT_ARGB555X,
    V4L2_PIX_FMT_RGB24,   V4L2_PIX_FMT_BGR24,   V4L2_PIX_FMT_BGR666,   V4L2_PIX_FMT_RGB32,
    V4L2_PIX_FMT_BGR32,   V4L2_PIX_FMT_XRGB32,  V4L2_PIX_FMT_XBGR32,   V4L2_PIX_FMT_ARGB32,
    V4L2_PIX_FMT_ABGR32,  V4L2_PIX_FMT_RGBX32,  V4L2_PIX_FMT_BGRX32,   V4L2_PIX_FMT_RGBA32,
    V4L2_PIX_FMT_BGRA32,  V4L2_PIX_FMT_SBGGR8,  V4L2_PIX_FMT_SGBRG8,   V4L2_PIX_FMT_SGRBG8,
    V4L2_PIX_FMT_SRGGB8,  V4L2_PIX_FMT_SBGGR10, V4L2_PIX_FMT_SGBRG10,  V4L2_PIX_FMT_SGRBG10,
    V4L2_PIX_FMT_SRGGB10, V4L2_PIX_FMT_SBGGR12, V4L2_PIX_FMT_SGBRG12,  V4L2_PIX_FMT_SGRBG12,
    V4L2_PIX_FMT_SRGGB12, V4L2_PIX_FMT_SBGGR16, V4L2_PIX_FMT_SGBRG16,  V4L2_PIX_FMT_SGRBG16,
    V4L2_PIX_FMT_SRGGB16, V4L2_PIX_FMT_HSV24,   V4L2_PIX_FMT_HSV32,
};

// Every webcam format offers the same discrete sizes, smallest first.
const FrameSize kWebcamSizes[] = {
    FrameSize::discrete(320, 180),   FrameSize::discrete(640, 360),
    FrameSize::discrete(640, 480),   FrameSize::discrete(1280, 720),
    FrameSize::discrete(1920, 1080), FrameSize::discrete(3840, 2160),
};

CameraConfig captureNode()
{
    CameraConfig c;
    c.modalias = kModalias;
    c.driver = "vivid";
    c.capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_VIDEO_OVERLAY | V4L2_CAP_TUNER |
                     V4L2_CAP_AUDIO | V4L2_CAP_READWRITE | V4L2_CAP_STREAMING |
                     V4L2_CAP_EXT_PIX_FORMAT;
    for (uint32_t fourcc : kWebcamFormats)
        c.formats.push_back({fourcc, {std::begin(kWebcamSizes), std::end(kWebcamSizes)}});
    c.controls = {
        {V4L2_CID_BRIGHTNESS, 0, 255, 1, 128},
        {V4L2_CID_CONTRAST, 0, 255, 1, 128},
        {V4L2_CID_SATURATION, 0, 255, 1, 128},
        {V4L2_CID_HUE, -128, 128, 1, 0},
    };
    c.sizeMatch = SizeMatch::SumOfDifferences;
    c.picture = Picture::ColourBars;
    return c;
}

// The other video nodes the driver creates; none of them captures video.
CameraConfig otherNode(uint32_t capabilities)
{
    CameraConfig c;
    c.modalias = kModalias;
    c.driver = "vivid";
    c.capabilities = capabilities | V4L2_CAP_STREAMING;
    return c;
}

} // namespace

void installVivid()
{
    VirtualHardware &hw = VirtualHardware::instance();
    hw.addCamera(0, captureNode());
    hw.addCamera(1, otherNode(V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_READWRITE));
    hw.addCamera(2, otherNode(V4L2_CAP_META_CAPTURE));
    hw.addCamera(3, otherNode(V4L2_CAP_META_OUTPUT));
}

} // namespace zq::sim
