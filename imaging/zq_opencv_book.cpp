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

const CurvedPage *recordedPage(int page)
{
    if (page < 0 || size_t(page) >= g_book.pages.size())
        return nullptr;
    return &g_book.pages[size_t(page)];
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
    return guarded(-1, [&] {
        if (!storage || !isUsableFrame(buffer, width, height) ||
            !zq::is_scale_denominator(denominator))
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
    return guarded(-1, [&] {
        const CurvedPage *found = recordedPage(page);
        if (!found || !points)
            return -1;
        const std::vector<cv::Point2f> outline = found->outline(ZQ_BOOK_EDGE_POINTS);
        for (size_t i = 0; i < outline.size(); ++i)
            points[i] = {outline[i].x, outline[i].y};
        return 0;
    });
}

int zq_scanner_book_gutter(zqPointF ends[2])
{
    if (!ends || !isSpread())
        return -1;
    const CurvedPage &left = g_book.pages[0];
    ends[0] = {left.top.back().x, left.top.back().y};
    ends[1] = {left.bottom.back().x, left.bottom.back().y};
    return 0;
}

int zq_scanner_book_show(unsigned char *buffer, int width, int height)
{
    return guarded(-1, [&] {
        if (g_book.pages.empty() || g_book.frame != cv::Size(width, height) ||
            !isUsableFrame(buffer, width, height))
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
    return guarded(-1, [&] {
        const CurvedPage *found = recordedPage(page);
        if (!found || g_book.frame != cv::Size(width, height) ||
            !isUsableFrame(buffer, width, height))
            return -1;
        PackedFrame frame(buffer, width, height);
        const cv::Mat image = frame.mat();
        if (flatten) {
            const double f = focalLength() * std::max(width, height);
            const std::optional<PageSurface> surface = PageSurface::fit(*found, image.size(), f);
            if (!surface)
                return -1;
            deliver(surface->flatSize(), out_buffer, out_buffersize, out_width, out_height,
                    [&](cv::Mat &out) { surface->warp(image, out); });
            return 0;
        }
        // Without flattening: the quadrilateral of its corners, cut upright.
        const std::optional<FlatCut> cut = planFlatCut(found->corners(), image.size());
        if (!cut)
            return -1;
        deliver(cut->size, out_buffer, out_buffersize, out_width, out_height,
                [&](cv::Mat &out) { warpFlatPage(image, cut->corners, out); });
        return 0;
    });
}
