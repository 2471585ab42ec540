#include "byte_curve.h"

#include "cpu_features.h"

#include <algorithm>
#include <cmath>

#if defined(__x86_64__)
#define ZQ_BYTE_CURVE_AVX2 1
#include <immintrin.h>
#endif

namespace zq::imaging
{
namespace
{

constexpr int kMaxShift = 8;
constexpr int kScaleTries = 3; // either side of the estimated scale

void applyTable(const ByteCurve::Table &table, uint8_t *bytes, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        bytes[i] = table[bytes[i]];
}

// The curve's slope between the first value above 0 and the last below
// 255, or 0 when it never leaves the clamps.
double slopeOf(const ByteCurve::Table &table)
{
    int first = -1, last = -1;
    for (int v = 0; v < 256; ++v)
        if (table[v] > 0 && table[v] < 255) {
            if (first < 0)
                first = v;
            last = v;
        }
    if (first < 0 || last == first)
        return 0;
    return double(table[last] - table[first]) / (last - first);
}

#if ZQ_BYTE_CURVE_AVX2

// The line's constants, one per 16-bit lane.
struct LineVectors {
    __m256i factor, add, subtract, top;
    __m128i shift;
};

// Sixteen values, each in the high byte of its lane (v * 256), through the
// line.
__attribute__((target("avx2"))) inline __m256i onLine(__m256i v, const LineVectors &line)
{
    v = _mm256_mulhi_epu16(v, line.factor);
    v = _mm256_subs_epu16(_mm256_adds_epu16(v, line.add), line.subtract);
    return _mm256_min_epu16(_mm256_srl_epi16(v, line.shift), line.top);
}

__attribute__((target("avx2"))) void applyLineAvx2(uint16_t scale, int32_t offset, int shift,
                                                   uint8_t *bytes, size_t count)
{
    const LineVectors line{_mm256_set1_epi16(static_cast<short>(scale)),
                           _mm256_set1_epi16(static_cast<short>(offset > 0 ? offset : 0)),
                           _mm256_set1_epi16(static_cast<short>(offset < 0 ? -offset : 0)),
                           _mm256_set1_epi16(255), _mm_cvtsi32_si128(shift)};
    const __m256i zero = _mm256_setzero_si256();
    for (size_t i = 0; i + 32 <= count; i += 32) {
        auto *p = reinterpret_cast<__m256i *>(bytes + i);
        const __m256i v = _mm256_loadu_si256(p);
        const __m256i low = onLine(_mm256_unpacklo_epi8(zero, v), line);
        const __m256i high = onLine(_mm256_unpackhi_epi8(zero, v), line);
        _mm256_storeu_si256(p, _mm256_packus_epi16(low, high));
    }
}

#endif

} // namespace

uint8_t ByteCurve::Line::at(int v) const
{
    const uint32_t product = (uint32_t(v) << 8) * scale >> 16;
    const int32_t sum = std::clamp(int32_t(product) + offset, 0, 65535);
    return uint8_t(std::min(255, sum >> shift));
}

// Looks for a line that gives every entry of the table exactly: for each
// shift, scales near the curve's slope, and the offsets each entry allows.
ByteCurve::Line ByteCurve::fitLine(const Table &table)
{
    const double slope = slopeOf(table);
    for (int shift = kMaxShift; shift >= 0; --shift) {
        const long estimate = std::lround(std::ldexp(slope, 8 + shift));
        for (long scale = estimate - kScaleTries; scale <= estimate + kScaleTries; ++scale) {
            if (scale < 0 || scale > 65535)
                continue;
            Line line{true, uint16_t(scale), 0, shift};
            int32_t low = -65535, high = 65535;
            for (int v = 0; v < 256; ++v) {
                const int32_t product = int32_t((uint32_t(v) << 8) * uint32_t(scale) >> 16);
                if (table[v] > 0)
                    low = std::max(low, (int32_t(table[v]) << shift) - product);
                if (table[v] < 255)
                    high = std::min(high, ((int32_t(table[v]) + 1) << shift) - 1 - product);
            }
            if (low > high)
                continue;
            line.offset = low;
            bool exact = true;
            for (int v = 0; v < 256 && exact; ++v)
                exact = line.at(v) == table[v];
            if (exact)
                return line;
        }
    }
    return {};
}

ByteCurve::ByteCurve(const Table &table) : table_(table), line_(fitLine(table)) {}

void ByteCurve::apply(uint8_t *bytes, size_t count) const
{
#if ZQ_BYTE_CURVE_AVX2
    if (line_.found && haveAvx2()) {
        applyLineAvx2(line_.scale, line_.offset, line_.shift, bytes, count);
        const size_t done = count / 32 * 32;
        applyTable(table_, bytes + done, count - done);
        return;
    }
#endif
    applyTable(table_, bytes, count);
}

} // namespace zq::imaging
