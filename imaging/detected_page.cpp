#include "detected_page.h"

#include "exact_outline.h"
#include "stacked_sheets.h"
#include "zq_opencv_internal.h"

namespace zq::imaging
{
namespace
{

constexpr double kSteadyPixels = 0.75;

std::optional<DetectedPage> last;

bool sameRecord(const CuttingEdgeInfo &a, const CuttingEdgeInfo &b)
{
    for (int i = 0; i < 4; ++i)
        if (a.point[i].x != b.point[i].x || a.point[i].y != b.point[i].y)
            return false;
    return a.valid == b.valid && a.angle == b.angle;
}

} // namespace

Quad pageCornersNear(const cv::Mat &frame, const Quad &coarse, int reach)
{
    const Quad outline = clockwiseFromTopLeft(exactOutline(frame, coarse, reach).value_or(coarse));
    return topSheet(frame, outline);
}

Quad steadyCorners(const Quad &measured, int width, int height)
{
    if (!last || last->width != width || last->height != height)
        return measured;
    for (size_t i = 0; i < 4; ++i)
        if (cv::norm(measured[i] - last->corners[i]) > kSteadyPixels)
            return measured;
    return last->corners;
}

void rememberDetection(const DetectedPage &page)
{
    last = page;
}

std::optional<Quad> detectedCorners()
{
    if (!last || !g_cutting_edge.valid || !sameRecord(g_cutting_edge, last->record))
        return std::nullopt;
    return last->corners;
}

std::optional<Quad> detectedCorners(int width, int height)
{
    if (!last || width != last->width || height != last->height)
        return std::nullopt;
    return detectedCorners();
}

} // namespace zq::imaging
