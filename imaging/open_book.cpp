#include "open_book.h"

#include "axis_profile.h"
#include "fitted_line.h"
#include "image_support.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>

namespace zq::imaging
{
namespace
{

constexpr double kPaperLevel = 0.3;    // of the way from desk to paper: shaded paper stays paper
constexpr int kMinContrast = 40;       // grey levels between desk and paper
constexpr double kMinRegion = 0.08;    // of the reduced picture, for a book or a page
constexpr double kFullColumn = 0.6;    // of the median column: shorter ones are fingers, corners
constexpr double kGutterShade = 0.85;  // a gutter is darker than this share of the paper
constexpr double kPaperShare = 0.7;    // of a column: darker than its paper, however much print
constexpr double kGutterSearch = 0.12; // the gutter lies this far or more from the block's sides
constexpr double kMinPageShare = 0.2;  // of the block: less beside the gutter is no page
constexpr float kRulingSpacing = 4;    // frame pixels between traced rulings
constexpr int kMedianWindow = 15;      // traced points that judge each other's place
constexpr float kMaxScatter = 4;       // pixels from the running median: something else's edge
constexpr double kSmoothing = 2;       // rulings: the Gaussian's sigma along a traced edge
constexpr int kSidePlaces = 24;        // measurements along a page's outer side
constexpr size_t kMinEdgePoints = 8;   // along an edge, and at least half its rulings
constexpr double kMinStep = 0.15;      // of the way from desk to paper: onto a page from beside it

// The frame reduced for finding the book, in grey.
struct Reduced {
    cv::Mat grey;
    int factor;
};

Reduced reduce(const cv::Mat &frame, int factor)
{
    cv::Mat small;
    cv::resize(frame, small, cv::Size(frame.cols / factor, frame.rows / factor), 0, 0,
               cv::INTER_AREA);
    cv::Mat grey;
    cv::cvtColor(small, grey, cv::COLOR_RGB2GRAY);
    return {grey, factor};
}

// The desk's and the paper's grey levels: the means of Otsu's two classes.
struct Levels {
    double desk, paper;
    double between(double share) const { return desk + share * (paper - desk); }
};

Levels levelsOf(const cv::Mat &grey)
{
    cv::Mat bright;
    const double split = cv::threshold(grey, bright, 0, 255, cv::THRESH_BINARY | cv::THRESH_OTSU);
    cv::Mat dark;
    cv::threshold(grey, dark, split, 255, cv::THRESH_BINARY_INV);
    return {cv::mean(grey, dark)[0], cv::mean(grey, bright)[0]};
}

// The outline of the largest region of paper, or nothing.
std::optional<std::vector<cv::Point>> paperRegion(const cv::Mat &grey, const Levels &levels)
{
    cv::Mat paper;
    cv::threshold(grey, paper, levels.between(kPaperLevel), 255, cv::THRESH_BINARY);
    cv::morphologyEx(paper, paper, cv::MORPH_OPEN, cv::Mat::ones(3, 3, CV_8U));
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(paper, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
    const auto largest =
        std::max_element(contours.begin(), contours.end(), [](const auto &a, const auto &b) {
            return cv::contourArea(a) < cv::contourArea(b);
        });
    if (largest == contours.end() || cv::contourArea(*largest) < kMinRegion * grey.total())
        return std::nullopt;
    return *largest;
}

// The book's own axes in frame pixels: across the pages from left to
// right, and down the spine, with the place where both coordinates are 0.
// A ruling of a page is a line of one U.
struct BookAxes {
    cv::Point2f origin, across, down;

    cv::Point2f frame(double u, double v) const
    {
        return origin + across * float(u) + down * float(v);
    }
    double u(cv::Point2f p) const { return (p - origin).dot(across); }
    double v(cv::Point2f p) const { return (p - origin).dot(down); }
};

// The spine's direction: the side of the region's rotated box that runs
// most nearly down the picture.
cv::Point2f spineDirection(const std::vector<cv::Point> &region)
{
    cv::Point2f box[4];
    cv::minAreaRect(region).points(box);
    cv::Point2f side = box[1] - box[0];
    const cv::Point2f other = box[2] - box[1];
    if (std::abs(other.y) * std::hypot(side.x, side.y) >
        std::abs(side.y) * std::hypot(other.x, other.y))
        side = other;
    if (side.y < 0)
        side = -side;
    return side / std::hypot(side.x, side.y);
}

// The book region turned upright, in the reduced picture's pixels: each
// column one ruling.
struct UprightView {
    cv::Mat grey, region;
    BookAxes axes; // in frame pixels; U and V of upright pixel (x, y) are factor * (x, y)
    int factor;
    std::vector<int> top, bottom; // per column, the region's first and last row; -1 where none
};

UprightView uprightView(const Reduced &reduced, const std::vector<cv::Point> &outline)
{
    const cv::Point2f down = spineDirection(outline), across(down.y, -down.x);
    float uMin = INFINITY, uMax = -INFINITY, vMin = INFINITY, vMax = -INFINITY;
    for (const cv::Point &p : outline) {
        const cv::Point2f q(p);
        uMin = std::min(uMin, q.dot(across));
        uMax = std::max(uMax, q.dot(across));
        vMin = std::min(vMin, q.dot(down));
        vMax = std::max(vMax, q.dot(down));
    }
    constexpr float kMargin = 2;
    const cv::Point2f corner = across * (uMin - kMargin) + down * (vMin - kMargin);
    const cv::Size size(int(uMax - uMin + 2 * kMargin) + 1, int(vMax - vMin + 2 * kMargin) + 1);
    const cv::Matx23f toReduced(across.x, down.x, corner.x, across.y, down.y, corner.y);

    UprightView view;
    view.factor = reduced.factor;
    cv::warpAffine(reduced.grey, view.grey, toReduced, size,
                   cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                   cv::Scalar::all(0));
    cv::Mat region = cv::Mat::zeros(reduced.grey.size(), CV_8U);
    cv::drawContours(region, std::vector<std::vector<cv::Point>>{outline}, 0, cv::Scalar(255),
                     cv::FILLED);
    cv::warpAffine(region, view.region, toReduced, size, cv::INTER_NEAREST | cv::WARP_INVERSE_MAP);
    // A reduced pixel's centre lies in the middle of the frame pixels it covers.
    const float f = float(reduced.factor);
    view.axes = {corner * f + cv::Point2f((f - 1) / 2, (f - 1) / 2), across, down};

    view.top.assign(size_t(size.width), -1);
    view.bottom.assign(size_t(size.width), -1);
    for (int y = 0; y < size.height; ++y) {
        const uint8_t *row = view.region.ptr<uint8_t>(y);
        for (int x = 0; x < size.width; ++x)
            if (row[x]) {
                if (view.top[size_t(x)] < 0)
                    view.top[size_t(x)] = y;
                view.bottom[size_t(x)] = y;
            }
    }
    return view;
}

// The columns of the page block: those whose run of paper is nearly as
// long as most are.
std::optional<cv::Range> blockColumns(const UprightView &view)
{
    std::vector<int> runs;
    for (size_t x = 0; x < view.top.size(); ++x)
        if (view.top[x] >= 0)
            runs.push_back(view.bottom[x] - view.top[x] + 1);
    if (runs.empty())
        return std::nullopt;
    std::nth_element(runs.begin(), runs.begin() + long(runs.size() / 2), runs.end());
    const int full = int(kFullColumn * runs[runs.size() / 2]);
    int first = -1, last = -1;
    for (int x = 0; x < int(view.top.size()); ++x)
        if (view.top[size_t(x)] >= 0 && view.bottom[size_t(x)] - view.top[size_t(x)] >= full) {
            if (first < 0)
                first = x;
            last = x;
        }
    if (last - first < 8)
        return std::nullopt;
    return cv::Range(first, last);
}

// How bright each column's paper is over the middle of its run: a grey
// level most of the column reaches, print and all (the print darkens the
// mean of a column of text as much as a shade does); smoothed a little
// along the block.
std::vector<double> columnShade(const UprightView &view, cv::Range columns)
{
    std::vector<double> shade(size_t(columns.size() + 1), 0.0);
    std::vector<uint8_t> column;
    for (int x = columns.start; x <= columns.end; ++x) {
        const int run = view.bottom[size_t(x)] - view.top[size_t(x)];
        const int from = view.top[size_t(x)] + run / 6, to = view.bottom[size_t(x)] - run / 6;
        column.clear();
        for (int y = from; y <= to; ++y)
            column.push_back(view.grey.at<uint8_t>(y, x));
        const auto paper = column.begin() + long(column.size() * kPaperShare);
        std::nth_element(column.begin(), paper, column.end());
        shade[size_t(x - columns.start)] = *paper;
    }
    std::vector<double> smooth(shade.size());
    for (size_t i = 0; i < shade.size(); ++i) {
        const size_t from = i < 1 ? 0 : i - 1, to = std::min(shade.size() - 1, i + 1);
        double sum = 0;
        for (size_t k = from; k <= to; ++k)
            sum += shade[k];
        smooth[i] = sum / double(to - from + 1);
    }
    return smooth;
}

// The gutter's column in the upright view, to a fraction: the darkest
// column of the block's middle, when it is clearly darker than the paper.
std::optional<double> gutterColumn(const UprightView &view, cv::Range columns)
{
    const std::vector<double> shade = columnShade(view, columns);
    std::vector<double> sorted = shade;
    std::nth_element(sorted.begin(), sorted.begin() + long(sorted.size() / 2), sorted.end());
    const double paper = sorted[sorted.size() / 2];
    const int width = columns.size();
    // The dip is measured against both neighbours.
    const size_t from = std::max<size_t>(1, size_t(kGutterSearch * width));
    const size_t to = std::min(shade.size() - 2, size_t((1 - kGutterSearch) * width));
    size_t darkest = from;
    for (size_t i = from; i <= to; ++i)
        if (shade[i] < shade[darkest])
            darkest = i;
    if (!(shade[darkest] < kGutterShade * paper))
        return std::nullopt;
    // The bottom of the dip between its neighbours.
    const double l = shade[darkest - 1], m = shade[darkest], r = shade[darkest + 1];
    const double curve = l - 2 * m + r;
    const double offset = curve > 0 ? std::clamp(0.5 * (l - r) / curve, -0.5, 0.5) : 0.0;
    return columns.start + double(darkest) + offset;
}

// ---- tracing on the whole frame ---------------------------------------------

// A point measured on an edge, in the book's coordinates.
struct EdgePoint {
    double u, v;
};

// Where the page's own edge crosses the frame's column (or row) near
// around, an edge of the paper region: read from outside it (sign: the
// direction into the page), a third of length before around, the page's
// edge is the step nearest the page, since beside a page lie the edges of
// the pages below it and the cover, a little darker than the page itself
// (and brighter than it in the gutter's shade).  Nothing when no step is
// there.
std::optional<cv::Point2f> edgeNear(const cv::Mat &frame, cv::Point2f around, bool vertical,
                                    int sign, int length, int minStep)
{
    cv::Point from(int(std::lround(around.x)), int(std::lround(around.y)));
    (vertical ? from.y : from.x) -= sign * length / 3;
    const std::optional<AxisProfile> profile =
        AxisProfile::read(frame, from, vertical, sign, length);
    if (!profile)
        return std::nullopt;
    const int t = profile->lastStep(0, length, minStep);
    if (t < 0)
        return std::nullopt;
    return profile->at(profile->stepMiddle(t));
}

// The points whose V lies near the running median of their neighbours':
// an edge bends smoothly, a finger or a shadow over it does not.
std::vector<EdgePoint> smoothlyPlaced(std::vector<EdgePoint> points)
{
    std::sort(points.begin(), points.end(),
              [](const EdgePoint &a, const EdgePoint &b) { return a.u < b.u; });
    std::vector<EdgePoint> kept;
    const size_t n = points.size(), half = kMedianWindow / 2;
    for (size_t i = 0; i < n; ++i) {
        const size_t from = i < half ? 0 : i - half, to = std::min(n, i + half + 1);
        std::vector<double> near;
        for (size_t k = from; k < to; ++k)
            near.push_back(points[k].v);
        std::nth_element(near.begin(), near.begin() + long(near.size() / 2), near.end());
        if (std::abs(points[i].v - near[near.size() / 2]) <= kMaxScatter)
            kept.push_back(points[i]);
    }
    return kept;
}

// The edge's V at each ruling's U, from the measured points: linear
// between them, smoothed, and carried on with the end's slope beyond them.
std::vector<double> edgeAt(const std::vector<EdgePoint> &points, const std::vector<double> &rulings)
{
    std::vector<double> v(rulings.size());
    size_t k = 0;
    for (size_t i = 0; i < rulings.size(); ++i) {
        while (k + 2 < points.size() && points[k + 1].u < rulings[i])
            ++k;
        const EdgePoint &a = points[k], &b = points[k + 1];
        const double t = b.u > a.u ? (rulings[i] - a.u) / (b.u - a.u) : 0.0;
        v[i] = a.v + std::clamp(t, 0.0, 1.0) * (b.v - a.v);
    }
    cv::Mat row(1, int(v.size()), CV_64F, v.data());
    cv::GaussianBlur(row.clone(), row, cv::Size(0, 0), kSmoothing, 0, cv::BORDER_REPLICATE);
    // Beyond the measured points the edge goes on as it went.
    constexpr int kSlopeRulings = 4;
    for (size_t i = 0; i < rulings.size(); ++i) {
        const bool before = rulings[i]<points.front().u, after = rulings[i]> points.back().u;
        if (!before && !after)
            continue;
        size_t inside = 0;
        while (inside < rulings.size() && rulings[inside] < points.front().u)
            ++inside;
        if (after) {
            inside = rulings.size() - 1;
            while (inside > 0 && rulings[inside] > points.back().u)
                --inside;
        }
        const size_t other = before ? std::min(rulings.size() - 1, inside + kSlopeRulings)
                                    : (inside >= kSlopeRulings ? inside - kSlopeRulings : 0);
        if (other == inside)
            continue;
        const double slope = (v[other] - v[inside]) / (rulings[other] - rulings[inside]);
        v[i] = v[inside] + slope * (rulings[i] - rulings[inside]);
    }
    return v;
}

class PageTracer
{
  public:
    PageTracer(const cv::Mat &frame, const UprightView &view, const Levels &levels)
        : frame_(frame), view_(view),
          window_(std::min(AxisProfile::kMaxLength, 6 * view.factor + 24)),
          minStep_(int(kMinStep * (levels.paper - levels.desk)))
    {
    }

    // The page between two rulings (U in frame pixels), traced along its
    // top and bottom edges.
    std::optional<CurvedPage> trace(double left, double right) const
    {
        const int count = std::max(2, int(std::ceil((right - left) / kRulingSpacing)) + 1);
        std::vector<double> rulings(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i)
            rulings[size_t(i)] = left + (right - left) * i / (count - 1);
        const std::vector<EdgePoint> top = smoothlyPlaced(traceEdge(rulings, true));
        const std::vector<EdgePoint> bottom = smoothlyPlaced(traceEdge(rulings, false));
        const size_t enough = std::max<size_t>(kMinEdgePoints, size_t(count) / 2);
        if (top.size() < enough || bottom.size() < enough)
            return std::nullopt;
        const std::vector<double> topV = edgeAt(top, rulings), bottomV = edgeAt(bottom, rulings);
        CurvedPage page;
        for (size_t i = 0; i < rulings.size(); ++i) {
            page.top.push_back(view_.axes.frame(rulings[i], topV[i]));
            page.bottom.push_back(view_.axes.frame(rulings[i], bottomV[i]));
        }
        return page;
    }

    // The U of a page's outer side near the ruling `side` (frame pixels),
    // measured across it: the paper lies towards inward (+1 right, -1 left).
    double outerSide(double side, int inward) const
    {
        const int column = std::clamp(int(side / view_.factor), 0, int(view_.top.size()) - 1);
        const int inner = std::clamp(column + inward * 2, 0, int(view_.top.size()) - 1);
        if (view_.top[size_t(inner)] < 0)
            return side;
        const double first = view_.top[size_t(inner)] * view_.factor,
                     last = view_.bottom[size_t(inner)] * view_.factor;
        std::vector<cv::Point2f> found;
        for (int k = 0; k < kSidePlaces; ++k) {
            const double v = first + (last - first) * (0.1 + 0.8 * k / (kSidePlaces - 1));
            if (const auto p =
                    edgeNear(frame_, view_.axes.frame(side, v), false, inward, window_, minStep_))
                found.push_back(*p);
        }
        const std::optional<FittedLine> line = consensus(found, 1.5f);
        if (!line)
            return side;
        std::vector<double> us;
        for (const cv::Point2f &p : pointsNear(found, *line, 1.5f))
            us.push_back(view_.axes.u(p));
        if (us.empty())
            return side;
        std::nth_element(us.begin(), us.begin() + long(us.size() / 2), us.end());
        return us[us.size() / 2];
    }

  private:
    std::vector<EdgePoint> traceEdge(const std::vector<double> &rulings, bool top) const
    {
        std::vector<EdgePoint> points;
        for (double u : rulings) {
            const int column = int(std::lround(u / view_.factor));
            if (column < 0 || column >= int(view_.top.size()) || view_.top[size_t(column)] < 0)
                continue;
            const double v = (top ? view_.top : view_.bottom)[size_t(column)] * view_.factor;
            if (const auto p =
                    edgeNear(frame_, view_.axes.frame(u, v), true, top ? 1 : -1, window_, minStep_))
                points.push_back({view_.axes.u(*p), view_.axes.v(*p)});
        }
        return points;
    }

    const cv::Mat &frame_;
    const UprightView &view_;
    int window_;
    int minStep_;
};

// Whether the ruling at u leaves the frame by its side: a page beside the
// gutter that the frame cuts off is no page to capture, and the book's
// other page is then one lying alone.
bool runsOffFrame(const UprightView &view, const cv::Mat &frame, double u)
{
    const int column = std::clamp(int(u / view.factor), 0, int(view.top.size()) - 1);
    if (view.top[size_t(column)] < 0)
        return false;
    const float margin = 2.f * view.factor;
    for (int row : {view.top[size_t(column)], view.bottom[size_t(column)]}) {
        const cv::Point2f p = view.axes.frame(u, row * view.factor);
        if (p.x < margin || p.y < margin || p.x > frame.cols - 1 - margin ||
            p.y > frame.rows - 1 - margin)
            return true;
    }
    return false;
}

} // namespace

std::optional<OpenBook> findOpenBook(const cv::Mat &frame, int alreadyReduced)
{
    // A frame smaller than the reduction holds no book, and would reduce
    // to nothing.
    const int factor = reductionFactor(frame.cols, frame.rows, alreadyReduced);
    if (frame.cols < factor || frame.rows < factor)
        return std::nullopt;
    const Reduced reduced = reduce(frame, factor);
    const Levels levels = levelsOf(reduced.grey);
    if (levels.paper - levels.desk < kMinContrast)
        return std::nullopt;
    const std::optional<std::vector<cv::Point>> region = paperRegion(reduced.grey, levels);
    if (!region)
        return std::nullopt;
    const UprightView view = uprightView(reduced, *region);
    const std::optional<cv::Range> block = blockColumns(view);
    if (!block)
        return std::nullopt;
    const PageTracer tracer(frame, view, levels);
    const double f = view.factor;
    const double left = tracer.outerSide(block->start * f, +1);
    const double right = tracer.outerSide(block->end * f, -1);
    std::vector<std::pair<double, double>> spans;
    if (const std::optional<double> gutter = gutterColumn(view, *block)) {
        for (const auto &[from, to] : {std::pair(left, *gutter * f), std::pair(*gutter * f, right)})
            if (to - from >= kMinPageShare * (right - left) && !runsOffFrame(view, frame, from) &&
                !runsOffFrame(view, frame, to))
                spans.emplace_back(from, to);
    } else {
        spans = {{left, right}};
    }
    if (spans.empty())
        return std::nullopt;
    OpenBook book;
    for (const auto &[from, to] : spans) {
        std::optional<CurvedPage> page = tracer.trace(from, to);
        if (!page)
            return std::nullopt;
        book.pages.push_back(std::move(*page));
    }
    return book;
}

} // namespace zq::imaging
