#include "frame_scaling.h"

#include <turbojpeg.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace zq
{
namespace
{

using Decompressor = std::unique_ptr<void, int (*)(tjhandle)>;

// One decompressor a thread: a handle is not for two threads at once, and
// making one per frame costs more than the small frames it decodes.
tjhandle decompressor()
{
    thread_local Decompressor handle(tjInitDecompress(), tjDestroy);
    return handle.get();
}

} // namespace

int reduced_side(int side, int denominator)
{
    return (side + denominator - 1) / denominator;
}

bool jpeg_size(const uint8_t *data, size_t size, int &width, int &height)
{
    tjhandle tj = decompressor();
    int subsampling = 0, colourspace = 0;
    return tj && data && size > 0 && size <= ULONG_MAX &&
           tjDecompressHeader3(tj, data, static_cast<unsigned long>(size), &width, &height,
                               &subsampling, &colourspace) == 0 &&
           width > 0 && height > 0;
}

bool decode_jpeg(const uint8_t *data, size_t size, int denominator, uint8_t *rgb, size_t rgb_size)
{
    int width = 0, height = 0;
    if (!jpeg_size(data, size, width, height))
        return false;
    const int w = reduced_side(width, denominator);
    const int h = reduced_side(height, denominator);
    if (rgb_size < size_t(w) * size_t(h) * 3)
        return false;
    // A reduced picture is for the eye and the page finder: the fast
    // inverse DCT and plain chroma upsampling halve the cost of a quarter
    // scale.  A whole one is decoded as libv4lconvert decodes it, so that a
    // page cut from it is the page cut from a converted frame.
    const int fast = denominator > 1 ? TJFLAG_FASTDCT | TJFLAG_FASTUPSAMPLE : 0;
    return tjDecompress2(decompressor(), data, static_cast<unsigned long>(size), rgb, w, w * 3, h,
                         TJPF_RGB, TJFLAG_STOPONWARNING | fast) == 0;
}

void reduce_rgb24(const uint8_t *src, int width, int height, int denominator, uint8_t *dst)
{
    const int w = reduced_side(width, denominator);
    const int h = reduced_side(height, denominator);
    for (int y = 0; y < h; ++y) {
        const int top = y * denominator;
        const int rows = std::min(denominator, height - top);
        for (int x = 0; x < w; ++x) {
            const int left = x * denominator;
            const int columns = std::min(denominator, width - left);
            unsigned sum[3] = {0, 0, 0};
            for (int r = 0; r < rows; ++r) {
                const uint8_t *p = src + (size_t(top + r) * width + left) * 3;
                for (int c = 0; c < columns * 3; ++c)
                    sum[c % 3] += p[c];
            }
            const unsigned count = unsigned(rows * columns);
            uint8_t *out = dst + (size_t(y) * w + x) * 3;
            for (int k = 0; k < 3; ++k)
                out[k] = uint8_t((sum[k] + count / 2) / count);
        }
    }
}

} // namespace zq
