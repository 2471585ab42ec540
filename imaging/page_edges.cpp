// Finding the page by its edges.
//
// Text, ruled lines, pens and cables are dark and thin: a grey-level
// closing removes them and leaves the page's boundary as a long straight
// step between two colours.  The edge points of the closed picture (the
// strongest of the three channels' gradients, thinned to one pixel) vote
// in a Hough space only near their own gradient direction, which keeps the
// transform linear in the number of edge points, and the strongest lines
// are fitted to their points.  Two pairs of nearly parallel lines that
// cross nearly at right angles make a candidate outline.  It must lie in
// view, be of a page's size, be seen along most of each side (a hand or a
// pen may hide a part of one) and enclose a colour that differs from its
// surroundings all the way round.  Of the candidates the one with the
// longest seen outline wins: the page's own edges run farther than any
// straight line on it or beside it.
#include "page_edges.h"

#include "page_region.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace zq::imaging
{
namespace
{

constexpr int kAngleBins = 90; // line normals in steps of 2 degrees over half a turn
constexpr double kBinRadians = CV_PI / kAngleBins;
constexpr uint8_t kNoEdge = 255;
constexpr int kEdgeThreshold = 24; // Sobel's response to a step of 6 grey levels
constexpr int kVoteSpread = 2;     // an edge votes for its own direction +-2 bins
constexpr int kFitSpread = 3;      // and counts for lines within 3 bins of it;
constexpr int kSeenSpread = 6;     // shadows and print nearby bend it by up to 12 degrees
constexpr size_t kMaxLines = 28;
constexpr int kMaxParallel = 6; // lines of one direction: wood grain must not crowd out the rest
constexpr double kMaxSkewDegrees = 12;   // opposite sides of a page seen a little askew
constexpr double kMaxCornerDegrees = 20; // a corner's departure from a right angle
constexpr double kMinSideSupport = 0.25; // of every side a quarter is seen,
constexpr double kMinSupport = 0.75;     // of the whole outline three quarters
constexpr int kContrast = 5;    // per cent of brightness between paper and its surroundings
constexpr int kMinContrast = 6; // grey levels, above noise

int binDistance(int a, int b)
{
    const int d = std::abs(a - b) % kAngleBins;
    return std::min(d, kAngleBins - d);
}

struct EdgePoint {
    int x, y;
};

// Thinned edges of the strongest colour channel, with the direction of
// their gradient folded into half a turn.
class EdgeMap
{
  public:
    explicit EdgeMap(const cv::Mat &colour);

    // The direction bin of an edge at (x, y), kNoEdge where there is none.
    int bin(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= bins_.cols || y >= bins_.rows)
            return kNoEdge;
        return bins_.at<uint8_t>(y, x);
    }
    // Whether an edge of about the given direction lies within a pixel of
    // the point, across the line through it with normal n.
    bool seen(cv::Point2f at, cv::Point2f n, int lineBin) const;
    // The edge points of one direction bin.
    const std::vector<EdgePoint> &points(int bin) const { return points_[bin]; }

  private:
    cv::Mat bins_;
    std::vector<EdgePoint> points_[kAngleBins];
};

EdgeMap::EdgeMap(const cv::Mat &colour) : bins_(colour.size(), CV_8U, cv::Scalar(kNoEdge))
{
    cv::Mat dx, dy;
    cv::Sobel(colour, dx, CV_16S, 1, 0, 3);
    cv::Sobel(colour, dy, CV_16S, 0, 1, 3);
    const int w = colour.cols, h = colour.rows;
    // The gradient of the channel that changes most, pixel by pixel.
    cv::Mat gx(h, w, CV_16S), gy(h, w, CV_16S), mag(h, w, CV_32S);
    for (int y = 0; y < h; ++y) {
        const int16_t *rx = dx.ptr<int16_t>(y), *ry = dy.ptr<int16_t>(y);
        int16_t *ox = gx.ptr<int16_t>(y), *oy = gy.ptr<int16_t>(y);
        int32_t *om = mag.ptr<int32_t>(y);
        for (int x = 0; x < w; ++x, rx += 3, ry += 3) {
            int best = 0, bestMag = rx[0] * rx[0] + ry[0] * ry[0];
            for (int c = 1; c < 3; ++c) {
                const int m = rx[c] * rx[c] + ry[c] * ry[c];
                if (m > bestMag) {
                    best = c;
                    bestMag = m;
                }
            }
            ox[x] = rx[best];
            oy[x] = ry[best];
            om[x] = bestMag;
        }
    }
    // Thinning: an edge point is the strongest of its neighbours across
    // the edge (of two equal neighbours the first wins).
    for (int y = 1; y + 1 < h; ++y) {
        const int32_t *up = mag.ptr<int32_t>(y - 1), *row = mag.ptr<int32_t>(y),
                      *down = mag.ptr<int32_t>(y + 1);
        const int16_t *rx = gx.ptr<int16_t>(y), *ry = gy.ptr<int16_t>(y);
        uint8_t *out = bins_.ptr<uint8_t>(y);
        for (int x = 1; x + 1 < w; ++x) {
            const int m = row[x];
            if (m < kEdgeThreshold * kEdgeThreshold)
                continue;
            const int ax = std::abs(rx[x]), ay = std::abs(ry[x]);
            int before, after;
            if (ay * 5 <= ax * 2) { // within 22 degrees of the x axis
                before = row[x - 1];
                after = row[x + 1];
            } else if (ax * 5 <= ay * 2) {
                before = up[x];
                after = down[x];
            } else if ((rx[x] > 0) == (ry[x] > 0)) {
                before = up[x - 1];
                after = down[x + 1];
            } else {
                before = up[x + 1];
                after = down[x - 1];
            }
            if (m < before || m <= after)
                continue;
            const float degrees = cv::fastAtan2(ry[x], rx[x]); // 0..360
            const int b = int(std::fmod(degrees, 180.0f) / (180.0f / kAngleBins)) % kAngleBins;
            out[x] = uint8_t(b);
            points_[b].push_back({x, y});
        }
    }
}

bool EdgeMap::seen(cv::Point2f at, cv::Point2f n, int lineBin) const
{
    for (int k = -1; k <= 1; ++k) {
        const int b = bin(int(std::lround(at.x + k * n.x)), int(std::lround(at.y + k * n.y)));
        if (b != kNoEdge && binDistance(b, lineBin) <= kSeenSpread)
            return true;
    }
    return false;
}

// A straight edge: a point on it, its direction and normal, and which of
// its whole-pixel steps inside the picture have an edge beside them.
struct Line {
    cv::Point2f point, dir, normal;
    int bin = 0; // of the normal
    int votes = 0;
    int firstStep = 0;
    std::vector<int> seenBefore; // seenBefore[i]: seen steps before step firstStep + i

    cv::Point2f at(float t) const { return point + t * dir; }
    float position(cv::Point2f p) const { return (p - point).dot(dir); }
    float distance(cv::Point2f p) const { return (p - point).dot(normal); }

    // The seen fraction of the stretch between two positions.
    double support(float from, float to) const
    {
        if (from > to)
            std::swap(from, to);
        const int last = int(seenBefore.size()) - 1;
        const int a = std::clamp(int(std::lround(from)) - firstStep, 0, last);
        const int b = std::clamp(int(std::lround(to)) - firstStep, 0, last);
        return b > a ? double(seenBefore[b] - seenBefore[a]) / (b - a) : 0.0;
    }
};

// Total least squares through the points: centre and direction.
bool fitLine(const std::vector<cv::Point2f> &pts, Line &line)
{
    if (pts.size() < 2)
        return false;
    double mx = 0, my = 0;
    for (const cv::Point2f &p : pts) {
        mx += p.x;
        my += p.y;
    }
    mx /= pts.size();
    my /= pts.size();
    double sxx = 0, sxy = 0, syy = 0;
    for (const cv::Point2f &p : pts) {
        sxx += (p.x - mx) * (p.x - mx);
        sxy += (p.x - mx) * (p.y - my);
        syy += (p.y - my) * (p.y - my);
    }
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    line.point = cv::Point2f(float(mx), float(my));
    line.dir = cv::Point2f(float(std::cos(angle)), float(std::sin(angle)));
    line.normal = cv::Point2f(-line.dir.y, line.dir.x);
    double normalAngle = std::atan2(line.normal.y, line.normal.x);
    if (normalAngle < 0)
        normalAngle += CV_PI;
    line.bin = std::min(kAngleBins - 1, int(normalAngle / kBinRadians));
    line.votes = int(pts.size());
    return true;
}

// The edge points belonging to a line: about its direction, near it.
std::vector<cv::Point2f> inliers(const EdgeMap &edges, const Line &line, float tolerance)
{
    std::vector<cv::Point2f> pts;
    for (int k = -kFitSpread; k <= kFitSpread; ++k)
        for (const EdgePoint &e : edges.points((line.bin + k + kAngleBins) % kAngleBins)) {
            const cv::Point2f p(float(e.x), float(e.y));
            if (std::fabs(line.distance(p)) <= tolerance)
                pts.push_back(p);
        }
    return pts;
}

// Which steps of the line, within the picture, have an edge beside them.
void measureCoverage(const EdgeMap &edges, cv::Size size, Line &line)
{
    // The stretch of the line inside the picture.
    float lo = -1e9f, hi = 1e9f;
    const float p[2] = {line.point.x, line.point.y}, d[2] = {line.dir.x, line.dir.y};
    const float limit[2] = {float(size.width - 1), float(size.height - 1)};
    for (int k = 0; k < 2; ++k) {
        if (std::fabs(d[k]) < 1e-6f)
            continue;
        float a = (0 - p[k]) / d[k], b = (limit[k] - p[k]) / d[k];
        if (a > b)
            std::swap(a, b);
        lo = std::max(lo, a);
        hi = std::min(hi, b);
    }
    line.firstStep = int(std::ceil(lo));
    const int last = int(std::floor(hi));
    line.seenBefore.assign(1, 0);
    for (int t = line.firstStep; t <= last; ++t)
        line.seenBefore.push_back(line.seenBefore.back() +
                                  edges.seen(line.at(float(t)), line.normal, line.bin));
}

// The strongest straight edges: votes of every edge point near its own
// direction, the best-supported directions and distances, each fitted to
// its points.
std::vector<Line> findLines(const EdgeMap &edges, cv::Size size, int minVotes)
{
    const float cx = size.width / 2.0f, cy = size.height / 2.0f;
    const int reach = int(std::ceil(std::hypot(cx, cy))) + 1;
    const int rhoBins = 2 * reach + 1;
    float cosTable[kAngleBins], sinTable[kAngleBins];
    for (int b = 0; b < kAngleBins; ++b) {
        cosTable[b] = float(std::cos((b + 0.5) * kBinRadians));
        sinTable[b] = float(std::sin((b + 0.5) * kBinRadians));
    }
    std::vector<uint16_t> votes(size_t(kAngleBins) * rhoBins, 0);
    for (int bin = 0; bin < kAngleBins; ++bin)
        for (const EdgePoint &e : edges.points(bin))
            for (int k = -kVoteSpread; k <= kVoteSpread; ++k) {
                const int b = (bin + k + kAngleBins) % kAngleBins;
                const float rho = (e.x - cx) * cosTable[b] + (e.y - cy) * sinTable[b];
                ++votes[size_t(b) * rhoBins + size_t(std::lround(rho) + reach)];
            }

    // A line's votes spread over neighbouring distances, so peaks are
    // sought in sums of three.  Half a turn on, a direction comes back with
    // the distance's sign turned.
    const auto cell = [&](int b, int r) {
        if (b < 0 || b >= kAngleBins) {
            b = (b + kAngleBins) % kAngleBins;
            r = rhoBins - 1 - r;
        }
        return r < 0 || r >= rhoBins ? 0 : int(votes[size_t(b) * rhoBins + r]);
    };
    const auto strength = [&](int b, int r) {
        return cell(b, r - 1) + cell(b, r) + cell(b, r + 1);
    };
    struct Peak {
        int votes, bin, rho;
    };
    std::vector<Peak> peaks;
    for (int b = 0; b < kAngleBins; ++b)
        for (int r = 0; r < rhoBins; ++r) {
            if (votes[size_t(b) * rhoBins + r] == 0)
                continue;
            const int v = strength(b, r);
            if (v < minVotes)
                continue;
            bool highest = true;
            for (int db = -1; db <= 1 && highest; ++db)
                for (int dr = -2; dr <= 2 && highest; ++dr)
                    highest = strength(b + db, r + dr) <= v;
            if (highest)
                peaks.push_back({v, b, r - reach});
        }
    std::sort(peaks.begin(), peaks.end(),
              [](const Peak &a, const Peak &b) { return a.votes > b.votes; });

    std::vector<Line> lines;
    for (const Peak &peak : peaks) {
        if (lines.size() == kMaxLines)
            break;
        Line line;
        line.normal = cv::Point2f(cosTable[peak.bin], sinTable[peak.bin]);
        line.dir = cv::Point2f(-line.normal.y, line.normal.x);
        line.point = cv::Point2f(cx, cy) + float(peak.rho) * line.normal;
        line.bin = peak.bin;
        // Fitted twice: to the points the peak gathered, then to those
        // near the fitted line.
        if (!fitLine(inliers(edges, line, 2.0f), line) ||
            !fitLine(inliers(edges, line, 1.5f), line) || line.votes < minVotes)
            continue;
        int parallel = 0;
        bool known = false;
        for (const Line &other : lines)
            if (binDistance(other.bin, line.bin) <= kFitSpread) {
                ++parallel;
                known = known || (binDistance(other.bin, line.bin) <= 1 &&
                                  std::fabs(other.distance(line.point)) < 2.0f);
            }
        if (known || parallel >= kMaxParallel)
            continue;
        measureCoverage(edges, size, line);
        lines.push_back(std::move(line));
    }
    return lines;
}

bool intersect(const Line &a, const Line &b, cv::Point2f &p)
{
    const float det = a.dir.x * b.dir.y - a.dir.y * b.dir.x;
    if (std::fabs(det) < 1e-6f)
        return false;
    const cv::Point2f d = b.point - a.point;
    const float t = (d.x * b.dir.y - d.y * b.dir.x) / det;
    p = a.at(t);
    return true;
}

double angleBetween(const Line &a, const Line &b)
{
    const double c = std::fabs(a.dir.dot(b.dir));
    return std::acos(std::min(1.0, c)) * 180.0 / CV_PI; // 0..90
}

double area(const Quad &q)
{
    double twice = 0;
    for (int i = 0; i < 4; ++i)
        twice += q[i].cross(q[(i + 1) % 4]);
    return std::fabs(twice) / 2;
}

double shorterSide(const Quad &q)
{
    double shortest = cv::norm(q[1] - q[0]);
    for (int i = 1; i < 4; ++i)
        shortest = std::min(shortest, cv::norm(q[(i + 1) % 4] - q[i]));
    return shortest;
}

// Convex, and every corner within kMaxCornerDegrees of a right angle.
bool pageShaped(const Quad &q)
{
    double sign = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f a = q[(i + 3) % 4] - q[i], b = q[(i + 1) % 4] - q[i];
        const double turn = a.cross(b);
        if (turn * sign < 0)
            return false;
        sign = turn;
        const double cosine = a.dot(b) / (cv::norm(a) * cv::norm(b));
        if (std::fabs(cosine) > std::sin(kMaxCornerDegrees * CV_PI / 180.0))
            return false;
    }
    return true;
}

