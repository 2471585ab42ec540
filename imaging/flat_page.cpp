#include "flat_page.h"

#include "cpu_features.h"
#include "fitted_line.h"
#include "warp_kernel.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace zq::imaging
{
namespace
{

double focal = kDefaultFocalLength;

// A page seen at a steep angle is stretched back to its proportions, to
// at most this many times the frame's pixels.
constexpr double kMostFramesInAPage = 4;

cv::Vec3d homogeneous(cv::Point2f p, cv::Point2d centre)
{
    return {p.x - centre.x, p.y - centre.y, 1.0};
}

double sideLength(const Quad &q, int i)
{
    return cv::norm(q[(i + 1) % 4] - q[i]);
}

#if ZQ_WARP_AVX2

// Where the pixels of one output row come from, through the homography
// from the upright page to the frame, in the kernel's 1/32 pixel: worked
// out for the whole row before it is sampled, so that the sampling loop
// does not wait for each division.
class PerspectiveRow
{
  public:
    ZQ_AVX2 PerspectiveRow(const cv::Matx33d &h, int y, int width, std::vector<int> &xs,
                           std::vector<int> &ys)
        : xs_(xs), ys_(ys)
    {
        xs.resize(size_t(width) + 8);
        ys.resize(size_t(width) + 8);
        const __m256 m0 = _mm256_set1_ps(float(h(0, 0))), m3 = _mm256_set1_ps(float(h(1, 0))),
                     m6 = _mm256_set1_ps(float(h(2, 0)));
        const __m256 bx = _mm256_set1_ps(float(h(0, 1) * y + h(0, 2))),
                     by = _mm256_set1_ps(float(h(1, 1) * y + h(1, 2))),
                     bw = _mm256_set1_ps(float(h(2, 1) * y + h(2, 2)));
        const __m256 fraction = _mm256_set1_ps(float(warp::kFraction));
        __m256 c = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
        const __m256 eight = _mm256_set1_ps(8);
        for (int column = 0; column < width; column += 8, c = _mm256_add_ps(c, eight)) {
            const __m256 scale = _mm256_div_ps(fraction, _mm256_add_ps(_mm256_mul_ps(m6, c), bw));
            _mm256_storeu_si256(
                reinterpret_cast<__m256i *>(xs.data() + column),
                _mm256_cvtps_epi32(_mm256_mul_ps(_mm256_add_ps(_mm256_mul_ps(m0, c), bx), scale)));
            _mm256_storeu_si256(
                reinterpret_cast<__m256i *>(ys.data() + column),
                _mm256_cvtps_epi32(_mm256_mul_ps(_mm256_add_ps(_mm256_mul_ps(m3, c), by), scale)));
        }
    }

    void at(int column, int &x, int &y) const
    {
        x = xs_[size_t(column)];
        y = ys_[size_t(column)];
    }
    ZQ_AVX2 void at8(int column, __m256i &x, __m256i &y) const
    {
        x = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(xs_.data() + column));
        y = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(ys_.data() + column));
    }

  private:
    const std::vector<int> &xs_, &ys_;
};

// How far, in bytes, the source of a row's middle lies from that of the
// row eight below.
ptrdiff_t bytesEightRowsDown(const cv::Matx33d &h, cv::Size out, size_t step)
{
    const auto at = [&](int y) {
        const cv::Vec3d p = h * cv::Vec3d(out.width / 2.0, y, 1.0);
        return cv::Point2d(p[0] / p[2], p[1] / p[2]);
    };
    const cv::Point2d d = at(out.height / 2 + 8) - at(out.height / 2);
    return std::lrint(d.y) * ptrdiff_t(step) + 3 * std::lrint(d.x);
}

#endif

} // namespace

void setFocalLength(double longerSides)
{
    focal = longerSides > 0 ? longerSides : kDefaultFocalLength;
}

double focalLength()
{
    return focal;
}

