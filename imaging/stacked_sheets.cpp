#include "stacked_sheets.h"

#include "fitted_line.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <vector>

namespace zq::imaging
{
namespace
{

constexpr double kMaxStripShare = 0.05;   // of a side's length the strip of sheets below shows
constexpr int kMinStrip = 3;              // pixels between the stack's edge and the page's
constexpr int kMaxWalk = 96;              // pixels read inward from the stack's edge
constexpr int kSamples = 32;              // places along a side
constexpr double kMinSeen = 0.7;          // share of the places that find the page's edge
constexpr float kMaxScatter = 1.5f;       // pixels a place may lie off the page's edge
constexpr double kMaxTurnDegrees = 3;     // between the page's edge and the stack's
constexpr int kMinDarker = 4;             // grey levels the strip lies below the page,
constexpr double kMinDarkerShare = 0.025; // and that share of the page's brightness
constexpr int kInsidePage = 4;            // pixels inside the page's edge its brightness is read

// One place along a side: where the strongest step lies inward of the
// stack's edge, and the brightness of the page inside it and of the strip
// outside it.
struct Place {
    cv::Point2f edge;
    int page, strip; // mean grey level, 0..255
};

// Walks inward from p along the frame's column (or row), reading the grey
// level summed over three neighbouring columns (rows).
std::optional<Place> walkInward(const cv::Mat &frame, cv::Point2f p, cv::Point2f inward, int band)
{
    const bool vertical = std::fabs(inward.y) >= std::fabs(inward.x);
    const int sign = (vertical ? inward.y : inward.x) > 0 ? 1 : -1;
    const int x = int(std::lround(p.x)), y = int(std::lround(p.y));
    const int n = band + kInsidePage + 2;
    const int lastAlong = (vertical ? y : x) + sign * (n - 1);
    const int across = vertical ? x : y;
    const int length = vertical ? frame.rows : frame.cols,
              width = vertical ? frame.cols : frame.rows;
    if ((vertical ? y : x) < 0 || (vertical ? y : x) >= length || lastAlong < 0 ||
        lastAlong >= length || across < 1 || across + 1 >= width)
        return std::nullopt;
    const ptrdiff_t step = sign * (vertical ? ptrdiff_t(frame.step) : 3);
    const ptrdiff_t beside = vertical ? 3 : ptrdiff_t(frame.step);
    const uint8_t *at = frame.ptr<uint8_t>(y) + 3 * x;
    std::array<int, kMaxWalk> grey;
    for (int t = 0; t < n; ++t, at += step) {
        int sum = 0;
        for (int c = 0; c < 3; ++c)
            sum += at[c - beside] + at[c] + at[c + beside];
        grey[size_t(t)] = sum;
    }
    int best = kMinStrip, bestStep = -1;
    for (int t = kMinStrip; t <= band; ++t) {
        const int s = std::abs(grey[size_t(t + 1)] - grey[size_t(t - 1)]);
        if (s > bestStep) {
            bestStep = s;
            best = t;
        }
    }
    const cv::Point2f axis = vertical ? cv::Point2f(0, float(sign)) : cv::Point2f(float(sign), 0);
    return Place{cv::Point2f(float(x), float(y)) + axis * float(best),
                 grey[size_t(best + kInsidePage)] / 9, grey[size_t(best / 2)] / 9};
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
    const cv::Point2f along = (b - a) / length;
    const cv::Point2f inward(-along.y, along.x); // clockwise on screen
    const int band = std::min(kMaxWalk - kInsidePage - 2, int(kMaxStripShare * length));
    if (band <= kMinStrip)
        return std::nullopt;
    std::vector<Place> places;
    for (int k = 0; k < kSamples; ++k) {
        const cv::Point2f p = a + along * (length * (0.1f + 0.8f * (k + 0.5f) / kSamples));
        if (const std::optional<Place> place = walkInward(frame, p, inward, band))
            places.push_back(*place);
    }
    if (places.size() < kMinSeen * kSamples)
        return std::nullopt;
    std::vector<cv::Point2f> found;
    for (const Place &p : places)
        found.push_back(p.edge);
    const std::vector<size_t> agreeing = consensus(found, kMaxScatter);
    if (agreeing.size() < kMinSeen * kSamples)
        return std::nullopt;
    std::vector<cv::Point2f> points;
    std::vector<int> page, strip;
    for (size_t i : agreeing) {
        points.push_back(places[i].edge);
        page.push_back(places[i].page);
        strip.push_back(places[i].strip);
    }
    const FittedLine edge = fitLine(points);
    const double turn = std::acos(std::min(1.0f, std::fabs(edge.dir.dot(along)))) * 180 / CV_PI;
    const int darker = median(page) - median(strip);
    if (turn > kMaxTurnDegrees || darker < kMinDarker || darker < kMinDarkerShare * median(page))
        return std::nullopt;
    // The page lies inside the stack all along the side.
    const FittedLine side{a, along};
    for (const cv::Point2f end : {a, b}) {
        const cv::Point2f onEdge = edge.point + edge.dir * edge.dir.dot(end - edge.point);
        if (side.distance(onEdge) < kMinStrip - 1 || (onEdge - end).dot(inward) < 0)
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
        side[i] = inside ? *inside : FittedLine{a, (b - a) / float(cv::norm(b - a))};
        moved += inside.has_value();
    }
    if (moved == 0 || moved == 4)
        return outline;
    Quad top;
    for (size_t i = 0; i < 4; ++i)
        if (!meet(side[(i + 3) % 4], side[i], top[i]))
            return outline;
    return top;
}

} // namespace zq::imaging
