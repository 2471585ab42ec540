#include "native_frames.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "rgb_jpeg.h"

namespace zq::sim
{
namespace
{

// The JPEG settings of the cameras' own encoders.
constexpr JpegSettings kCameraJpeg{85, true};

uint8_t clampByte(double v)
{
    return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// Full-range BT.601, as JPEG uses it: two pixels share one U and one V.
void yuyvPair(const uint8_t *a, const uint8_t *b, uint8_t *out)
{
    const auto luma = [](const uint8_t *p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; };
    const double r = (a[0] + b[0]) / 2.0, g = (a[1] + b[1]) / 2.0, bl = (a[2] + b[2]) / 2.0;
    out[0] = clampByte(luma(a));
    out[1] = clampByte(-0.168736 * r - 0.331264 * g + 0.5 * bl + 128);
    out[2] = clampByte(luma(b));
    out[3] = clampByte(0.5 * r - 0.418688 * g - 0.081312 * bl + 128);
}

std::vector<uint8_t> encodeRows(uint32_t fourcc, const RgbRows &rows, int width, int height,
                                uint32_t bytesPerLine)
{
    std::vector<uint8_t> frame(size_t(bytesPerLine) * height);
    for (int y = 0; y < height; ++y) {
        const uint8_t *in = rows(y);
        uint8_t *out = &frame[size_t(y) * bytesPerLine];
        if (fourcc == V4L2_PIX_FMT_RGB24) {
            std::memcpy(out, in, size_t(width) * 3);
            continue;
        }
        for (int x = 0; x < width; x += 2)
            yuyvPair(in + 3 * x, in + 3 * std::min(x + 1, width - 1), out + 2 * x);
    }
    return frame;
}

std::vector<uint8_t> encode(uint32_t fourcc, const RgbRows &rows, int width, int height,
                            uint32_t bytesPerLine)
{
    if (fourcc == V4L2_PIX_FMT_MJPEG)
        return encodeRgbJpeg(rows, width, height, kCameraJpeg);
    if (canEncode(fourcc))
        return encodeRows(fourcc, rows, width, height, bytesPerLine);
    return std::vector<uint8_t>(size_t(bytesPerLine) * height);
}

// Rows of the picture with noise: each byte moves by up to noise levels,
// the same way for the same variant and row on every run.
class NoisyRows
{
  public:
    NoisyRows(const std::vector<uint8_t> &rgb, int width, int noise, uint32_t variant)
        : rgb_(rgb), row_(size_t(width) * 3), noise_(noise), variant_(variant)
    {
    }

    const uint8_t *operator()(int y)
    {
        const uint8_t *in = &rgb_[size_t(y) * row_.size()];
        uint32_t state = (variant_ + 1) * 2654435761u ^ uint32_t(y + 1) * 40503u;
        const int span = 2 * noise_ + 1;
        for (size_t i = 0; i < row_.size(); ++i) {
            // xorshift32
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            row_[i] = uint8_t(std::clamp(int(in[i]) + int(state % span) - noise_, 0, 255));
        }
        return row_.data();
    }

  private:
    const std::vector<uint8_t> &rgb_;
    std::vector<uint8_t> row_;
    int noise_;
    uint32_t variant_;
};

} // namespace

bool canEncode(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_YUYV ||
           fourcc == V4L2_PIX_FMT_RGB24;
}

std::vector<uint8_t> encodeFrame(uint32_t fourcc, const uint8_t *rgb, int width, int height,
                                 uint32_t bytesPerLine)
{
    const RgbRows rows = [&](int y) { return rgb + size_t(y) * width * 3; };
    return encode(fourcc, rows, width, height, bytesPerLine);
}

NativeFrames::NativeFrames(uint32_t fourcc, std::vector<uint8_t> rgb, int width, int height,
                           uint32_t bytesPerLine, int noise)
    : fourcc_(fourcc), rgb_(std::move(rgb)), width_(width), height_(height),
      bytesPerLine_(bytesPerLine), noise_(noise)
{
}

const std::vector<uint8_t> &NativeFrames::frame(uint32_t sequence)
{
    const uint32_t variant = noise_ > 0 ? sequence % kVariants : 0;
    std::vector<uint8_t> &bytes = variants_[variant];
    if (bytes.empty()) {
        if (noise_ > 0)
            bytes = encode(fourcc_, NoisyRows(rgb_, width_, noise_, variant), width_, height_,
                           bytesPerLine_);
        else
            bytes = encodeFrame(fourcc_, rgb_.data(), width_, height_, bytesPerLine_);
    }
    return bytes;
}

} // namespace zq::sim
