// How closely an outline covers the page: the true corners as a polygon,
// and the overlap of two convex quadrilaterals.
#ifndef ZQ_TESTS_OUTLINE_OVERLAP_H
#define ZQ_TESTS_OUTLINE_OVERLAP_H

#include "scene.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <vector>

namespace zq::test
{

inline std::vector<cv::Point2f> polygon(const std::array<zq::sim::Point, 4> &corners)
{
    std::vector<cv::Point2f> p;
    for (const zq::sim::Point &c : corners)
        p.emplace_back(float(c.x), float(c.y));
    return p;
}

// Intersection over union of two convex quadrilaterals.
inline double overlap(std::vector<cv::Point2f> a, std::vector<cv::Point2f> b)
{
    for (auto *q : {&a, &b})
        if (cv::contourArea(*q, true) < 0)
            std::reverse(q->begin(), q->end());
    std::vector<cv::Point2f> common;
    const double both = cv::intersectConvexConvex(a, b, common);
    return both / (cv::contourArea(a) + cv::contourArea(b) - both);
}

} // namespace zq::test

#endif
