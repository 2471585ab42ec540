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

bool meet(const FittedLine &a, const FittedLine &b, cv::Point2f &at)
{
    const float det = a.dir.x * b.dir.y - a.dir.y * b.dir.x;
    if (std::fabs(det) < 1e-6f)
        return false;
    const cv::Point2f d = b.point - a.point;
    at = a.point + a.dir * ((d.x * b.dir.y - d.y * b.dir.x) / det);
    return true;
}

std::vector<size_t> consensus(const std::vector<cv::Point2f> &points, float maxScatter)
{
    constexpr size_t kTries = 8;
    const size_t half = points.size() / 2;
    std::vector<size_t> best;
    for (size_t k = 0; k < std::min(half, kTries); ++k) {
        const size_t i = k * half / std::min(half, kTries);
        const cv::Point2f d = points[i + half] - points[i];
        const float length = float(cv::norm(d));
        if (length < 1)
            continue;
        const FittedLine trial{points[i], d / length};
        std::vector<size_t> near;
        for (size_t j = 0; j < points.size(); ++j)
            if (trial.distance(points[j]) <= maxScatter)
                near.push_back(j);
        if (near.size() > best.size())
            best = std::move(near);
    }
    return best;
}

} // namespace zq::imaging
