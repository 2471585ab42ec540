// A page whose surface curves across it and runs straight along the spine
// (a generalised cylinder, as an open book's page lies), laid flat.
//
// The camera looks straight down through a pinhole lens.  Each straight
// line of the surface along the spine (a ruling) lies at one height, so
// the camera sees it as a straight segment from the page's top edge to its
// bottom edge, parallel to the spine, scaled by f / (f - height) about the
// frame's centre.  The page is as tall everywhere, so the length of that
// segment says the ruling's height, and with it where the ruling lies on
// the desk: the page's cross-section, whose length is the flat page's
// width.
#ifndef ZQ_CURVED_PAGE_H
#define ZQ_CURVED_PAGE_H

#include "quad.h"

#include <opencv2/core/mat.hpp>

#include <optional>
#include <vector>

namespace zq::imaging
{

// A page as the camera sees it: its top and bottom edges traced from its
// left side to its right side, point i of each on the same ruling.
struct CurvedPage {
    std::vector<cv::Point2f> top, bottom; // frame pixels, the same number (at least 2)

    // Its corners, clockwise from the top left.
    Quad corners() const;
    // count points along each edge, evenly spread over the rulings: the
    // top edge from left to right, then the bottom edge from right to left.
    std::vector<cv::Point2f> outline(int count) const;
};

// The page's cross-section, recovered from its rulings, and the flat page
// it unrolls into.
class PageSurface
{
  public:
    // f: the lens's focal length in pixels, centred on the frame.  Nothing
    // for a page without an inside.
    static std::optional<PageSurface> fit(const CurvedPage &page, cv::Size frame, double f);

    // The flat page's size in pixels: as tall as the page's rulings are
    // seen at their median height, as wide as the cross-section is long at
    // that scale; shrunk where it would hold more than four times the
    // frame's pixels.
    cv::Size flatSize() const { return size_; }

    // Samples the frame along the rulings into out (the flat page at its
    // size), bilinearly; white where the page leaves the frame.
    void warp(const cv::Mat &frame, cv::Mat &out) const;

  private:
    CurvedPage page_;
    std::vector<double> unrolled_; // at each ruling, its distance along the cross-section
    cv::Size size_;
};

} // namespace zq::imaging

#endif
