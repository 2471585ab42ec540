// Grey and quarter-turn loops.  Both run on every preview frame, so each
// has an AVX2 version next to the portable one; the two must agree byte for
// byte, which the tests check on every size class.

#include "picture_kernels.h"

#include "cpu_features.h"

#include <algorithm>
#include <cstring>

#if ZQ_PICTURE_AVX2
#include <immintrin.h>
#endif

namespace zq::picture
{

namespace
{

// ceil(2^16 / 3): (s * kThird) >> 16 equals s / 3 for every s up to 3 * 255,
// because the rounding error s / 98304 stays below 1/3 there.
constexpr uint32_t kThird = 21846;

inline uint8_t mean_of_three(uint32_t sum)
{
    return static_cast<uint8_t>((sum * kThird) >> 16);
}

// Moves source rows [r0, r1) x columns [c0, c1) to their place in the turned
// picture; source column c becomes destination row width - 1 - c.
void rotate_block(const uint8_t *src, uint8_t *dst, int width, int height, int r0, int r1, int c0,
                  int c1)
{
    const size_t src_stride = size_t(width) * 3;
    for (int c = c0; c < c1; ++c) {
        const uint8_t *in = src + (size_t(r0) * width + c) * 3;
        uint8_t *out = dst + (size_t(width - 1 - c) * height + r0) * 3;
        for (int r = r0; r < r1; ++r, in += src_stride, out += 3)
            std::memcpy(out, in, 3);
    }
}

// Pixels are moved in square blocks of this side, so that the source rows
// and destination rows a block touches stay in the cache while it is worked
// on (measured best among 32 to 256 on 2 to 13 megapixel frames).
constexpr int kBlock = 128;

// The AVX2 turn works in blocks 512 source rows tall and 32 columns wide:
// each block writes its 32 destination rows from end to end, and the
// source rows of a band of blocks stay few enough for the address
// translation cache (measured best among heights of 256 to 1024 and
// widths of 16 to 64 on 2 to 13 megapixel frames; square blocks took a
// third longer).
constexpr int kBandRows = 512;
constexpr int kBandColumns = 32;
constexpr int kPrefetchRows = 32;

} // namespace

void grey_portable(uint8_t *pixels, size_t count)
{
    for (size_t i = 0; i < count; ++i, pixels += 3) {
        const uint8_t g = mean_of_three(pixels[0] + pixels[1] + pixels[2]);
        pixels[0] = g;
        pixels[1] = g;
        pixels[2] = g;
    }
}

void rotate_portable(const uint8_t *src, uint8_t *dst, int width, int height)
{
    for (int r0 = 0; r0 < height; r0 += kBlock)
        for (int c0 = 0; c0 < width; c0 += kBlock)
            rotate_block(src, dst, width, height, r0, std::min(r0 + kBlock, height), c0,
                         std::min(c0 + kBlock, width));
}

#if ZQ_PICTURE_AVX2

namespace
{

// In each 128-bit half: four 3-byte pixels spread to four 32-bit lanes
// (red, green, blue, 0), and back.
#define ZQ_SPREAD_HALF 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1
#define ZQ_PACK_HALF 0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1
// Four 32-bit lanes whose low bytes are grey levels, as four grey pixels.
#define ZQ_FAN_OUT_HALF 0, 0, 0, 4, 4, 4, 8, 8, 8, 12, 12, 12, -1, -1, -1, -1

__attribute__((target("avx2"))) inline __m256i spread_mask()
{
    return _mm256_setr_epi8(ZQ_SPREAD_HALF, ZQ_SPREAD_HALF);
}

// Reads 8 pixels (24 bytes) into eight 32-bit lanes; the load covers 32
// bytes, so the source needs 8 readable bytes after the pixels.
__attribute__((target("avx2"))) inline __m256i load8(const uint8_t *p)
{
    const __m256i raw = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
    const __m256i halves =
        _mm256_permutevar8x32_epi32(raw, _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6));
    return _mm256_shuffle_epi8(halves, spread_mask());
}

// Writes exactly 8 pixels (24 bytes) from eight 32-bit lanes.
__attribute__((target("avx2"))) inline void store8(uint8_t *p, __m256i pixels)
{
    const __m256i halves =
        _mm256_shuffle_epi8(pixels, _mm256_setr_epi8(ZQ_PACK_HALF, ZQ_PACK_HALF));
    const __m256i packed =
        _mm256_permutevar8x32_epi32(halves, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), _mm256_castsi256_si128(packed));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(p + 16), _mm256_extracti128_si256(packed, 1));
}

