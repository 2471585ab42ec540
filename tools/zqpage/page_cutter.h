// A picture through libzqscan as the window captures a page: the page (or
// an open book's two pages) is found and outlined, the background
// optionally cleared, each page cut flat.
#ifndef ZQPAGE_PAGE_CUTTER_H
#define ZQPAGE_PAGE_CUTTER_H

#include "picture_file.h"

#include <zqscan/zq_opencv.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zqpage
{

// A page's corners in picture pixels, clockwise from the one nearest the
// picture's top-left corner.
using Outline = std::array<zqPointF, 4>;

// Holds the library's detection storage; one at a time, since the library
// keeps its records of the pages for the whole process.
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
    // Looks for an open book: its pages' outlines from left to right (two
    // for a spread, one for a page lying alone, none), remembered for
    // cutBookPage().
    std::vector<Outline> findBook(Picture &picture);

    // Takes the picture's lens for flattening and whitens its paper when
    // asked (in place, as the window does): once before its pages are cut.
    void prepare(Picture &picture, bool clearBackground);
    // Cuts the page find() found, flattened to its true proportions.  An
    // empty picture with the reason in error when it cannot.
    cv::Mat cut(Picture &picture, std::string &error);
    // Cuts page (0 the left) of those findBook() found, its curve laid flat
    // when flatten is on.
    cv::Mat cutBookPage(Picture &picture, int page, bool flatten, std::string &error);
};

} // namespace zqpage

#endif
