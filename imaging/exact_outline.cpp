#include "exact_outline.h"

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
constexpr int kMaxProfile = 63;      // pixels across a side that one search reads

// Where the strongest step of any channel lies on the frame's column (or
// row) through p, searched from reach pixels before p to reach pixels
// after it; each value is the sum of three neighbouring columns (rows).
// Searching along the frame's own axis reads the pixels as they lie, and
// any direction across a side finds the same line.  False where the
// search leaves the frame.
bool edgeOnAxis(const cv::Mat &frame, cv::Point2f p, bool vertical, int reach, cv::Point2f &edge)
{
    const int n = 2 * reach + 1;
    const int x = int(std::lround(p.x)), y = int(std::lround(p.y));
    const int first = (vertical ? y : x) - reach;
    const int across = vertical ? x : y;
    const int length = vertical ? frame.rows : frame.cols,
              width = vertical ? frame.cols : frame.rows;
    if (n > kMaxProfile || first < 0 || first + n > length || across < 1 || across + 1 >= width)
        return false;
    // Byte distances between neighbours along the search and beside it.
    const ptrdiff_t step = vertical ? ptrdiff_t(frame.step) : 3, beside = vertical ? 3 : frame.step;
    const uint8_t *at =
        vertical ? frame.ptr<uint8_t>(first) + 3 * x : frame.ptr<uint8_t>(y) + 3 * first;
    std::array<cv::Vec3i, kMaxProfile> profile;
    for (int j = 0; j < n; ++j, at += step)
        for (int c = 0; c < 3; ++c)
            profile[size_t(j)][c] = at[c - beside] + at[c] + at[c + beside];
    const auto stepAt = [&](int j, int c) {
        return std::abs(profile[size_t(j + 1)][c] - profile[size_t(j - 1)][c]);
    };
    int best = -1, channel = 0;
    for (int j = 1; j + 1 < n; ++j)
        for (int c = 0; c < 3; ++c)
            if (best < 0 || stepAt(j, c) > stepAt(best, channel)) {
                best = j;
                channel = c;
            }
    if (best < 2 || best > n - 3)
        return false;
    // The peak between its neighbours, to a fraction of a pixel.
    const double l = stepAt(best - 1, channel), m = stepAt(best, channel),
                 r = stepAt(best + 1, channel);
    const double curve = l - 2 * m + r;
    const double offset = curve < 0 ? std::clamp(0.5 * (l - r) / curve, -0.5, 0.5) : 0.0;
    const float along = float(first + best + offset);
    edge = vertical ? cv::Point2f(float(x), along) : cv::Point2f(along, float(y));
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
