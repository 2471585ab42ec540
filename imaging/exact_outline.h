// The page's corners measured on the whole frame.
//
// Detection works on a reduced frame, so its outline can lie a few pixels
// off the page.  Near each side of that outline the page's edge is
// measured across the full-resolution frame, to a fraction of a pixel, a
// line is fitted through the measurements that agree (a pen or a finger
// over the edge measures something else), and the corners are where the
// lines meet.
#ifndef ZQ_EXACT_OUTLINE_H
#define ZQ_EXACT_OUTLINE_H

#include "quad.h"

#include <opencv2/core/mat.hpp>

#include <optional>

namespace zq::imaging
{

// The corners of the page whose outline, within reach pixels, the coarse
// corners give (in order around it, frame pixels).  A side whose edge
// cannot be measured keeps its coarse line; nothing when a measured corner
// strays more than twice reach from its coarse one (where the sides meet,
// an error across a side grows).
std::optional<Quad> exactOutline(const cv::Mat &frame, const Quad &coarse, int reach);

} // namespace zq::imaging

#endif
