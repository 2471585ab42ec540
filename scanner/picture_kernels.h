// The pixel-moving loops behind the grey and quarter-turn operations on
// RGB24 pictures, each in a portable version and, where the processor has
// it, an AVX2 version that gives the same bytes.
#ifndef ZQ_PICTURE_KERNELS_H
#define ZQ_PICTURE_KERNELS_H

#include <cstddef>
#include <cstdint>

namespace zq::picture
{

constexpr size_t kRotateSourceSlack = 8;

// Replaces every pixel by the mean of its three bytes, remainder dropped.
void grey_portable(uint8_t *pixels, size_t count);

// Writes the counter-clockwise quarter turn of src (width x height) into
// dst, which becomes height pixels wide and width pixels tall:
// dst(x, y) = src(width - 1 - y, x).  src and dst must not overlap, and src
// must have kRotateSourceSlack readable bytes after its last pixel.
void rotate_portable(const uint8_t *src, uint8_t *dst, int width, int height);

#if defined(__x86_64__)
#define ZQ_PICTURE_AVX2 1
void grey_avx2(uint8_t *pixels, size_t count);
void rotate_avx2(const uint8_t *src, uint8_t *dst, int width, int height);
#endif

// The fastest version this processor runs.
void grey(uint8_t *pixels, size_t count);
void rotate(const uint8_t *src, uint8_t *dst, int width, int height);

} // namespace zq::picture

#endif
