#include "stillness.h"

#include <algorithm>
#include <cstdlib>

namespace
{

// The small picture: cells of the frame, each the mean of taps x taps
// pixels spread over it.  A few thousand reads of a frame of millions.
constexpr int kColumns = 64;
constexpr int kRows = 48;
constexpr int kTaps = 3;

// A cell has changed when its grey moved by more than this; the picture
// has moved when more than one cell in a hundred changed.  Sensor noise,
// averaged over the taps, stays far below; a hand or a page does not.
constexpr int kCellTolerance = 20;
constexpr int kChangedCellsAllowed = kColumns * kRows / 100;

// The outline has moved when a corner has no partner within this share
// of the frame's longer side.  The detector finds corners on a grid of 4
// or 8 pixels, so they jitter by about that much.
constexpr int kOutlineTolerancePercent = 2;

// The position of tap `index` of `count` spread evenly over `length`.
int tapPosition(int index, int count, int length)
{
    return int((2 * int64_t(index) + 1) * length / (2 * int64_t(count)));
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
    view.hasPage = outline != nullptr;
    if (outline)
        std::copy(outline, outline + 4, view.corners.begin());

    std::array<int, kColumns * kTaps> tapOffsets;
    for (int i = 0; i < kColumns * kTaps; ++i)
        tapOffsets[i] = 3 * tapPosition(i, kColumns * kTaps, width);
    view.cells.resize(kColumns * kRows);
    for (int row = 0; row < kRows; ++row) {
        std::array<int, kColumns> sums{};
        for (int t = 0; t < kTaps; ++t) {
            const int y = tapPosition(row * kTaps + t, kRows * kTaps, height);
            const unsigned char *line = rgb + size_t(y) * width * 3;
            for (int i = 0; i < kColumns * kTaps; ++i) {
                const unsigned char *p = line + tapOffsets[i];
                sums[i / kTaps] += p[0] + 2 * p[1] + p[2];
            }
        }
        for (int column = 0; column < kColumns; ++column)
            view.cells[row * kColumns + column] = uint8_t(sums[column] / (4 * kTaps * kTaps));
    }
    return view;
}

bool StillnessDetector::outlinesMatch(const View &a, const View &b)
{
    const int64_t tolerance = int64_t(std::max(a.width, a.height)) * kOutlineTolerancePercent / 100;
    // Corner order follows the detector's box, which may start elsewhere
    // on the next frame: every corner needs a partner, wherever it is.
    return std::all_of(a.corners.begin(), a.corners.end(), [&](const zqPoint &p) {
        return std::any_of(b.corners.begin(), b.corners.end(), [&](const zqPoint &q) {
            const int64_t dx = p.x - q.x, dy = p.y - q.y;
            return dx * dx + dy * dy <= tolerance * tolerance;
        });
    });
}

bool StillnessDetector::cellsMatch(const View &a, const View &b)
{
    int changed = 0;
    for (size_t i = 0; i < a.cells.size(); ++i)
        changed += std::abs(int(a.cells[i]) - int(b.cells[i])) > kCellTolerance;
    return changed <= kChangedCellsAllowed;
}

bool StillnessDetector::same(const View &a, const View &b)
{
    return a.width == b.width && a.height == b.height && a.hasPage == b.hasPage &&
           a.cells.size() == b.cells.size() && (!a.hasPage || outlinesMatch(a, b)) &&
           cellsMatch(a, b);
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
    if (!latest_.hasPage || (taken_ && same(latest_, *taken_)))
        return Verdict::NoNewPage;
    return still ? Verdict::Ready : Verdict::Settling;
}

void StillnessDetector::markTaken()
{
    taken_ = latest_;
}
