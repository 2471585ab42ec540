#include "fitted_line.h"

#include <algorithm>
#include <cmath>

namespace zq::imaging
{

float FittedLine::distance(cv::Point2f p) const
{
    const cv::Point2f d = p - point;
    return std::fabs(d.x * dir.y - d.y * dir.x);
}

FittedLine fitLine(const std::vector<cv::Point2f> &points)
{
    cv::Point2f mean(0, 0);
    for (const cv::Point2f &p : points)
        mean += p;
    mean /= float(points.size());
    double sxx = 0, sxy = 0, syy = 0;
    for (const cv::Point2f &p : points) {
        sxx += (p.x - mean.x) * (p.x - mean.x);
        sxy += (p.x - mean.x) * (p.y - mean.y);
        syy += (p.y - mean.y) * (p.y - mean.y);
    }
    const double a = 0.5 * std::atan2(2 * sxy, sxx - syy);
    return {mean, cv::Point2f(float(std::cos(a)), float(std::sin(a)))};
}

FittedLine lineThrough(cv::Point2f a, cv::Point2f b)
{
    return {a, (b - a) / float(cv::norm(b - a))};
}

bool meet(const FittedLine &a, const FittedLine &b, cv::Point2f &at)
{
    const float det = a.dir.x * b.dir.y - a.dir.y * b.dir.x;
    if (!(std::fabs(det) >= 1e-6f))
        return false;
    const cv::Point2f d = b.point - a.point;
    at = a.point + a.dir * ((d.x * b.dir.y - d.y * b.dir.x) / det);
    return std::isfinite(at.x) && std::isfinite(at.y);
}

std::optional<Quad> outlineOf(const FittedLine (&side)[4])
{
    Quad corners;
    for (size_t i = 0; i < 4; ++i)
        if (!meet(side[(i + 3) % 4], side[i], corners[i]))
            return std::nullopt;
    return corners;
}

cv::Point2f placeAlong(cv::Point2f a, cv::Point2f b, int k, int n)
{
    return a + (b - a) * (0.1f + 0.8f * (k + 0.5f) / n);
}

std::vector<cv::Point2f> pointsNear(const std::vector<cv::Point2f> &points, const FittedLine &line,
                                    float maxScatter)
{
    std::vector<cv::Point2f> near;
    for (const cv::Point2f &p : points)
        if (line.distance(p) <= maxScatter)
            near.push_back(p);
    return near;
}

std::optional<FittedLine> consensus(const std::vector<cv::Point2f> &points, float maxScatter)
{
    constexpr size_t kTries = 8;
    const size_t half = points.size() / 2;
    std::optional<FittedLine> best;
    size_t bestCount = 0;
    for (size_t k = 0; k < std::min(half, kTries); ++k) {
        const size_t i = k * half / std::min(half, kTries);
        if (cv::norm(points[i + half] - points[i]) < 1)
            continue;
        const FittedLine trial = lineThrough(points[i], points[i + half]);
        const size_t count = pointsNear(points, trial, maxScatter).size();
        if (count > bestCount) {
            best = trial;
            bestCount = count;
        }
    }
    return best;
}

} // namespace zq::imaging
