// A picture through libzqscan as the window captures a page: the page is
// found and outlined, the background optionally cleared, the page cut flat.
#ifndef ZQPAGE_PAGE_CUTTER_H
#define ZQPAGE_PAGE_CUTTER_H

#include "picture_file.h"

#include <zqscan/zq_opencv.h>

#include <array>
#include <optional>
#include <string>

namespace zqpage
{

// The page's corners in picture pixels, clockwise from the one nearest the
// picture's top-left corner.
using Outline = std::array<zqPointF, 4>;

// Holds the library's detection storage; one at a time, since the library
// keeps its record of the page for the whole process.
class PageCutter
{
  public:
    PageCutter();
    ~PageCutter();
    PageCutter(const PageCutter &) = delete;
    PageCutter &operator=(const PageCutter &) = delete;

    // Looks for the page; its outline when there is one.  The page is
    // remembered for cut(), as long as the picture is not replaced.
    std::optional<Outline> find(Picture &picture);
    // Cuts the page find() found out of the picture, flattened to its true
    // proportions with the picture's lens, after whitening the paper when
    // asked (in place, as the window does).  An empty picture with the
    // reason in error when it cannot.
    cv::Mat cut(Picture &picture, bool clearBackground, std::string &error);
};

} // namespace zqpage

#endif
