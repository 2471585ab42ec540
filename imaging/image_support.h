// OpenCV images over the callers' frames, owned images, and the guard
// that keeps exceptions inside the library.
#ifndef ZQ_IMAGE_SUPPORT_H
#define ZQ_IMAGE_SUPPORT_H

#include "last_error.h"

#include <opencv2/core/core_c.h>
#include <opencv2/core/mat.hpp>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace zq::imaging
{

// True for a frame OpenCV can describe: a buffer and positive sizes whose
// byte count fits an int.  Asked where a call takes a frame: a frame it
// refuses is the call's failure, and the reason is recorded.
bool acceptFrame(const void *data, int width, int height);

// An IplImage header over a caller's packed RGB24 frame without copying
// it.  Frame rows are exactly 3 * width bytes; OpenCV's default 4-byte row
// alignment agrees with that only when 3 * width is a multiple of 4, so
// the header carries the real row stride.
class PackedFrame
{
  public:
    // The frame must satisfy acceptFrame.
    PackedFrame(const unsigned char *data, int width, int height);
    PackedFrame(const PackedFrame &) = delete;
    PackedFrame &operator=(const PackedFrame &) = delete;

    IplImage *image() { return &header_; }
    cv::Mat mat() { return cv::cvarrToMat(&header_); }

  private:
    IplImage header_;
};

// Pages and books are searched in a picture reduced by this factor in each
// direction: 16 or 64 times fewer pixels keep detection within a preview
// frame's time.  A frame the caller already reduced by `reduced` (a
// preview decoded small) is reduced only by what remains, so that the
// search sees the same grid as on the camera's whole frame.
inline int reductionFactor(int width, int height, int reduced = 1)
{
    const int whole = width * reduced > 3264 || height * reduced >= 3265 ? 8 : 4;
    return std::max(1, whole / reduced);
}

// The turn that straightens a detected page.  Rotated boxes report their
// angle in (0, 90]: an upright page has 90, a page turned 5 degrees
// counter-clockwise about 85.  Turning by the box angle itself would lay
// the page on its side; the equivalent angle of smallest size keeps the
// orientation the preview shows.
float straighteningTurn(double boxAngle);

struct ImageRelease {
    void operator()(IplImage *image) const { cvReleaseImage(&image); }
};
// An image made by the library, released when it goes out of scope.
using ImagePtr = std::unique_ptr<IplImage, ImageRelease>;

// Runs body at the library's boundary, as the entry point call: nothing
// thrown inside (OpenCV reports bad sizes and failed allocations by
// exceptions) leaves it; an exception becomes the failure result, and what
// it says the call's failure.
template <typename Result, typename Body>
Result guarded(const char *call, Result failure, Body &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        zq::failWithCurrentException(call);
        return failure;
    }
}

// The same for functions without a result: an exception ends the work.
template <typename Body> void guarded(const char *call, Body &&body) noexcept
{
    try {
        body();
    } catch (...) {
        zq::failWithCurrentException(call);
    }
}

// Writes a cut of size into out_buffer when it holds the cut's packed
// RGB24 pixels (cut fills the Mat it is given), and the size where asked:
// the library's way of handing out pictures of a size the caller learns
// from the first call.
template <typename Cut>
void deliver(cv::Size size, unsigned char *out_buffer, int out_buffersize, int *out_width,
             int *out_height, Cut &&cut)
{
    if (out_buffer && out_buffersize >= int64_t(3) * size.width * size.height) {
        cv::Mat packed(size, CV_8UC3, out_buffer);
        cut(packed);
    }
    if (out_width)
        *out_width = size.width;
    if (out_height)
        *out_height = size.height;
}

} // namespace zq::imaging

#endif
