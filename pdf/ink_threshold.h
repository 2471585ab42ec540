// Where the ink is on a page picture: text and line art told from the
// paper by an adaptive threshold, as one bit a pixel.
#ifndef ZQPDF_INK_THRESHOLD_H
#define ZQPDF_INK_THRESHOLD_H

#include "page_pixels.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zqpdf
{

// A bilevel picture: rows packed into whole bytes, the leftmost pixel in
// the highest bit, 1 where the ink is.
struct Bitmap {
    Bitmap(int w, int h) : width(w), height(h), stride((size_t(w) + 7) / 8), bits(stride * h) {}

    bool ink(int x, int y) const { return bits[y * stride + x / 8] & (0x80 >> (x % 8)); }
    void clear(int x, int y) { bits[y * stride + x / 8] &= ~(0x80 >> (x % 8)); }

    int width;
    int height;
    size_t stride; // bytes a row
    std::vector<uint8_t> bits;
};

// Where ink is looked for beyond the strokes on paper.
enum class InkIn {
    // A bilevel page: dark areas (a desk, a dark picture) are ink all over.
    EveryDarkArea,
    // A stencil over a colour background: only strokes on light ground;
    // the dark areas of pictures stay in the background, in their colours.
    LightGround,
};

// The ink of the page: each pixel whose brightest component is darker
// than Sauvola's threshold of its neighbourhood.  Judging by the brightest
// component leaves bright colours (a red stamp, a yellow highlighter) out
// of the ink: only pixels dark in every component count.
Bitmap findInk(const RgbPixels &pixels, InkIn where);

} // namespace zqpdf

#endif
