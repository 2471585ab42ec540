// Cutting a page's outline out of a frame, upright: a detected page
// flattened along its measured corners, any other outline's quadrilateral
// cut as a box, turned straight where it is tilted.
#ifndef ZQ_OUTLINE_CUT_H
#define ZQ_OUTLINE_CUT_H

#include "flat_page.h"
#include "page_outline.h"

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

#include <array>
#include <optional>
#include <variant>

namespace zq::imaging
{

// A box of the frame, or of the frame turned by turn degrees about its
// centre (rotationMatrix) where the quadrilateral is tilted.
struct BoxCut {
    cv::Rect box;
    std::optional<float> turn;
};

// The box of the outline's quadrilateral in a frame of this size, ignoring
// any measured page.  An axis-aligned quadrilateral: from its smallest
// coordinates, as large as corners 0 and 2 are apart, clipped to the
// frame.  A tilted one: the corners turned upright about the frame's
// centre, then the box from the corner nearest the origin to the one
// farthest from it, stopping one pixel short of the turned frame's right
// and bottom edges.  Nothing where the box holds no pixel of the frame or
// the angle is not a number.
std::optional<BoxCut> planBoxCut(const PageOutline &outline, cv::Size frame);

// Writes the box cut of the frame into out (8-bit, 3 channels, the box's
// size).  A turned cut works out only the box of the turned frame, with
// the interpolation and the white outside that turning the whole frame
// gives.
void cutBox(const cv::Mat &frame, const BoxCut &cut, cv::Mat &out);

// How an outline is cut out of a frame: flattened where its measured page
// belongs to a frame of this size, else its box.
using OutlineCut = std::variant<FlatCut, BoxCut>;

// Nothing where the outline encloses nothing of the frame.
std::optional<OutlineCut> planOutlineCut(const PageOutline &outline, cv::Size frame);
cv::Size cutSize(const OutlineCut &cut);
// Writes the cut of the frame into out, which has the cut's size; out's
// rows may be a caller's buffer.
void cutOutline(const cv::Mat &frame, const OutlineCut &cut, cv::Mat &out);

// OpenCV's rotation about the centre of a frame of this size (integer
// halves of the size); a positive angle turns the content
// counter-clockwise on screen.
cv::Mat rotationMatrix(cv::Size frame, float degree);

// The points turned by that rotation, truncated toward zero to whole
// pixels.
std::array<cv::Point, 4> turnedPoints(const std::array<cv::Point, 4> &points, float degree,
                                      cv::Size frame);

} // namespace zq::imaging

#endif