double pageAspect(const Quad &q, cv::Size frame, double f)
{
    const double meanRatio =
        (sideLength(q, 0) + sideLength(q, 2)) / (sideLength(q, 1) + sideLength(q, 3));
    // The method names the corners of the rectangle (0,0), (w,0), (0,h),
    // (w,h) m1 to m4, their pictures relative to the principal point.
    const cv::Point2d centre(frame.width / 2.0, frame.height / 2.0);
    const cv::Vec3d m1 = homogeneous(q[0], centre), m2 = homogeneous(q[1], centre),
                    m3 = homogeneous(q[3], centre), m4 = homogeneous(q[2], centre);
    const double k2 = m1.cross(m4).dot(m3) / m2.cross(m4).dot(m3);
    const double k3 = m1.cross(m4).dot(m2) / m3.cross(m4).dot(m2);
    const cv::Vec3d n2 = k2 * m2 - m1, n3 = k3 * m3 - m1;
    const double f2 = f * f;
    const double across = (n2[0] * n2[0] + n2[1] * n2[1]) / f2 + n2[2] * n2[2];
    const double down = (n3[0] * n3[0] + n3[1] * n3[1]) / f2 + n3[2] * n3[2];
    const double ratio = std::sqrt(across / down);
    // A ratio far from what the sides show comes from a degenerate outline.
    if (!std::isfinite(ratio) || ratio <= 0 || ratio > 2 * meanRatio || 2 * ratio < meanRatio)
        return meanRatio;
    return ratio;
}

std::optional<cv::Size> flatPageSize(const Quad &q, cv::Size frame, double f)
{
    const double width = std::max(sideLength(q, 0), sideLength(q, 2));
    return cappedPageSize(width, width / pageAspect(q, frame, f), frame);
}

std::optional<cv::Size> cappedPageSize(double width, double height, cv::Size frame)
{
    if (!(width >= 1 && height >= 1) || !std::isfinite(width * height))
        return std::nullopt;
    const double most = std::min(kMostFramesInAPage * frame.area(), double(INT_MAX / 3));
    const double shrink = std::min(1.0, std::sqrt(most / (width * height)));
    const cv::Size size(int(width * shrink), int(height * shrink));
    if (size.width < 1 || size.height < 1)
        return std::nullopt;
    return size;
}

std::optional<Quad> insetQuad(const Quad &q, float guard)
{
    FittedLine side[4];
    for (size_t i = 0; i < 4; ++i) {
        side[i] = lineThrough(q[i], q[(i + 1) % 4]);
        // Clockwise on screen the inside lies to the right of each side:
        // with y downwards that is the direction turned by +90 degrees.
        side[i].point += guard * cv::Point2f(-side[i].dir.y, side[i].dir.x);
    }
    return outlineOf(side);
}

void warpFlatPage(const cv::Mat &frame, const Quad &q, cv::Mat &out)
{
    // The outline runs along the outer edges of the output's pixels.
    const float w = float(out.cols) - 0.5f, h = float(out.rows) - 0.5f;
    const cv::Point2f upright[4] = {{-0.5f, -0.5f}, {w, -0.5f}, {w, h}, {-0.5f, h}};
    const cv::Matx33d toFrame = cv::getPerspectiveTransform(upright, q.data());
#if ZQ_WARP_AVX2
    if (haveAvx2()) {
        const ptrdiff_t fetchAhead = bytesEightRowsDown(toFrame, out.size(), frame.step);
        cv::parallel_for_(cv::Range(0, out.rows), [&](const cv::Range &rows) {
            std::vector<int> xs, ys;
            for (int y = rows.start; y < rows.end; ++y)
                warp::warpRowAvx2(frame, PerspectiveRow(toFrame, y, out.cols, xs, ys),
                                  out.ptr<uint8_t>(y), out.cols, fetchAhead);
        });
        return;
    }
#endif
    warpFlatPageWithOpenCv(frame, toFrame, out);
}

void warpFlatPageWithOpenCv(const cv::Mat &frame, const cv::Matx33d &toFrame, cv::Mat &out)
{
    cv::warpPerspective(frame, out, toFrame, out.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                        cv::BORDER_CONSTANT, cv::Scalar::all(255));
}

std::optional<FlatCut> planFlatCut(const Quad &page, cv::Size frame)
{
    const double f = focalLength() * std::max(frame.width, frame.height);
    const std::optional<Quad> inside = insetQuad(uprightOrder(page), kEdgeGuard);
    if (!inside)
        return std::nullopt;
    const std::optional<cv::Size> size = flatPageSize(*inside, frame, f);
    if (!size)
        return std::nullopt;
    return FlatCut{*size, *inside};
}

} // namespace zq::imaging
