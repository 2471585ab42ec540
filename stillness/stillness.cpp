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

// The print of a page turned in place: its grey at this many places spread
// over the outline, each less the mean of its neighbours along the row, so
// that the lines of text, in the same places on every page of a book,
// cancel out and the words remain.  Places a few pixels apart on a
// document camera's frame: a word's letters and gaps show.
constexpr int kPrintColumns = 320;
constexpr int kPrintRows = 240;
constexpr int kPrintRowMean = 9;
// The outline jitters by a few pixels: prints are matched shifted by up to
// this many places either way.  Matched at their best shift, the prints of
// one spread correlate by 0.98 or more, those of two spreads by less than
// 0.05 (the virtual book at 640x480, a hand passed over, nudged by 2 pixels).
constexpr int kPrintShift = 4;
constexpr double kSamePrint = 0.5;

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

// The grey of the frame at a place in the page's own coordinates: u across
// and v down, from 0 at its top-left corner to 1 at its bottom-right one.
class PageSampler
{
  public:
    PageSampler(const unsigned char *rgb, int width, int height,
                const std::array<zqPoint, 4> &corners)
        : rgb_(rgb), width_(width), height_(height), c_(fromTopLeft(corners))
    {
    }

    int operator()(double u, double v) const
    {
        const double x =
            (1 - v) * ((1 - u) * c_[0].x + u * c_[1].x) + v * ((1 - u) * c_[3].x + u * c_[2].x);
        const double y =
            (1 - v) * ((1 - u) * c_[0].y + u * c_[1].y) + v * ((1 - u) * c_[3].y + u * c_[2].y);
        const int px = std::clamp(int(x), 0, width_ - 1), py = std::clamp(int(y), 0, height_ - 1);
        return grey(rgb_ + (size_t(py) * width_ + px) * 3);
    }

  private:
    const unsigned char *rgb_;
    int width_, height_;
    std::array<zqPoint, 4> c_;
};

// The page's print: see kPrintColumns.
std::vector<int16_t> pagePrint(const PageSampler &at)
{
    std::vector<int16_t> print(kPrintColumns * kPrintRows);
    std::vector<int> row(kPrintColumns);
    for (int y = 0; y < kPrintRows; ++y) {
        for (int x = 0; x < kPrintColumns; ++x)
            row[x] = at((x + 0.5) / kPrintColumns, (y + 0.5) / kPrintRows);
        for (int x = 0; x < kPrintColumns; ++x) {
            const int from = std::max(0, x - kPrintRowMean / 2);
            const int to = std::min(kPrintColumns, x + kPrintRowMean / 2 + 1);
            int sum = 0;
            for (int k = from; k < to; ++k)
                sum += row[k];
            print[y * kPrintColumns + x] = int16_t(row[x] - sum / (to - from));
        }
    }
    return print;
}

// Whether two prints show the same page: their correlation at the best of
// the small shifts the outline's jitter calls for.
bool printsMatch(const std::vector<int16_t> &a, const std::vector<int16_t> &b)
{
    if (a.empty() || a.size() != b.size())
        return false;
    double best = 0;
    for (int dy = -kPrintShift; dy <= kPrintShift; ++dy)
        for (int dx = -kPrintShift; dx <= kPrintShift; ++dx) {
            int64_t ab = 0, aa = 0, bb = 0;
            for (int y = kPrintShift; y < kPrintRows - kPrintShift; ++y) {
                const int16_t *ra = &a[y * kPrintColumns], *rb = &b[(y + dy) * kPrintColumns + dx];
                for (int x = kPrintShift; x < kPrintColumns - kPrintShift; ++x) {
                    ab += ra[x] * rb[x];
                    aa += ra[x] * ra[x];
                    bb += rb[x] * rb[x];
                }
            }
            if (aa > 0 && bb > 0)
                best = std::max(best, double(ab) / std::sqrt(double(aa) * double(bb)));
        }
    return best >= kSamePrint;
}

// Cells of the page in its own coordinates, spread over the outline.
std::vector<uint8_t> pageCells(const PageSampler &at)
{
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
        view.pageCells = pageCells(PageSampler(rgb, width, height, view.corners));
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

bool StillnessDetector::samePage(const View &a, const View &b) const
{
    if (!a.hasPage || !b.hasPage || a.width != b.width || a.height != b.height ||
        !outlinesMatch(a, b))
        return false;
    if (pagesTurnInPlace_)
        return printsMatch(a.print, b.print);
    return changedCells(a.pageCells, b.pageCells, kPageCellTolerance) <= kPageCellsAllowed;
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
        stillSince_ = latest_;
        stillStart_ = milliseconds;
    }
    const bool still = milliseconds - stillStart_ >= kStillMilliseconds;
    if (still && !latest_.hasPage)
        taken_.reset(); // the bare desk: the page taken last has gone
    if (!latest_.hasPage)
        return Verdict::NoNewPage;
    if (pagesTurnInPlace_)
        return still ? stillPageVerdict(rgb) : Verdict::Settling;
    if (taken_ && samePage(latest_, *taken_))
        return Verdict::NoNewPage;
    return still ? Verdict::Ready : Verdict::Settling;
}

// The print is read and compared once a stillness: it costs a few
// milliseconds, and the pages cannot change while nothing moves.
StillnessDetector::Verdict StillnessDetector::stillPageVerdict(const unsigned char *rgb)
{
    if (printedStillness_ != stillStart_) {
        printedStillness_ = stillStart_;
        latest_.print = pagePrint(PageSampler(rgb, latest_.width, latest_.height, latest_.corners));
        stillPrint_ = latest_.print;
        stillShowsTaken_ = taken_ && samePage(latest_, *taken_);
    }
    return stillShowsTaken_ ? Verdict::NoNewPage : Verdict::Ready;
}

void StillnessDetector::markTaken()
{
    takenBefore_ = taken_;
    stillShowedTaken_ = stillShowsTaken_;
    taken_ = latest_;
    if (printedStillness_ == stillStart_) {
        taken_->print = stillPrint_;
        stillShowsTaken_ = true;
    }
}

void StillnessDetector::unmarkTaken()
{
    taken_ = takenBefore_;
    stillShowsTaken_ = stillShowedTaken_;
}
