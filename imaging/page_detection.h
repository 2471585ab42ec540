// Finding the page in a frame: in a picture reduced by a whole factor
// nsalc in each direction (its pixel i covers frame pixels i * nsalc to
// (i + 1) * nsalc - 1), then measured on the whole frame.  Every call
// works on its own frame alone; nothing is kept between calls.
#ifndef ZQ_PAGE_DETECTION_H
#define ZQ_PAGE_DETECTION_H

#include "page_outline.h"

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

#include <array>
#include <optional>

namespace zq::imaging
{

// The page's outline in the frame (8-bit, 3 channels): the page's rotated
// box on the reduced picture's grid, its corners scaled to frame pixels,
// and the page's corners measured on the frame.  previous, the outline
// found in the frame before, keeps a still page's corners where only
// sensor noise moved them.  Nothing when there is no page or the reduced
// picture would be smaller than 2 x 2 pixels.
std::optional<PageOutline> findPageOutline(const cv::Mat &frame, int nsalc,
                                           const std::optional<PageOutline> &previous);

// The rotated box, in reduced pixels, of the largest bright region that
// covers less than 90 % of the reduced picture, page or not.
std::optional<cv::RotatedRect> brightRegionBox(const cv::Mat &frame, int nsalc);

// The box's corners rounded to whole pixels, in cv::RotatedRect's order.
std::array<cv::Point, 4> roundedCorners(const cv::RotatedRect &box);

// The page's corners measured on the frame within reach pixels of the
// coarse ones (clockwise from the top left): where its edges meet, on the
// top sheet of a stack.  The coarse ones where no edge is found.
Quad pageCornersNear(const cv::Mat &frame, const Quad &coarse, int reach);

} // namespace zq::imaging

#endif
