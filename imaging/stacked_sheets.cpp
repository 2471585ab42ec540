#include "stacked_sheets.h"

#include "axis_profile.h"
#include "fitted_line.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace zq::imaging
{
namespace
{

constexpr double kMaxStripShare = 0.05; // of a side's length the strip of sheets below shows
constexpr int kMinStrip = 6;          // pixels between the stack's edge and the page's: the stack's
                                      // own edge blurs over the first pixels inward
constexpr int kSamples = 32;          // places along a side
constexpr double kMinSeen = 0.7;      // share of the places that find the page's edge
constexpr float kMaxScatter = 1.5f;   // pixels a place may lie off the page's edge
constexpr double kMaxTurnDegrees = 3; // between the page's edge and the stack's
constexpr int kMinDarker = 4;         // grey levels the strip lies below the page,
constexpr double kMinDarkerShare = 0.025; // and that share of the page's brightness
constexpr int kInsidePage = 4;            // pixels inside the page's edge its brightness is read

// One place along a side: where the brightness first rises inward of the
// stack's edge, onto the page lying brighter on top, and the brightness of
// the page inside it and of the strip outside it.
struct Place {
    cv::Point2f edge;
    int page, strip; // mean grey levels
};

std::optional<Place> walkInward(const cv::Mat &frame, cv::Point2f p, cv::Point2f inward, int band)
{
    const bool vertical = std::fabs(inward.y) >= std::fabs(inward.x);
    const int sign = (vertical ? inward.y : inward.x) > 0 ? 1 : -1;
    const std::optional<AxisProfile> profile =
        AxisProfile::read(frame, cv::Point(int(std::lround(p.x)), int(std::lround(p.y))), vertical,
                          sign, band + kInsidePage + 5);
    if (!profile)
        return std::nullopt;
    const int t = profile->firstRise(kMinStrip, band, kMinDarker);
    if (t < 0)
        return std::nullopt;
    return Place{profile->at(profile->stepMiddle(t)), profile->grey(t + kInsidePage),
                 profile->grey(t / 2)};
}

int median(std::vector<int> v)
{
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// The top sheet's edge inside the stack's side from a to b, where there
// is one.
std::optional<FittedLine> pageEdgeInside(const cv::Mat &frame, cv::Point2f a, cv::Point2f b)
{
    const float length = float(cv::norm(b - a));
    const cv::Point2f along = lineThrough(a, b).dir;
    const cv::Point2f inward(-along.y, along.x); // clockwise on screen
    const int band =
        std::min(AxisProfile::kMaxLength - kInsidePage - 5, int(kMaxStripShare * length));
    if (band <= kMinStrip)
        return std::nullopt;
    std::vector<Place> places;
    for (int k = 0; k < kSamples; ++k) {
        if (const std::optional<Place> place =
                walkInward(frame, placeAlong(a, b, k, kSamples), inward, band))
            places.push_back(*place);
    }
    if (places.size() < kMinSeen * kSamples)
        return std::nullopt;
    std::vector<cv::Point2f> found;
    for (const Place &p : places)
        found.push_back(p.edge);
    const std::optional<FittedLine> agreed = consensus(found, kMaxScatter);
    if (!agreed)
        return std::nullopt;
    std::vector<cv::Point2f> points;
    std::vector<int> page, strip;
    for (const Place &p : places)
        if (agreed->distance(p.edge) <= kMaxScatter) {
            points.push_back(p.edge);
            page.push_back(p.page);
            strip.push_back(p.strip);
        }
    if (points.size() < kMinSeen * kSamples)
        return std::nullopt;
    const FittedLine edge = fitLine(points);
    const double turn = std::acos(std::min(1.0f, std::fabs(edge.dir.dot(along)))) * 180 / CV_PI;
    const int darker = median(page) - median(strip);
    if (turn > kMaxTurnDegrees || darker < kMinDarker || darker < kMinDarkerShare * median(page))
        return std::nullopt;
    // The page lies inside the stack all along the side; the strip may
    // narrow towards a corner, where a sheet below is turned a little.
    for (const cv::Point2f end : {a, b}) {
        const cv::Point2f onEdge = edge.point + edge.dir * edge.dir.dot(end - edge.point);
        if ((onEdge - end).dot(inward) < 1)
            return std::nullopt;
    }
    return edge;
}

} // namespace

Quad topSheet(const cv::Mat &frame, const Quad &outline)
{
    FittedLine side[4];
    int moved = 0;
    for (size_t i = 0; i < 4; ++i) {
        const cv::Point2f a = outline[i], b = outline[(i + 1) % 4];
        const std::optional<FittedLine> inside = pageEdgeInside(frame, a, b);
        side[i] = inside ? *inside : lineThrough(a, b);
        moved += inside.has_value();
    }
    if (moved == 0 || moved == 4)
        return outline;
    return outlineOf(side).value_or(outline);
}

} // namespace zq::imaging
