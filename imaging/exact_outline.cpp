#include "exact_outline.h"

#include "axis_profile.h"
#include "fitted_line.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace zq::imaging
{
namespace
{

constexpr double kMinMeasured = 0.4; // share of a side's samples that must find its edge
constexpr float kMaxScatter = 1.5f;  // pixels an edge sample may lie off its side's line
constexpr int kMaxSamples = 48;      // along a side: enough for a line to a tenth of a pixel

// Where the page's edge crosses the frame's column (or row) through p,
// searched from reach pixels before p to reach pixels after it: the
// strongest step between the brightness on its two sides.  Searching
// along the frame's own axis reads the pixels as they lie, and any
// direction across a side finds the same line.  False where the search
// leaves the frame or finds the step at its ends.
bool edgeOnAxis(const cv::Mat &frame, cv::Point2f p, bool vertical, int reach, cv::Point2f &edge)
{
    // Beyond each end, room for the plateaus a step is measured between.
    constexpr int kRoom = 4;
    const cv::Point centre(int(std::lround(p.x)), int(std::lround(p.y)));
    const cv::Point from =
        centre - (vertical ? cv::Point(0, reach + kRoom) : cv::Point(reach + kRoom, 0));
    const std::optional<AxisProfile> profile =
        AxisProfile::read(frame, from, vertical, 1, 2 * (reach + kRoom) + 1);
    if (!profile)
        return false;
    const int t = profile->strongestStep(kRoom, kRoom + 2 * reach);
    if (t <= kRoom || t >= kRoom + 2 * reach)
        return false;
    edge = profile->at(profile->stepMiddle(t));
    return true;
}

// The page's edge along one side of the recorded outline, measured at
// samples along the side's middle part; the side's own line when too few
// samples agree.
FittedLine measureSide(const cv::Mat &frame, cv::Point2f a, cv::Point2f b, int reach)
{
    const FittedLine recorded = lineThrough(a, b);
    // Across a side that runs more across the frame than down it, the
    // search runs down the columns.
    const bool vertical = std::fabs(recorded.dir.x) >= std::fabs(recorded.dir.y);
    const int samples = std::clamp(int(cv::norm(b - a) / 4), 8, kMaxSamples);
    std::vector<cv::Point2f> found;
    for (int k = 0; k < samples; ++k) {
        cv::Point2f edge;
        if (edgeOnAxis(frame, placeAlong(a, b, k, samples), vertical, reach, edge))
            found.push_back(edge);
    }
    const std::optional<FittedLine> agreed = consensus(found, kMaxScatter);
    if (!agreed)
        return recorded;
    std::vector<cv::Point2f> near = pointsNear(found, *agreed, kMaxScatter);
    if (near.size() < kMinMeasured * samples)
        return recorded;
    // Once more with the points near the fitted line.
    near = pointsNear(found, fitLine(near), kMaxScatter);
    return near.size() < kMinMeasured * samples ? recorded : fitLine(near);
}

} // namespace

std::optional<Quad> exactOutline(const cv::Mat &frame, const Quad &coarse, int reach)
{
    FittedLine side[4];
    for (size_t i = 0; i < 4; ++i)
        side[i] = measureSide(frame, coarse[i], coarse[(i + 1) % 4], reach);
    const std::optional<Quad> exact = outlineOf(side);
    if (!exact)
        return std::nullopt;
    for (size_t i = 0; i < 4; ++i)
        if (!(cv::norm((*exact)[i] - coarse[i]) <= 2.0 * reach))
            return std::nullopt;
    return exact;
}

} // namespace zq::imaging
