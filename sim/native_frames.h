// The bytes a camera sends for its frames, in its own (native) formats:
// MJPEG, one baseline JPEG a frame with 4:2:2 chroma as the encoders of
// UVC cameras write it; YUYV, packed 4:2:2; RGB24.  Made from the RGB24
// picture the camera looks at, with a little sensor noise that differs
// from frame to frame.
#ifndef ZQ_SIM_NATIVE_FRAMES_H
#define ZQ_SIM_NATIVE_FRAMES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zq::sim
{

// Whether frames of this four-character code can be made; the camera
// delivers other formats it lists as black frames.
bool canEncode(uint32_t fourcc);

// A frame's bytes: for uncompressed formats rows of bytesPerLine bytes
// (the padding zero), for MJPEG the JPEG file.
std::vector<uint8_t> encodeFrame(uint32_t fourcc, const uint8_t *rgb, int width, int height,
                                 uint32_t bytesPerLine);

// The frames of one picture in one format.  A stream cycles through a few
// noisy variants, each encoded the first time it is sent, so that a
// frame costs the camera little more than a copy.
class NativeFrames
{
  public:
    // noise: the largest change of a byte, 0 for a picture without noise.
    NativeFrames(uint32_t fourcc, std::vector<uint8_t> rgb, int width, int height,
                 uint32_t bytesPerLine, int noise);

    const std::vector<uint8_t> &frame(uint32_t sequence);

    static constexpr size_t kVariants = 4;

  private:
    uint32_t fourcc_;
    std::vector<uint8_t> rgb_;
    int width_, height_;
    uint32_t bytesPerLine_;
    int noise_;
    std::array<std::vector<uint8_t>, kVariants> variants_;
};

} // namespace zq::sim

#endif
