#include "page_cutter.h"

#include <climits>

namespace zqpage
{
namespace
{

// Asks a library cut for its size, then cuts into a picture of that size;
// cutInto(buffer, size, &width, &height) is one of the library's cuts.
template <typename Cut> cv::Mat cutOut(Cut &&cutInto, std::string &error)
{
    int width = 0;
    int height = 0;
    if (cutInto(nullptr, 0, &width, &height) != 0) {
        error = "the page cannot be cut";
        return {};
    }
    if (width <= 0 || height <= 0 || width > INT_MAX / 3 / height) {
        error = "the flattened page would be " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels, more than the library takes";
        return {};
    }
    cv::Mat page(height, width, CV_8UC3);
    if (cutInto(page.data, int(page.total() * 3), &width, &height) != 0) {
        error = "the page cannot be cut";
        return {};
    }
    return page;
}

Outline cornersOf(const zqPointF (&outline)[2 * ZQ_BOOK_EDGE_POINTS])
{
    constexpr int n = ZQ_BOOK_EDGE_POINTS;
    return {outline[0], outline[n - 1], outline[n], outline[2 * n - 1]};
}

} // namespace

PageCutter::PageCutter()
{
    zq_scanner_dllinit();
}

PageCutter::~PageCutter()
{
    zq_scanner_dllunit();
}

std::optional<Outline> PageCutter::find(Picture &picture)
{
    cv::Mat &rgb = picture.rgb;
    // When nothing is found the library keeps the record of the last
    // picture: only a success may be followed by the outline or the cut.
    if (zq_scanner_cutting_edge_auto(rgb.data, rgb.cols, rgb.rows) != 0)
        return std::nullopt;
    Outline outline;
    if (zq_scanner_cutting_edge_quad(outline.data()) != 0)
        return std::nullopt;
    return outline;
}

std::vector<Outline> PageCutter::findBook(Picture &picture)
{
    cv::Mat &rgb = picture.rgb;
    const int pages = zq_scanner_book_find(rgb.data, rgb.cols, rgb.rows);
    std::vector<Outline> outlines;
    for (int page = 0; page < pages; ++page) {
        zqPointF points[2 * ZQ_BOOK_EDGE_POINTS];
        if (zq_scanner_book_outline(page, points) != 0)
            return {};
        outlines.push_back(cornersOf(points));
    }
    return outlines;
}

void PageCutter::prepare(Picture &picture, bool clearBackground)
{
    zq_scanner_set_focal_length(picture.focalLength);
    if (clearBackground)
        zq_scanner_clear_background(picture.rgb.data, picture.rgb.cols, picture.rgb.rows);
}

cv::Mat PageCutter::cut(Picture &picture, std::string &error)
{
    const cv::Mat &rgb = picture.rgb;
    return cutOut(
        [&](unsigned char *out, int size, int *width, int *height) {
            return zq_scanner_cutting_edge_do(rgb.data, rgb.cols, rgb.rows, out, size, width,
                                              height);
        },
        error);
}

cv::Mat PageCutter::cutBookPage(Picture &picture, int page, bool flatten, std::string &error)
{
    const cv::Mat &rgb = picture.rgb;
    return cutOut(
        [&](unsigned char *out, int size, int *width, int *height) {
            return zq_scanner_book_page_do(rgb.data, rgb.cols, rgb.rows, page, flatten ? 1 : 0, out,
                                           size, width, height);
        },
        error);
}

} // namespace zqpage
