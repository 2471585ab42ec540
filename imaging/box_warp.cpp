#include "box_warp.h"

#include "cpu_features.h"
#include "warp_kernel.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

namespace zq::imaging
{
namespace
{

// Positions are worked out in 1/1024 pixel and rounded to the kernel's
// 1/32, as OpenCV's affine warp does.
constexpr int kPositionBits = 10;
constexpr int kRoundToFraction = (1 << kPositionBits) / warp::kFraction / 2;

int fixedPoint(double v)
{
    return static_cast<int>(std::lrint(v * (1 << kPositionBits)));
}

constexpr int toFraction(int position)
{
    return position >> (kPositionBits - warp::kFractionBits);
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

// The positions of one output row, in the kernel's 1/32 pixel.
class RowPositions
{
  public:
    RowPositions(const SourcePositions &at, int y) : at_(at), x0_(at.rowX(y)), y0_(at.rowY(y)) {}

    void at(int column, int &x, int &y) const
    {
        x = toFraction(x0_ + at_.columnX()[column]);
        y = toFraction(y0_ + at_.columnY()[column]);
    }
#if ZQ_WARP_AVX2
    ZQ_AVX2 void at8(int column, __m256i &x, __m256i &y) const
    {
        x = eight(x0_, at_.columnX() + column);
        y = eight(y0_, at_.columnY() + column);
    }
#endif

  private:
#if ZQ_WARP_AVX2
    ZQ_AVX2 static __m256i eight(int row, const int *columns)
    {
        return _mm256_srai_epi32(
            _mm256_add_epi32(_mm256_set1_epi32(row),
                             _mm256_loadu_si256(reinterpret_cast<const __m256i *>(columns))),
            kPositionBits - warp::kFractionBits);
    }
#endif

    const SourcePositions &at_;
    int x0_, y0_;
};

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
#if ZQ_WARP_AVX2
    if (haveAvx2()) {
        const SourcePositions at(turn, box);
        const ptrdiff_t fetchAhead = at.bytesDown(8, source.step);
        cv::parallel_for_(cv::Range(0, box.height), [&](const cv::Range &rows) {
            for (int y = rows.start; y < rows.end; ++y)
                warp::warpRowAvx2(source, RowPositions(at, y), out.ptr<uint8_t>(y), box.width,
                                  fetchAhead);
        });
        return;
    }
#endif
    warpBoxWithOpenCv(source, turn, box, out);
}

} // namespace zq::imaging
