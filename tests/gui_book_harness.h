// Open books under the virtual camera, for the tests of book mode: a
// book's pages printed with text of their own (the tests that include
// this define ZQ_TEXT_FONT), and which of them a written page holds.
#ifndef ZQ_TESTS_GUI_BOOK_HARNESS_H
#define ZQ_TESTS_GUI_BOOK_HARNESS_H

#include "gui_frame_harness.h"

#include "book_scene.h"
#include "desk_script.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <vector>

// An open book lying open at the given left page, its text as
// zq::sim::BookScript prints it, so that each page written tells by its
// text which one it holds.
inline zq::sim::BookScene openBook(int leftPage = 1)
{
    using zq::sim::BookScript;
    zq::sim::BookScene book;
    book.pageWidth = 0.3;
    book.font = ZQ_TEXT_FONT;
    book.lines = {zq::sim::bookText(leftPage, BookScript::kLinesPerPage),
                  zq::sim::bookText(leftPage + 1, BookScript::kLinesPerPage)};
    return book;
}

// Whether the pixel at x of a grey row is ink: far darker than the paper
// a few pixels to its left and to its right.  A stroke of a letter is; the
// edge of a shade, the cover or the gutter, dark on one side only, is not.
inline bool isInk(const uchar *row, int x, int width)
{
    constexpr int kReach = 6;
    const auto brightest = [&](int from, int to) {
        uchar b = 0;
        for (int i = std::max(0, from); i <= std::min(width - 1, to); ++i)
            b = std::max(b, row[i]);
        return b;
    };
    return row[x] + 60 < std::min(brightest(x - kReach, x - 1), brightest(x + 1, x + kReach));
}

// The block of text on a page, cut out and brought to a fixed size: the
// rows and columns holding enough ink, away from the page's edges.
inline QImage textBlock(const QImage &page)
{
    const QImage grey = page.convertToFormat(QImage::Format_Grayscale8);
    const int left = grey.width() / 16, right = grey.width() - left;
    const int top = grey.height() / 16, bottom = grey.height() - top;
    std::vector<int> inkInRow(size_t(grey.height())), inkInColumn(size_t(grey.width()));
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            if (isInk(grey.constScanLine(y), x, grey.width())) {
                ++inkInRow[size_t(y)];
                ++inkInColumn[size_t(x)];
            }
    const auto span = [](const std::vector<int> &ink, int least) {
        const auto enough = [&](int n) { return n >= least; };
        const auto first = std::find_if(ink.begin(), ink.end(), enough);
        const auto last = std::find_if(ink.rbegin(), ink.rend(), enough).base();
        return std::make_pair(int(first - ink.begin()), int(last - ink.begin()));
    };
    const auto [y0, y1] = span(inkInRow, grey.width() / 50);
    const auto [x0, x1] = span(inkInColumn, grey.height() / 50);
    if (y1 <= y0 || x1 <= x0)
        return {};
    return grey.copy(x0, y0, x1 - x0, y1 - y0)
        .scaled(80, 120, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// How much two blocks of text differ where each piece of one is laid on
// the other a few pixels either way, as it fits best: the flattening may
// stretch a page a little here and there.
inline double textDifference(const QImage &a, const QImage &b)
{
    constexpr int kTile = 10;
    constexpr int kSlack = 3;
    if (a.isNull() || b.isNull())
        return std::numeric_limits<double>::infinity();
    double sum = 0;
    for (int ty = kSlack; ty + kTile + kSlack <= a.height(); ty += kTile)
        for (int tx = kSlack; tx + kTile + kSlack <= a.width(); tx += kTile) {
            int best = INT_MAX;
            for (int dy = -kSlack; dy <= kSlack; ++dy)
                for (int dx = -kSlack; dx <= kSlack; ++dx) {
                    int d = 0;
                    for (int y = ty; y < ty + kTile; ++y)
                        for (int x = tx; x < tx + kTile; ++x)
                            d += std::abs(a.constScanLine(y)[x] - b.constScanLine(y + dy)[x + dx]);
                    best = std::min(best, d);
                }
            sum += best;
        }
    return sum;
}

// The side of the book (0 left, 1 right) whose printed text the page
// holds, or -1 when it is not clearly one of them.  The blocks of text
// are compared, so that the margins the cut keeps do not count.
inline int bookSideShown(const zq::sim::BookScene &book, const QImage &page)
{
    double difference[2];
    for (int side : {0, 1}) {
        const std::vector<uint8_t> printed =
            zq::sim::renderBookPage(book, side, page.width(), page.height());
        difference[side] = textDifference(
            textBlock(page), textBlock(frameImage(printed.data(), page.width(), page.height())));
    }
    if (difference[0] < 0.75 * difference[1])
        return 0;
    if (difference[1] < 0.75 * difference[0])
        return 1;
    return -1;
}

#endif
