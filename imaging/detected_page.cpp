#include "detected_page.h"

#include "exact_outline.h"
#include "stacked_sheets.h"

namespace zq::imaging
{

Quad pageCornersNear(const cv::Mat &frame, const Quad &coarse, int reach)
{
    const Quad outline = clockwiseFromTopLeft(exactOutline(frame, coarse, reach).value_or(coarse));
    return topSheet(frame, outline);
}

MeasuredPage steadyPage(const MeasuredPage &measured, const std::optional<PageOutline> &previous)
{
    constexpr double kSteadyPixels = 0.75;
    if (!previous || !previous->page || previous->page->frame != measured.frame)
        return measured;
    for (size_t i = 0; i < 4; ++i)
        if (cv::norm(measured.corners[i] - previous->page->corners[i]) > kSteadyPixels)
            return measured;
    return *previous->page;
}

} // namespace zq::imaging