// A candidate outline and the lines its sides lie on: side i runs from
// corner i to corner i + 1.
struct Candidate {
    Quad corners;
    const Line *side[4];
    double seenLength = 0;
};

// How much of each side is seen; false when a side or the whole is too
// little seen.
bool measureSupport(Candidate &c)
{
    double length = 0, seen = 0;
    for (int i = 0; i < 4; ++i) {
        const Line &line = *c.side[i];
        const cv::Point2f a = c.corners[i], b = c.corners[(i + 1) % 4];
        const double s = line.support(line.position(a), line.position(b));
        if (s < kMinSideSupport)
            return false;
        const double l = cv::norm(b - a);
        length += l;
        seen += s * l;
    }
    c.seenLength = seen;
    return seen >= kMinSupport * length;
}

cv::Point pixel(cv::Point2f p)
{
    return {int(std::lround(p.x)), int(std::lround(p.y))};
}

// Whether two pixels differ in a channel by kContrast per cent of the
// brighter value: reflectances differ, whatever the light falling on them.
bool differ(const cv::Mat &colour, cv::Point a, cv::Point b)
{
    const cv::Vec3b &u = colour.at<cv::Vec3b>(a), &v = colour.at<cv::Vec3b>(b);
    for (int c = 0; c < 3; ++c) {
        const int d = std::abs(int(u[c]) - int(v[c]));
        if (d >= kMinContrast && 100 * d >= kContrast * std::max(u[c], v[c]))
            return true;
    }
    return false;
}

