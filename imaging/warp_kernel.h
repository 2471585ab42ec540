// The bilinear sampling loop that cutting a page runs over its output
// rows, for any way of working out where an output pixel comes from.
//
// Positions follow OpenCV's fixed point for bilinear warps: source
// positions in 1/32 pixel, the four weights of a sample (products of the
// distances in 1/32 pixel) summing to 1024, white where a neighbour lies
// outside the source.  A Positions class gives the position of column x of
// its row, one at a time (at()) and, for the AVX2 loop, eight at a time
// (at8(), compiled for AVX2).
#ifndef ZQ_WARP_KERNEL_H
#define ZQ_WARP_KERNEL_H

#include <opencv2/core/mat.hpp>

#include <cstdint>
#include <cstring>

#if defined(__x86_64__)
#define ZQ_WARP_AVX2 1
#include <immintrin.h>
#define ZQ_AVX2 __attribute__((target("avx2")))
#endif

namespace zq::imaging::warp
{

constexpr int kFractionBits = 5;
constexpr int kFraction = 1 << kFractionBits;
constexpr int kWeightBits = 2 * kFractionBits;
constexpr uint8_t kWhite[3] = {255, 255, 255};

// One output pixel from the source position (x, y) in 1/32 pixel.
inline void samplePixel(const cv::Mat &source, int x, int y, uint8_t *out)
{
    const int sx = x >> kFractionBits, sy = y >> kFractionBits;
    const int fx = x & (kFraction - 1), fy = y & (kFraction - 1);
    const int weight[4] = {(kFraction - fx) * (kFraction - fy), fx * (kFraction - fy),
                           (kFraction - fx) * fy, fx * fy};
    int sum[3] = {1 << (kWeightBits - 1), 1 << (kWeightBits - 1), 1 << (kWeightBits - 1)};
    for (int k = 0; k < 4; ++k) {
        const int px = sx + (k & 1), py = sy + (k >> 1);
        const bool inside = px >= 0 && py >= 0 && px < source.cols && py < source.rows;
        const uint8_t *p = inside ? source.ptr<uint8_t>(py) + 3 * px : kWhite;
        for (int c = 0; c < 3; ++c)
            sum[c] += p[c] * weight[k];
    }
    for (int c = 0; c < 3; ++c)
        out[c] = static_cast<uint8_t>(sum[c] >> kWeightBits);
}

// Output pixels [from, to) of a row.
template <typename Positions>
void warpRowPortable(const cv::Mat &source, const Positions &at, uint8_t *out, int from, int to)
{
    for (int x = from; x < to; ++x) {
        int px, py;
        at.at(x, px, py);
        samplePixel(source, px, py, out + 3 * x);
    }
}

#if ZQ_WARP_AVX2

// Channel c of four-byte groups (RGB and one more byte) as the low half of
// each 32-bit lane, with channel c of the next pixel's group in the high half.
ZQ_AVX2 inline __m256i channelPair(__m256i first, __m256i second, int c)
{
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m128i shift = _mm_cvtsi32_si128(8 * c);
    return _mm256_or_si256(
        _mm256_and_si256(_mm256_srl_epi32(first, shift), byte),
        _mm256_slli_epi32(_mm256_and_si256(_mm256_srl_epi32(second, shift), byte), 16));
}

// Eight output pixels at once wherever all four neighbours of all eight lie
// inside the source: the neighbours gathered four bytes at a time, each
// channel's pair of neighbours in a row weighted by one multiply-add.
// fetchAhead: how far, in bytes, the samples of the row eight rows below
// lie from this row's, to fetch them before they are needed.
template <typename Positions>
ZQ_AVX2 void warpRowAvx2(const cv::Mat &source, const Positions &at, uint8_t *out, int width,
                         ptrdiff_t fetchAhead)
{
    const auto *bytes = reinterpret_cast<const int *>(source.data);
    const auto *below = reinterpret_cast<const int *>(source.data + source.step);
    const auto *nextBytes = reinterpret_cast<const int *>(source.data + 3);
    const auto *nextBelow = reinterpret_cast<const int *>(source.data + source.step + 3);
    const __m256i fraction = _mm256_set1_epi32(kFraction - 1), whole = _mm256_set1_epi32(kFraction);
    const __m256i stride = _mm256_set1_epi32(int(source.step));
    // The last column whose right neighbour's four-byte group stays in its row.
    const __m256i lastX = _mm256_set1_epi32(source.cols - 3),
                  lastY = _mm256_set1_epi32(source.rows - 2);
    const __m256i round = _mm256_set1_epi32(1 << (kWeightBits - 1));
    const __m256i packPixels =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                         8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        __m256i px, py;
        at.at8(x, px, py);
        const __m256i sx = _mm256_srai_epi32(px, kFractionBits),
                      sy = _mm256_srai_epi32(py, kFractionBits);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i outside = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpgt_epi32(zero, sx), _mm256_cmpgt_epi32(sx, lastX)),
            _mm256_or_si256(_mm256_cmpgt_epi32(zero, sy), _mm256_cmpgt_epi32(sy, lastY)));
        if (!_mm256_testz_si256(outside, outside)) {
            warpRowPortable(source, at, out, x, x + 8);
            continue;
        }
        const __m256i offset = _mm256_add_epi32(_mm256_mullo_epi32(sy, stride),
                                                _mm256_add_epi32(sx, _mm256_add_epi32(sx, sx)));
        // An address, not a pointer: eight rows down may lie past the frame,
        // where a prefetch is simply dropped.
        const uintptr_t ahead = uintptr_t(source.data) + _mm256_cvtsi256_si32(offset) + fetchAhead;
        _mm_prefetch(reinterpret_cast<const char *>(ahead), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char *>(ahead + source.step), _MM_HINT_T0);
        const __m256i topLeft = _mm256_i32gather_epi32(bytes, offset, 1);
        const __m256i topRight = _mm256_i32gather_epi32(nextBytes, offset, 1);
        const __m256i bottomLeft = _mm256_i32gather_epi32(below, offset, 1);
        const __m256i bottomRight = _mm256_i32gather_epi32(nextBelow, offset, 1);
        const __m256i fx = _mm256_and_si256(px, fraction), fy = _mm256_and_si256(py, fraction);
        const __m256i gx = _mm256_sub_epi32(whole, fx), gy = _mm256_sub_epi32(whole, fy);
        const __m256i topWeights = _mm256_or_si256(
            _mm256_mullo_epi16(gx, gy), _mm256_slli_epi32(_mm256_mullo_epi16(fx, gy), 16));
        const __m256i bottomWeights = _mm256_or_si256(
            _mm256_mullo_epi16(gx, fy), _mm256_slli_epi32(_mm256_mullo_epi16(fx, fy), 16));
        __m256i pixels = zero;
        for (int c = 0; c < 3; ++c) {
            const __m256i sum = _mm256_add_epi32(
                _mm256_add_epi32(
                    _mm256_madd_epi16(channelPair(topLeft, topRight, c), topWeights),
                    _mm256_madd_epi16(channelPair(bottomLeft, bottomRight, c), bottomWeights)),
                round);
            pixels = _mm256_or_si256(pixels,
                                     _mm256_slli_epi32(_mm256_srli_epi32(sum, kWeightBits), 8 * c));
        }
        // Four pixels of three bytes in each half; the second half's store
        // would run past a row that ends here.
        const __m256i packed = _mm256_shuffle_epi8(pixels, packPixels);
        uint8_t *dest = out + 3 * x;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dest), _mm256_castsi256_si128(packed));
        alignas(16) uint8_t last[16];
        _mm_store_si128(reinterpret_cast<__m128i *>(last), _mm256_extracti128_si256(packed, 1));
        std::memcpy(dest + 12, last, 12);
    }
    warpRowPortable(source, at, out, x, width);
}

#endif

} // namespace zq::imaging::warp

#endif
