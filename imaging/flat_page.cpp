#include "flat_page.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace zq::imaging
{
namespace
{

double focal = kDefaultFocalLength;

cv::Vec3d homogeneous(cv::Point2f p, cv::Point2d centre)
{
    return {p.x - centre.x, p.y - centre.y, 1.0};
}

double sideLength(const Quad &q, int i)
{
    return cv::norm(q[(i + 1) % 4] - q[i]);
}

// Where two lines meet, each given by a point and a direction.
cv::Point2f meet(cv::Point2f p, cv::Point2f d, cv::Point2f q, cv::Point2f e)
{
    const float det = d.x * e.y - d.y * e.x;
    if (std::fabs(det) < 1e-9f)
        return p;
    const cv::Point2f w = q - p;
    return p + d * ((w.x * e.y - w.y * e.x) / det);
}

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

cv::Size flatPageSize(const Quad &q, cv::Size frame, double f)
{
    const double width = std::max(sideLength(q, 0), sideLength(q, 2));
    const double height = width / pageAspect(q, frame, f);
    return {std::max(1, int(std::lround(width))), std::max(1, int(std::lround(height)))};
}

Quad insetQuad(const Quad &q, float guard)
{
    cv::Point2f point[4], dir[4];
    for (int i = 0; i < 4; ++i) {
        dir[i] = q[(i + 1) % 4] - q[i];
        dir[i] /= float(cv::norm(dir[i]));
        // Clockwise on screen the inside lies to the right of each side:
        // with y downwards that is the direction turned by +90 degrees.
        point[i] = q[i] + guard * cv::Point2f(-dir[i].y, dir[i].x);
    }
    Quad inset;
    for (int i = 0; i < 4; ++i)
        inset[i] = meet(point[(i + 3) % 4], dir[(i + 3) % 4], point[i], dir[i]);
    return inset;
}

void warpFlatPage(const cv::Mat &frame, const Quad &q, cv::Mat &out)
{
    // The outline runs along the outer edges of the output's pixels.
    const float w = float(out.cols) - 0.5f, h = float(out.rows) - 0.5f;
    const cv::Point2f upright[4] = {{-0.5f, -0.5f}, {w, -0.5f}, {w, h}, {-0.5f, h}};
    const cv::Mat toFrame = cv::getPerspectiveTransform(upright, q.data());
    cv::warpPerspective(frame, out, toFrame, out.size(), cv::INTER_LINEAR | cv::WARP_INVERSE_MAP,
                        cv::BORDER_CONSTANT, cv::Scalar::all(255));
}

} // namespace zq::imaging