// The colour just inside differs from the colour just outside along most
// of every side, as far as it is in view.
bool standsOut(const Quad &q, const cv::Mat &colour)
{
    constexpr int kFarthest = 5; // the fitted side may lie a pixel or two off the step's middle
    const cv::Point2f centre = (q[0] + q[1] + q[2] + q[3]) * 0.25f;
    const cv::Rect picture(0, 0, colour.cols, colour.rows);
    int total = 0, differing = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f a = q[i], b = q[(i + 1) % 4];
        const float length = float(cv::norm(b - a));
        const cv::Point2f dir = (b - a) / length;
        cv::Point2f inward(-dir.y, dir.x);
        if (inward.dot(centre - a) < 0)
            inward = -inward;
        int sideTotal = 0, sideDiffering = 0;
        for (float t = 2; t < length - 2; t += 2) {
            const cv::Point2f p = a + t * dir;
            if (!picture.contains(pixel(p + kFarthest * inward)) ||
                !picture.contains(pixel(p - kFarthest * inward)))
                continue;
            ++sideTotal;
            bool step = false;
            for (int reach = 2; reach <= kFarthest && !step; ++reach)
                step = differ(colour, pixel(p + reach * inward), pixel(p - reach * inward));
            sideDiffering += step;
        }
        if (sideTotal == 0 || 2 * sideDiffering < sideTotal)
            return false;
        total += sideTotal;
        differing += sideDiffering;
    }
    return 10 * differing >= 7 * total;
}

} // namespace

