#include "box_warp.h"

#include "cpu_features.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#define ZQ_BOX_WARP_AVX2 1
#include <immintrin.h>
#endif

namespace zq::imaging
{
namespace
{

// OpenCV's fixed point for bilinear warps: source positions are worked out
// in 1/1024 pixel, rounded to 1/32 pixel, and the four weights of a sample
// (products of the distances in 1/32 pixel) sum to 1024 here.
constexpr int kPositionBits = 10;
constexpr int kFractionBits = 5;
constexpr int kFraction = 1 << kFractionBits;
constexpr int kRoundToFraction = (1 << kPositionBits) / kFraction / 2;
constexpr int kWeightBits = 2 * kFractionBits;
constexpr uint8_t kWhite[3] = {255, 255, 255};

int fixedPoint(double v)
{
    return static_cast<int>(std::lrint(v * (1 << kPositionBits)));
}

// Where each output pixel of the box is taken from: the inverse of the
// turn, its column terms for each column of the box and its row terms for
// each row, all at the box's place in the whole turned picture.
class SourcePositions
{
  public:
    SourcePositions(const cv::Mat &turn, const cv::Rect &box) : box_(box)
    {
        cv::Mat inverse;
        cv::invertAffineTransform(turn, inverse);
        for (int i = 0; i < 6; ++i)
            m_[i] = inverse.at<double>(i / 3, i % 3);
        columnX_.resize(size_t(box.width));
        columnY_.resize(size_t(box.width));
        for (int x = 0; x < box.width; ++x) {
            columnX_[size_t(x)] = fixedPoint(m_[0] * (box.x + x));
            columnY_[size_t(x)] = fixedPoint(m_[3] * (box.x + x));
        }
    }

    int rowX(int y) const { return fixedPoint(m_[1] * (box_.y + y) + m_[2]) + kRoundToFraction; }
    int rowY(int y) const { return fixedPoint(m_[4] * (box_.y + y) + m_[5]) + kRoundToFraction; }
    // How far, in bytes of a source with this row step, the sample of the
    // output pixel `rows` rows below lies from this one's.
    ptrdiff_t bytesDown(int rows, size_t step) const
    {
        return std::lrint(rows * m_[4]) * ptrdiff_t(step) + 3 * std::lrint(rows * m_[1]);
    }
    const int *columnX() const { return columnX_.data(); }
    const int *columnY() const { return columnY_.data(); }

  private:
    cv::Rect box_;
    double m_[6];
    std::vector<int> columnX_, columnY_;
};

constexpr int toFraction(int position)
{
    return position >> (kPositionBits - kFractionBits);
}

// One output pixel from the source position (x, y) in 1/32 pixel: the
// four neighbours weighted, white where a neighbour lies outside.
void samplePixel(const cv::Mat &source, int x, int y, uint8_t *out)
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

// Output pixels [from, to) of row y.
void warpRowPortable(const cv::Mat &source, const SourcePositions &at, int y, uint8_t *out,
                     int from, int to)
{
    const int x0 = at.rowX(y), y0 = at.rowY(y);
    for (int x = from; x < to; ++x)
        samplePixel(source, toFraction(x0 + at.columnX()[x]), toFraction(y0 + at.columnY()[x]),
                    out + 3 * x);
}

#if ZQ_BOX_WARP_AVX2

// Channel c of four-byte groups (RGB and one more byte) as the low half of
// each 32-bit lane, with channel c of the next pixel's group in the high half.
__attribute__((target("avx2"))) inline __m256i channelPair(__m256i first, __m256i second, int c)
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
__attribute__((target("avx2"))) void warpRowAvx2(const cv::Mat &source, const SourcePositions &at,
                                                 int y, uint8_t *out, int width)
{
    const auto *bytes = reinterpret_cast<const int *>(source.data);
    const auto *below = reinterpret_cast<const int *>(source.data + source.step);
    const auto *nextBytes = reinterpret_cast<const int *>(source.data + 3);
    const auto *nextBelow = reinterpret_cast<const int *>(source.data + source.step + 3);
    const __m256i x0 = _mm256_set1_epi32(at.rowX(y)), y0 = _mm256_set1_epi32(at.rowY(y));
    const __m256i fraction = _mm256_set1_epi32(kFraction - 1), whole = _mm256_set1_epi32(kFraction);
    const __m256i stride = _mm256_set1_epi32(int(source.step));
    // The last column whose right neighbour's four-byte group stays in its row.
    const __m256i lastX = _mm256_set1_epi32(source.cols - 3),
                  lastY = _mm256_set1_epi32(source.rows - 2);
    const __m256i round = _mm256_set1_epi32(1 << (kWeightBits - 1));
    const __m256i packPixels =
        _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6,
                         8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const ptrdiff_t fetchAhead = at.bytesDown(8, source.step);
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m256i px = _mm256_srai_epi32(
            _mm256_add_epi32(
                x0, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at.columnX() + x))),
            kPositionBits - kFractionBits);
        const __m256i py = _mm256_srai_epi32(
            _mm256_add_epi32(
                y0, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(at.columnY() + x))),
            kPositionBits - kFractionBits);
        const __m256i sx = _mm256_srai_epi32(px, kFractionBits),
                      sy = _mm256_srai_epi32(py, kFractionBits);
        const __m256i zero = _mm256_setzero_si256();
        const __m256i outside = _mm256_or_si256(
            _mm256_or_si256(_mm256_cmpgt_epi32(zero, sx), _mm256_cmpgt_epi32(sx, lastX)),
            _mm256_or_si256(_mm256_cmpgt_epi32(zero, sy), _mm256_cmpgt_epi32(sy, lastY)));
        if (!_mm256_testz_si256(outside, outside)) {
            warpRowPortable(source, at, y, out, x, x + 8);
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
    warpRowPortable(source, at, y, out, x, width);
}

#endif

} // namespace

void warpBoxWithOpenCv(const cv::Mat &source, const cv::Mat &turn, const cv::Rect &box,
                       cv::Mat &out)
{
    cv::Mat shifted = turn.clone();
    shifted.at<double>(0, 2) -= box.x;
    shifted.at<double>(1, 2) -= box.y;
    cv::warpAffine(source, out, shifted, box.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar::all(255));
}

void warpBox(const cv::Mat &source, const cv::Mat &turn, const cv::Rect &box, cv::Mat &out)
{
#if ZQ_BOX_WARP_AVX2
    if (haveAvx2()) {
        const SourcePositions at(turn, box);
        cv::parallel_for_(cv::Range(0, box.height), [&](const cv::Range &rows) {
            for (int y = rows.start; y < rows.end; ++y)
                warpRowAvx2(source, at, y, out.ptr<uint8_t>(y), box.width);
        });
        return;
    }
#endif
    warpBoxWithOpenCv(source, turn, box, out);
}

} // namespace zq::imaging
