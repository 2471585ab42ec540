#include "page_outline.h"

#include <opencv2/imgproc.hpp>

#include <cmath>
#include <vector>

namespace zq::imaging
{

PageOutline rectangleOutline(cv::Point a, cv::Point b)
{
    PageOutline outline;
    outline.box = {a, cv::Point(a.x, b.y), b, cv::Point(b.x, a.y)};
    return outline;
}

std::optional<Quad> measuredIn(const PageOutline &outline, cv::Size frame)
{
    if (!outline.page || outline.page->frame != frame)
        return std::nullopt;
    return outline.page->corners;
}

Quad outlineCorners(const PageOutline &outline)
{
    if (outline.page)
        return outline.page->corners;
    Quad q;
    for (size_t i = 0; i < 4; ++i)
        q[i] = cv::Point2f(float(outline.box[i].x), float(outline.box[i].y));
    return clockwiseFromTopLeft(q);
}

void drawOutline(cv::Mat &frame, const PageOutline &outline)
{
    std::vector<cv::Point> corners(outline.box.begin(), outline.box.end());
    if (const std::optional<Quad> page = measuredIn(outline, frame.size())) {
        corners.clear();
        for (const cv::Point2f &p : *page)
            corners.emplace_back(int(std::lround(p.x)), int(std::lround(p.y)));
    }
    cv::polylines(frame, corners, true, cv::Scalar(0, 255, 0, 0), 5, cv::LINE_AA, 0);
}

} // namespace zq::imaging