// Turns one 8 x 8 tile: eight source rows of 8 pixels in, eight
// destination rows out, the first destination row from the rightmost
// source column.  The shuffles are the usual 8 x 8 transpose of 32-bit
// values, written out so the tile stays in registers.
__attribute__((target("avx2"))) inline void rotate_tile(const uint8_t *in, size_t in_stride,
                                                        uint8_t *out, size_t out_stride)
{
    const __m256i r0 = load8(in), r1 = load8(in + in_stride);
    const __m256i r2 = load8(in + 2 * in_stride), r3 = load8(in + 3 * in_stride);
    const __m256i r4 = load8(in + 4 * in_stride), r5 = load8(in + 5 * in_stride);
    const __m256i r6 = load8(in + 6 * in_stride), r7 = load8(in + 7 * in_stride);
    const __m256i t0 = _mm256_unpacklo_epi32(r0, r1), t1 = _mm256_unpackhi_epi32(r0, r1);
    const __m256i t2 = _mm256_unpacklo_epi32(r2, r3), t3 = _mm256_unpackhi_epi32(r2, r3);
    const __m256i t4 = _mm256_unpacklo_epi32(r4, r5), t5 = _mm256_unpackhi_epi32(r4, r5);
    const __m256i t6 = _mm256_unpacklo_epi32(r6, r7), t7 = _mm256_unpackhi_epi32(r6, r7);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2), u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3), u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6), u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7), u7 = _mm256_unpackhi_epi64(t5, t7);
    // Column j of the tile goes to destination row -j (rows run upwards).
    store8(out, _mm256_permute2x128_si256(u0, u4, 0x20));
    store8(out - out_stride, _mm256_permute2x128_si256(u1, u5, 0x20));
    store8(out - 2 * out_stride, _mm256_permute2x128_si256(u2, u6, 0x20));
    store8(out - 3 * out_stride, _mm256_permute2x128_si256(u3, u7, 0x20));
    store8(out - 4 * out_stride, _mm256_permute2x128_si256(u0, u4, 0x31));
    store8(out - 5 * out_stride, _mm256_permute2x128_si256(u1, u5, 0x31));
    store8(out - 6 * out_stride, _mm256_permute2x128_si256(u2, u6, 0x31));
    store8(out - 7 * out_stride, _mm256_permute2x128_si256(u3, u7, 0x31));
}

// Eight pixels in (four at the bottom of each argument), eight grey pixels
// out, four at the bottom of each 128-bit half.
__attribute__((target("avx2"))) inline __m256i grey8(__m128i first4, __m128i next4)
{
    const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(first4), next4, 1);
    const __m256i lanes = _mm256_shuffle_epi8(v, spread_mask());
    const __m256i sums =
        _mm256_madd_epi16(_mm256_maddubs_epi16(lanes, _mm256_set1_epi8(1)), _mm256_set1_epi16(1));
    const __m256i g = _mm256_mulhi_epu16(sums, _mm256_set1_epi16(static_cast<short>(kThird)));
    return _mm256_shuffle_epi8(g, _mm256_setr_epi8(ZQ_FAN_OUT_HALF, ZQ_FAN_OUT_HALF));
}

} // namespace