std::optional<Quad> findPageByEdges(const cv::Mat &colour)
{
    if (colour.empty() || colour.type() != CV_8UC3 || colour.cols < 16 || colour.rows < 16)
        return std::nullopt;
    cv::Mat closed;
    cv::morphologyEx(colour, closed, cv::MORPH_CLOSE,
                     cv::getStructuringElement(cv::MORPH_RECT, cv::Size(5, 5)));
    const EdgeMap edges(closed);
    const cv::Size size = colour.size();
    const PageSizes sizes(size);
    const std::vector<Line> lines = findLines(edges, size, std::max(8, int(sizes.minSide / 2)));

    // Pairs of nearly parallel lines far enough apart for a page.
    struct Pair {
        const Line *a, *b;
    };
    std::vector<Pair> pairs;
    for (size_t i = 0; i < lines.size(); ++i)
        for (size_t j = i + 1; j < lines.size(); ++j)
            if (angleBetween(lines[i], lines[j]) <= kMaxSkewDegrees &&
                std::fabs(lines[i].distance(lines[j].point)) >= sizes.minSide)
                pairs.push_back({&lines[i], &lines[j]});

    // A corner may lie a little outside the picture; the sides are
    // judged by the part in view.
    const float margin = 0.03f * std::min(size.width, size.height);
    const cv::Rect2f view(-margin, -margin, size.width + 2 * margin, size.height + 2 * margin);
    std::vector<Candidate> candidates;
    for (size_t i = 0; i < pairs.size(); ++i)
        for (size_t j = i + 1; j < pairs.size(); ++j) {
            const Pair &p = pairs[i], &q = pairs[j];
            if (angleBetween(*p.a, *q.a) < 90 - kMaxCornerDegrees)
                continue;
            Candidate c;
            const Line *sides[4] = {p.a, q.a, p.b, q.b};
            bool ok = true;
            for (int k = 0; k < 4 && ok; ++k) {
                c.side[k] = sides[k];
                ok = intersect(*sides[(k + 3) % 4], *sides[k], c.corners[k]) &&
                     view.contains(c.corners[k]);
            }
            if (!ok || !pageShaped(c.corners))
                continue;
            if (!sizes.fit(shorterSide(c.corners), area(c.corners)) || !measureSupport(c))
                continue;
            candidates.push_back(c);
        }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate &a, const Candidate &b) { return a.seenLength > b.seenLength; });
    for (const Candidate &c : candidates)
        if (standsOut(c.corners, closed))
            return c.corners;
    return std::nullopt;
}

} // namespace zq::imaging
