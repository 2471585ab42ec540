#include "stillness.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace
{

// The small picture of the frame: cells, each the mean of taps x taps
// pixels spread over it.  A few thousand reads of a frame of millions.
constexpr int kColumns = 64;
constexpr int kRows = 48;
constexpr int kTaps = 3;
// The page's own small picture: coarse enough that the few pixels by which
// the detector's outline jitters do not count.
constexpr int kPageCells = 8;
constexpr int kPageTaps = 8;

// A cell of the frame has changed when its grey moved by more than this,
// and the frame has moved when more than one cell in a hundred changed:
// sensor noise, averaged over the taps, stays far below, a hand or a page
// does not.
constexpr int kFrameCellTolerance = 20;
constexpr int kFrameCellsAllowed = kColumns * kRows / 100;
// The page's cells move against its lines of text as the outline jitters,
// by up to 25 levels for a page nudged by a few pixels; a page replaced by
// one with other content changes more than one cell in sixteen by more.
constexpr int kPageCellTolerance = 40;
constexpr int kPageCellsAllowed = kPageCells * kPageCells / 16;

// The outline has moved when a corner has no partner within this share
// of the frame's longer side.  The detector finds corners on a grid of 4
// or 8 pixels, so they jitter by about that much.
constexpr int kOutlineTolerancePercent = 2;

// The position of tap `index` of `count` spread evenly over `length`.
int tapPosition(int index, int count, int length)
{
    return int((2 * int64_t(index) + 1) * length / (2 * int64_t(count)));
}

int grey(const unsigned char *p)
{
    return (p[0] + 2 * p[1] + p[2]) / 4;
}

int changedCells(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int tolerance)
{
    int changed = 0;
    for (size_t i = 0; i < a.size(); ++i)
        changed += std::abs(int(a[i]) - int(b[i])) > tolerance;
    return changed;
}

std::vector<uint8_t> frameCells(const unsigned char *rgb, int width, int height)
{
    std::array<int, kColumns * kTaps> tapOffsets;
    for (int i = 0; i < kColumns * kTaps; ++i)
        tapOffsets[i] = 3 * tapPosition(i, kColumns * kTaps, width);
    std::vector<uint8_t> cells(kColumns * kRows);
    for (int row = 0; row < kRows; ++row) {
        std::array<int, kColumns> sums{};
        for (int t = 0; t < kTaps; ++t) {
            const int y = tapPosition(row * kTaps + t, kRows * kTaps, height);
            const unsigned char *line = rgb + size_t(y) * width * 3;
            for (int i = 0; i < kColumns * kTaps; ++i)
                sums[i / kTaps] += grey(line + tapOffsets[i]);
        }
        for (int column = 0; column < kColumns; ++column)
            cells[row * kColumns + column] = uint8_t(sums[column] / (kTaps * kTaps));
    }
    return cells;
}

// The corners going clockwise on screen from the one nearest the frame's
// top-left: the detector's box may start at another corner on the next
// frame, the page does not.
std::array<zqPoint, 4> fromTopLeft(const std::array<zqPoint, 4> &corners)
{
    double cx = 0, cy = 0;
    for (const zqPoint &p : corners) {
        cx += p.x / 4.0;
        cy += p.y / 4.0;
    }
    std::array<zqPoint, 4> ordered = corners;
    std::sort(ordered.begin(), ordered.end(), [&](const zqPoint &a, const zqPoint &b) {
        return std::atan2(a.y - cy, a.x - cx) < std::atan2(b.y - cy, b.x - cx);
    });
    const auto topLeft =
        std::min_element(ordered.begin(), ordered.end(),
                         [](const zqPoint &a, const zqPoint &b) { return a.x + a.y < b.x + b.y; });
    std::rotate(ordered.begin(), topLeft, ordered.end());
    return ordered;
}

// Cells of the page in its own coordinates, spread over the outline.
std::vector<uint8_t> pageCells(const unsigned char *rgb, int width, int height,
                               const std::array<zqPoint, 4> &corners)
{
    const std::array<zqPoint, 4> c = fromTopLeft(corners);
    const auto at = [&](double u, double v) {
        const double x =
            (1 - v) * ((1 - u) * c[0].x + u * c[1].x) + v * ((1 - u) * c[3].x + u * c[2].x);
        const double y =
            (1 - v) * ((1 - u) * c[0].y + u * c[1].y) + v * ((1 - u) * c[3].y + u * c[2].y);
        const int px = std::clamp(int(x), 0, width - 1), py = std::clamp(int(y), 0, height - 1);
        return grey(rgb + (size_t(py) * width + px) * 3);
    };
    constexpr int kSpread = kPageCells * kPageTaps;
    std::vector<uint8_t> cells(kPageCells * kPageCells);
    for (int row = 0; row < kPageCells; ++row)
        for (int column = 0; column < kPageCells; ++column) {
            int sum = 0;
            for (int ty = 0; ty < kPageTaps; ++ty)
                for (int tx = 0; tx < kPageTaps; ++tx)
                    sum += at((column * kPageTaps + tx + 0.5) / kSpread,
                              (row * kPageTaps + ty + 0.5) / kSpread);
            cells[row * kPageCells + column] = uint8_t(sum / (kPageTaps * kPageTaps));
        }
    return cells;
}

} // namespace