__attribute__((target("avx2"))) void grey_avx2(uint8_t *pixels, size_t count)
{
    // Sixteen pixels (48 bytes, three vectors) a step; loads and stores
    // cover the same bytes exactly, so no store overlaps a later load.
    size_t i = 0;
    for (; i + 16 <= count; i += 16, pixels += 48) {
        auto *p = reinterpret_cast<__m128i *>(pixels);
        const __m128i a = _mm_loadu_si128(p);
        const __m128i b = _mm_loadu_si128(p + 1);
        const __m128i c = _mm_loadu_si128(p + 2);
        const __m256i g01 = grey8(a, _mm_alignr_epi8(b, a, 12));
        const __m256i g23 = grey8(_mm_alignr_epi8(c, b, 8), _mm_srli_si128(c, 4));
        const __m128i g0 = _mm256_castsi256_si128(g01), g1 = _mm256_extracti128_si256(g01, 1);
        const __m128i g2 = _mm256_castsi256_si128(g23), g3 = _mm256_extracti128_si256(g23, 1);
        _mm_storeu_si128(p, _mm_or_si128(g0, _mm_slli_si128(g1, 12)));
        _mm_storeu_si128(p + 1, _mm_or_si128(_mm_srli_si128(g1, 4), _mm_slli_si128(g2, 8)));
        _mm_storeu_si128(p + 2, _mm_or_si128(_mm_srli_si128(g2, 8), _mm_slli_si128(g3, 4)));
    }
    grey_portable(pixels, count - i);
}

// Asks for the source bytes of the tile rows `ahead` rows below, so that
// they are on their way while this row of tiles is turned: the source is
// read down its columns, where the processor's own prefetching sees no
// pattern.
inline void prefetch_rows(const uint8_t *first, size_t stride, size_t bytes)
{
    for (int k = 0; k < 8; ++k) {
        const char *row = reinterpret_cast<const char *>(first + k * stride);
        for (size_t offset = 0; offset < bytes; offset += 48)
            _mm_prefetch(row + offset, _MM_HINT_T0);
        _mm_prefetch(row + bytes - 1, _MM_HINT_T0);
    }
}

__attribute__((target("avx2"))) void rotate_avx2(const uint8_t *src, uint8_t *dst, int width,
                                                 int height)
{
    const size_t src_stride = size_t(width) * 3;
    const size_t dst_stride = size_t(height) * 3;
    const int full_rows = height & ~7;
    const int full_columns = width & ~7;
    for (int r0 = 0; r0 < full_rows; r0 += kBandRows) {
        const int r1 = std::min(r0 + kBandRows, full_rows);
        for (int c0 = 0; c0 < full_columns; c0 += kBandColumns) {
            const int c1 = std::min(c0 + kBandColumns, full_columns);
            for (int r = r0; r < r1; r += 8) {
                if (r + kPrefetchRows + 8 <= r1)
                    prefetch_rows(src + (size_t(r + kPrefetchRows) * width + c0) * 3, src_stride,
                                  size_t(c1 - c0) * 3);
                for (int c = c0; c < c1; c += 8)
                    rotate_tile(src + (size_t(r) * width + c) * 3, src_stride,
                                dst + (size_t(width - 1 - c) * height + r) * 3, dst_stride);
            }
        }
    }
    // The strips the 8 x 8 tiles leave: the last columns, then the last rows.
    rotate_block(src, dst, width, height, 0, full_rows, full_columns, width);
    rotate_block(src, dst, width, height, full_rows, height, 0, width);
}

#endif

void grey(uint8_t *pixels, size_t count)
{
#if ZQ_PICTURE_AVX2
    if (haveAvx2())
        return grey_avx2(pixels, count);
#endif
    grey_portable(pixels, count);
}

void rotate(const uint8_t *src, uint8_t *dst, int width, int height)
{
#if ZQ_PICTURE_AVX2
    if (haveAvx2())
        return rotate_avx2(src, dst, width, height);
#endif
    rotate_portable(src, dst, width, height);
}

} // namespace zq::picture
