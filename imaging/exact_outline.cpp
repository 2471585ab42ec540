#include "exact_outline.h"

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

struct Line {
    cv::Point2f point, dir;
};

bool intersect(const Line &a, const Line &b, cv::Point2f &p)
{
    const float det = a.dir.x * b.dir.y - a.dir.y * b.dir.x;
    if (std::fabs(det) < 1e-6f)
        return false;
    const cv::Point2f d = b.point - a.point;
    p = a.point + a.dir * ((d.x * b.dir.y - d.y * b.dir.x) / det);
    return true;
}

// Total least squares through the points.
Line fit(const std::vector<cv::Point2f> &pts)
{
    cv::Point2f mean(0, 0);
    for (const cv::Point2f &p : pts)
        mean += p;
    mean /= float(pts.size());
    double sxx = 0, sxy = 0, syy = 0;
    for (const cv::Point2f &p : pts) {
        sxx += (p.x - mean.x) * (p.x - mean.x);
        sxy += (p.x - mean.x) * (p.y - mean.y);
        syy += (p.y - mean.y) * (p.y - mean.y);
    }
    const double a = 0.5 * std::atan2(2 * sxy, sxx - syy);
    return {mean, cv::Point2f(float(std::cos(a)), float(std::sin(a)))};
}

float distance(const Line &l, cv::Point2f p)
{
    const cv::Point2f d = p - l.point;
    return std::fabs(d.x * l.dir.y - d.y * l.dir.x);
}

// Where the strongest step of any channel lies across the side at p,
// searched from reach pixels outside to reach pixels inside; each value
// is the mean of three pixels along the side.  False where the search
// leaves the frame.
bool edgeAcross(const cv::Mat &frame, cv::Point2f p, cv::Point2f along, cv::Point2f inward,
                int reach, cv::Point2f &edge)
{
    const int n = 2 * reach + 1;
    if (n > kMaxProfile)
        return false;
    // The search is a straight band: inside the frame when its corners are.
    const cv::Rect2f inFrame(0.5f, 0.5f, float(frame.cols) - 2.0f, float(frame.rows) - 2.0f);
    for (const float across : {-float(reach), float(reach)})
        for (const float side : {-1.0f, 1.0f})
            if (!inFrame.contains(p + inward * across + along * side))
                return false;
    std::array<cv::Vec3i, kMaxProfile> profile;
    for (int j = 0; j < n; ++j) {
        const cv::Point2f q = p + inward * float(j - reach);
        cv::Vec3i sum(0, 0, 0);
        for (int m = -1; m <= 1; ++m) {
            // Positive coordinates: adding a half and truncating rounds.
            const cv::Vec3b &v =
                frame.at<cv::Vec3b>(int(q.y + m * along.y + 0.5f), int(q.x + m * along.x + 0.5f));
            sum += cv::Vec3i(v[0], v[1], v[2]);
        }
        profile[size_t(j)] = sum;
    }
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
    edge = p + inward * float(best - reach + offset);
    return true;
}

// The page's edge along one side of the recorded outline, measured at
// samples along the side's middle part; the side's own line when too few
// samples agree.
Line measureSide(const cv::Mat &frame, cv::Point2f a, cv::Point2f b, cv::Point2f centre, int reach)
{
    const float length = float(cv::norm(b - a));
    const cv::Point2f along = (b - a) / length;
    cv::Point2f inward(-along.y, along.x);
    if (inward.dot(centre - a) < 0)
        inward = -inward;
    const Line recorded{a, along};
    const int samples = std::clamp(int(length / 4), 8, kMaxSamples);
    std::vector<cv::Point2f> found;
    for (int k = 0; k < samples; ++k) {
        const cv::Point2f p = a + along * (length * (0.1f + 0.8f * (k + 0.5f) / samples));
        cv::Point2f edge;
        if (edgeAcross(frame, p, along, inward, reach, edge))
            found.push_back(edge);
    }
    if (found.size() < kMinMeasured * samples)
        return recorded;
    // A robust first line, then a plain fit without the samples that found
    // something else: a hand, a pen, a shadow, a line of print.
    cv::Vec4f robust;
    cv::fitLine(found, robust, cv::DIST_HUBER, 0, 0.01, 0.01);
    const Line line{{robust[2], robust[3]}, {robust[0], robust[1]}};
    std::vector<cv::Point2f> agreeing;
    for (const cv::Point2f &p : found)
        if (distance(line, p) <= kMaxScatter)
            agreeing.push_back(p);
    if (agreeing.size() < kMinMeasured * samples)
        return recorded;
    return fit(agreeing);
}

} // namespace

std::optional<Quad> exactOutline(const cv::Mat &frame, const Quad &coarse, int reach)
{
    cv::Point2f centre(0, 0);
    for (const cv::Point2f &p : coarse)
        centre += p * 0.25f;
    Line side[4];
    for (int i = 0; i < 4; ++i)
        side[i] = measureSide(frame, coarse[i], coarse[(i + 1) % 4], centre, reach);
    Quad exact;
    for (int i = 0; i < 4; ++i)
        if (!intersect(side[(i + 3) % 4], side[i], exact[i]) ||
            !(cv::norm(exact[i] - coarse[i]) <= 2.0 * reach))
            return std::nullopt;
    return exact;
}

} // namespace zq::imaging