StillnessDetector::View StillnessDetector::look(const unsigned char *rgb, int width, int height,
                                                const zqPoint *outline)
{
    View view;
    if (!rgb || width <= 0 || height <= 0)
        return view;
    view.width = width;
    view.height = height;
    view.cells = frameCells(rgb, width, height);
    if (outline) {
        view.hasPage = true;
        std::copy(outline, outline + 4, view.corners.begin());
        view.pageCells = pageCells(rgb, width, height, view.corners);
    }
    return view;
}

bool StillnessDetector::outlinesMatch(const View &a, const View &b)
{
    const int64_t tolerance = int64_t(std::max(a.width, a.height)) * kOutlineTolerancePercent / 100;
    return std::all_of(a.corners.begin(), a.corners.end(), [&](const zqPoint &p) {
        return std::any_of(b.corners.begin(), b.corners.end(), [&](const zqPoint &q) {
            const int64_t dx = p.x - q.x, dy = p.y - q.y;
            return dx * dx + dy * dy <= tolerance * tolerance;
        });
    });
}

bool StillnessDetector::same(const View &a, const View &b)
{
    return a.width == b.width && a.height == b.height && a.hasPage == b.hasPage &&
           a.cells.size() == b.cells.size() && (!a.hasPage || outlinesMatch(a, b)) &&
           changedCells(a.cells, b.cells, kFrameCellTolerance) <= kFrameCellsAllowed;
}

bool StillnessDetector::samePage(const View &a, const View &b)
{
    return a.hasPage && b.hasPage && a.width == b.width && a.height == b.height &&
           outlinesMatch(a, b) &&
           changedCells(a.pageCells, b.pageCells, kPageCellTolerance) <= kPageCellsAllowed;
}

StillnessDetector::Verdict StillnessDetector::observe(const unsigned char *rgb, int width,
                                                      int height, const zqPoint *outline,
                                                      int64_t milliseconds)
{
    latest_ = look(rgb, width, height, outline);
    // A gap in the frames (another crop mode, a camera being opened)
    // starts the stillness afresh: it has to be seen.
    const bool gap = milliseconds - lastSeen_ > kStillMilliseconds;
    lastSeen_ = milliseconds;
    if (gap || !stillSince_ || !same(latest_, *stillSince_)) {
        if (pagesTurnInPlace_ && !gap)
            taken_.reset(); // something moved: a page may have been turned
        stillSince_ = latest_;
        stillStart_ = milliseconds;
    }
    const bool still = milliseconds - stillStart_ >= kStillMilliseconds;
    if (still && !latest_.hasPage)
        taken_.reset(); // the bare desk: the page taken last has gone
    if (!latest_.hasPage || (taken_ && samePage(latest_, *taken_)))
        return Verdict::NoNewPage;
    return still ? Verdict::Ready : Verdict::Settling;
}

void StillnessDetector::markTaken()
{
    taken_ = latest_;
}
