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

// The points within kMaxScatter of the line.
std::vector<cv::Point2f> agreeing(const std::vector<cv::Point2f> &pts, const FittedLine &line)
{
    std::vector<cv::Point2f> near;
    for (const cv::Point2f &p : pts)
        if (line.distance(p) <= kMaxScatter)
            near.push_back(p);
    return near;
}

// The page's edge along one side of the recorded outline, measured at
// samples along the side's middle part; the side's own line when too few
// samples agree.
FittedLine measureSide(const cv::Mat &frame, cv::Point2f a, cv::Point2f b, int reach)
{
    const float length = float(cv::norm(b - a));
    const cv::Point2f along = (b - a) / length;
    const FittedLine recorded{a, along};
    // Across a side that runs more across the frame than down it, the
    // search runs down the columns.
    const bool vertical = std::fabs(along.x) >= std::fabs(along.y);
    const int samples = std::clamp(int(length / 4), 8, kMaxSamples);
    std::vector<cv::Point2f> found;
    for (int k = 0; k < samples; ++k) {
        const cv::Point2f p = a + along * (length * (0.1f + 0.8f * (k + 0.5f) / samples));
        cv::Point2f edge;
        if (edgeOnAxis(frame, p, vertical, reach, edge))
            found.push_back(edge);
    }
    if (found.size() < kMinMeasured * samples)
        return recorded;
    std::vector<cv::Point2f> near;
    for (size_t i : consensus(found, kMaxScatter))
        near.push_back(found[i]);
    if (near.size() < kMinMeasured * samples)
        return recorded;
    // Once more with the points near the fitted line.
    near = agreeing(found, fitLine(near));
    return near.size() < kMinMeasured * samples ? recorded : fitLine(near);
}

} // namespace

std::optional<Quad> exactOutline(const cv::Mat &frame, const Quad &coarse, int reach)
{
    FittedLine side[4];
    for (int i = 0; i < 4; ++i)
        side[i] = measureSide(frame, coarse[i], coarse[(i + 1) % 4], reach);
    Quad exact;
    for (int i = 0; i < 4; ++i)
        if (!meet(side[(i + 3) % 4], side[i], exact[i]) ||
            !(cv::norm(exact[i] - coarse[i]) <= 2.0 * reach))
            return std::nullopt;
    return exact;
}

} // namespace zq::imaging
