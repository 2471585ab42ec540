// A page seen in perspective, laid flat: its true proportions recovered
// from the four corners and the lens, and the page mapped onto an upright
// rectangle of that shape.
#ifndef ZQ_FLAT_PAGE_H
#define ZQ_FLAT_PAGE_H

#include "quad.h"

#include <opencv2/core/mat.hpp>
#include <opencv2/core/matx.hpp>

#include <optional>

namespace zq::imaging
{

// A document camera's lens: about 45 degrees across the frame's longer
// side.
constexpr double kDefaultFocalLength = 1.2; // multiples of the longer side

// The focal length flattening assumes, as a multiple of the frame's longer
// side.
void setFocalLength(double longerSides);
double focalLength();

// The page's width over its height, from its corners (clockwise from the
// top left, frame pixels) seen through a lens of focal length f pixels
// centred on the frame: Zhang and He's method for whiteboards.  Falls back
// to the mean sides' ratio where the perspective says nothing.
double pageAspect(const Quad &corners, cv::Size frame, double f);

// The upright page's size in pixels: the longer of the top and bottom
// sides as seen, and the height that the page's proportions give it,
// both shrunk where the page would hold more than four times the frame's
// pixels.  Nothing for an outline without an inside.
std::optional<cv::Size> flatPageSize(const Quad &corners, cv::Size frame, double f);

// A page of width x height pixels in whole pixels (rounded down, so that
// rounding never takes it past the limit), shrunk keeping its proportions
// to at most four times the frame's pixels.  Nothing where a side comes
// to less than a pixel.
std::optional<cv::Size> cappedPageSize(double width, double height, cv::Size frame);

// The corners (clockwise) moved inward by guard pixels along every side:
// the outline's own pixels are half desk.  Nothing where neighbouring
// sides do not meet.
std::optional<Quad> insetQuad(const Quad &corners, float guard);

// Pixels kept clear of a page's measured edges, which blur into the desk.
constexpr float kEdgeGuard = 1.0f;

// A page flattened into an upright rectangle of its true proportions: the
// output's size, and the corners its edges map to.
struct FlatCut {
    cv::Size size;
    Quad corners;
};

// The cut of a page with these corners (in any order around it) with the
// lens focalLength() sets: nothing for an outline without an inside.
std::optional<FlatCut> planFlatCut(const Quad &page, cv::Size frame);

// Maps the quadrilateral (clockwise from the top left) onto out, the
// upright page at out's size: bilinear, white where the quadrilateral
// leaves the frame.  out's rows may be a caller's buffer.
// Eight pixels at a time with AVX2 where the processor has it, else with
// warpFlatPageWithOpenCv.
void warpFlatPage(const cv::Mat &frame, const Quad &corners, cv::Mat &out);

// OpenCV's own perspective warp of the frame into out, toFrame mapping
// out's pixels to the frame's.
void warpFlatPageWithOpenCv(const cv::Mat &frame, const cv::Matx33d &toFrame, cv::Mat &out);

} // namespace zq::imaging

#endif
