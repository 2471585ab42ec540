// A page's crop outline in one frame, as a value: the page detection
// found, or a rectangle set by hand.  The C interface keeps one outline as
// its crop record (crop_record.h); everything else passes outlines around.
#ifndef ZQ_PAGE_OUTLINE_H
#define ZQ_PAGE_OUTLINE_H

#include "quad.h"

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

#include <array>
#include <optional>

namespace zq::imaging
{

// A detected page's own corners, where its edges meet, measured on a frame
// of this size: clockwise from the top left, in frame pixels.
struct MeasuredPage {
    Quad corners;
    cv::Size frame;
};

struct PageOutline {
    // The quadrilateral in frame pixels, as the crop record holds it:
    // corners 0 and 2 diagonally opposite, as are 1 and 3.  For a detected
    // page the rotated box around it on the detector's coarse grid.
    std::array<cv::Point, 4> box;
    // The box's tilt in degrees as OpenCV's rotated box gives it; exactly
    // 0 marks an axis-aligned rectangle.
    double angle = 0;
    // Set for a detected page.
    std::optional<MeasuredPage> page;
};

// The axis-aligned rectangle with the opposite corners a and b (in either
// order): corners a, (a.x, b.y), b, (b.x, a.y).
PageOutline rectangleOutline(cv::Point a, cv::Point b);

// The measured page's corners where they belong to a frame of this size.
std::optional<Quad> measuredIn(const PageOutline &outline, cv::Size frame);

// The outline's corners to a fraction of a pixel, clockwise from the top
// left: the measured page's where there is one, else the box's.
Quad outlineCorners(const PageOutline &outline);

// Draws the outline into the frame (5 pixels wide, 255 in byte 1, an RGB
// frame's green): the measured page where it belongs to a frame of this
// size, else the box.
void drawOutline(cv::Mat &frame, const PageOutline &outline);

} // namespace zq::imaging

#endif
