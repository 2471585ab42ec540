#include "crop_record.h"

#include "zq_opencv_internal.h"

CuttingEdgeInfo g_cutting_edge = {false, {{0, 0}, {0, 0}, {0, 0}, {0, 0}}, 0.0};

namespace zq::imaging
{
namespace
{

std::optional<PageOutline> g_lastDetection;

bool sameBox(const PageOutline &a, const PageOutline &b)
{
    return a.box == b.box && a.angle == b.angle;
}

} // namespace

PageOutline recordedBox()
{
    PageOutline outline;
    for (size_t i = 0; i < 4; ++i)
        outline.box[i] = cv::Point(g_cutting_edge.point[i].x, g_cutting_edge.point[i].y);
    outline.angle = g_cutting_edge.angle;
    return outline;
}

std::optional<PageOutline> recordedOutline()
{
    if (!g_cutting_edge.valid)
        return std::nullopt;
    const PageOutline outline = recordedBox();
    if (g_lastDetection && sameBox(*g_lastDetection, outline))
        return g_lastDetection;
    return outline;
}

void recordOutline(const PageOutline &outline)
{
    g_cutting_edge = cuttingEdgeInfo(outline);
    if (outline.page)
        g_lastDetection = outline;
}

const std::optional<PageOutline> &lastDetection()
{
    return g_lastDetection;
}

void consumeRecord()
{
    g_cutting_edge.valid = false;
}

CuttingEdgeInfo cuttingEdgeInfo(const PageOutline &outline)
{
    CuttingEdgeInfo info{};
    for (size_t i = 0; i < 4; ++i)
        info.point[i] = {outline.box[i].x, outline.box[i].y};
    info.angle = outline.angle;
    info.valid = true;
    return info;
}

} // namespace zq::imaging
