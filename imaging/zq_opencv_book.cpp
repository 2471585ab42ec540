// Open books: finding the spread, its outline and gutter, and each page
// cut flat.
#include "frame_scaling.h"
#include "curved_page.h"
#include "flat_page.h"
#include "image_support.h"
#include "open_book.h"
#include "zq_opencv_internal.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace zq::imaging;

namespace
{

// What the last search found, for the frame it looked at.
struct BookRecord {
    cv::Size frame;
    std::vector<CurvedPage> pages;
};
BookRecord g_book;

// The recorded page; null, with the call's failure recorded, when the
// record holds none of that number.
const CurvedPage *recordedPage(int page)
{
    if (page >= 0 && size_t(page) < g_book.pages.size())
        return &g_book.pages[size_t(page)];
    zq::failWith("the book record holds no page %d (%zu found)", page, g_book.pages.size());
    return nullptr;
}

// Whether the record holds pages found in a frame of this size; the call's
// failure is recorded when not.
bool recordedFor(int width, int height)
{
    if (g_book.pages.empty())
        zq::failWith("no book pages are recorded");
    else if (g_book.frame != cv::Size(width, height))
        zq::failWith("the book was found in a %d x %d frame, not in one of %d x %d",
                     g_book.frame.width, g_book.frame.height, width, height);
    else
        return true;
    return false;
}

bool isSpread()
{
    return g_book.pages.size() == 2;
}

std::vector<cv::Point> pixelPoints(const std::vector<cv::Point2f> &points)
{
    std::vector<cv::Point> out;
    for (const cv::Point2f &p : points)
        out.emplace_back(int(std::lround(p.x)), int(std::lround(p.y)));
    return out;
}

const cv::Scalar kOutlineColour(0, 255, 0);
constexpr int kOutlineWidth = 5;

// The page's outline without its side along the gutter, which is dashed.
void drawPage(cv::Mat &image, const CurvedPage &page, int side)
{
    const std::vector<cv::Point> outline = pixelPoints(page.outline(ZQ_BOOK_EDGE_POINTS));
    if (!isSpread()) {
        cv::polylines(image, outline, true, kOutlineColour, kOutlineWidth, cv::LINE_AA);
        return;
    }
    // The left page's gutter side runs from its top edge's last point to its
    // bottom edge's first; the right page's closes the outline.
    std::vector<cv::Point> open = outline;
    if (side == 0)
        std::rotate(open.begin(), open.begin() + ZQ_BOOK_EDGE_POINTS, open.end());
    cv::polylines(image, open, false, kOutlineColour, kOutlineWidth, cv::LINE_AA);
}

void drawGutter(cv::Mat &image, cv::Point2f top, cv::Point2f bottom)
{
    const float dash = float(std::max(8, image.cols / 120));
    const float length = std::hypot(bottom.x - top.x, bottom.y - top.y);
    const cv::Point2f along = (bottom - top) / std::max(length, 1.f);
    for (float at = 0; at < length; at += 2 * dash) {
        const cv::Point2f from = top + along * at, to = top + along * std::min(at + dash, length);
        cv::line(image, cv::Point(from), cv::Point(to), kOutlineColour, 3, cv::LINE_AA);
    }
}

} // namespace

int zq_scanner_book_find(const unsigned char *buffer, int width, int height)
{
    return zq_scanner_book_find_reduced(buffer, width, height, 1);
}

int zq_scanner_book_find_reduced(const unsigned char *buffer, int width, int height,
                                 int denominator)
{
    return guarded("zq_scanner_book_find", -1, [&] {
        if (!detectionPrepared(storage) || !acceptFrame(buffer, width, height) ||
            !zq::accept_scale_denominator(denominator))
            return -1;
        g_book = {};
        PackedFrame frame(buffer, width, height);
        std::optional<OpenBook> book = findOpenBook(frame.mat(), denominator);
        if (!book)
            return 0;
        g_book = {cv::Size(width, height), std::move(book->pages)};
        return int(g_book.pages.size());
    });
}

int zq_scanner_book_outline(int page, zqPointF points[2 * ZQ_BOOK_EDGE_POINTS])
{
    return guarded("zq_scanner_book_outline", -1, [&] {
        if (!points) {
            zq::failWith("zq_scanner_book_outline: no place for the outline (null pointer)");
            return -1;
        }
        const CurvedPage *found = recordedPage(page);
        if (!found)
            return -1;
        const std::vector<cv::Point2f> outline = found->outline(ZQ_BOOK_EDGE_POINTS);
        for (size_t i = 0; i < outline.size(); ++i)
            points[i] = {outline[i].x, outline[i].y};
        return 0;
    });
}

int zq_scanner_book_gutter(zqPointF ends[2])
{
    if (!ends) {
        zq::failWith("zq_scanner_book_gutter: no place for the gutter's ends (null pointer)");
        return -1;
    }
    if (!isSpread()) {
        zq::failWith("the book record holds no spread (%zu pages found)", g_book.pages.size());
        return -1;
    }
    const CurvedPage &left = g_book.pages[0];
    ends[0] = {left.top.back().x, left.top.back().y};
    ends[1] = {left.bottom.back().x, left.bottom.back().y};
    return 0;
}

int zq_scanner_book_show(unsigned char *buffer, int width, int height)
{
    return guarded("zq_scanner_book_show", -1, [&] {
        if (!recordedFor(width, height) || !acceptFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        cv::Mat image = frame.mat();
        for (size_t i = 0; i < g_book.pages.size(); ++i)
            drawPage(image, g_book.pages[i], int(i));
        if (isSpread())
            drawGutter(image, g_book.pages[0].top.back(), g_book.pages[0].bottom.back());
        return 0;
    });
}

int zq_scanner_book_page_do(const unsigned char *buffer, int width, int height, int page,
                            int flatten, unsigned char *out_buffer, int out_buffersize,
                            int *out_width, int *out_height)
{
    return guarded("zq_scanner_book_page_do", -1, [&] {
        const CurvedPage *found = recordedPage(page);
        if (!found || !recordedFor(width, height) || !acceptFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        const cv::Mat image = frame.mat();
        if (flatten) {
            const double f = focalLength() * std::max(width, height);
            const std::optional<PageSurface> surface = PageSurface::fit(*found, image.size(), f);
            if (!surface) {
                zq::failWith("page %d's curved surface cannot be laid flat", page);
                return -1;
            }
            deliver(surface->flatSize(), out_buffer, out_buffersize, out_width, out_height,
                    [&](cv::Mat &out) { surface->warp(image, out); });
            return 0;
        }
        // Without flattening: the quadrilateral of its corners, cut upright.
        const std::optional<FlatCut> cut = planFlatCut(found->corners(), image.size());
        if (!cut) {
            zq::failWith("page %d's corners enclose nothing to cut", page);
            return -1;
        }
        deliver(cut->size, out_buffer, out_buffersize, out_width, out_height,
                [&](cv::Mat &out) { warpFlatPage(image, cut->corners, out); });
        return 0;
    });
}
