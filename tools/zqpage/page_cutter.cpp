#include "page_cutter.h"

#include <climits>

namespace zqpage
{

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

cv::Mat PageCutter::cut(Picture &picture, bool clearBackground, std::string &error)
{
    cv::Mat &rgb = picture.rgb;
    zq_scanner_set_focal_length(picture.focalLength);
    if (clearBackground)
        zq_scanner_clear_background(rgb.data, rgb.cols, rgb.rows);
    // First the page's size, then the page: flattened, it may come out
    // larger than the picture in one direction.
    int width = 0;
    int height = 0;
    if (zq_scanner_cutting_edge_do(rgb.data, rgb.cols, rgb.rows, nullptr, 0, &width, &height) !=
        0) {
        error = "the page cannot be cut";
        return {};
    }
    if (width <= 0 || height <= 0 || width > INT_MAX / 3 / height) {
        error = "the flattened page would be " + std::to_string(width) + " x " +
                std::to_string(height) + " pixels, more than the library takes";
        return {};
    }
    cv::Mat page(height, width, CV_8UC3);
    if (zq_scanner_cutting_edge_do(rgb.data, rgb.cols, rgb.rows, page.data, int(page.total() * 3),
                                   &width, &height) != 0) {
        error = "the page cannot be cut";
        return {};
    }
    return page;
}

} // namespace zqpage
