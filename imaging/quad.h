// A page's outline as four free corners.
#ifndef ZQ_QUAD_H
#define ZQ_QUAD_H

#include <opencv2/core/types.hpp>

#include <array>

namespace zq::imaging
{

using Quad = std::array<cv::Point2f, 4>; // corners in order around the outline

// The same outline clockwise on screen (y grows downwards), starting with
// the corner nearest the picture's top-left corner.
Quad clockwiseFromTopLeft(Quad q);

// A clockwise outline starting with the corner whose side to the next
// runs most nearly left to right: the top left of the page turned upright
// by the smallest turn, as the preview shows it.
Quad uprightOrder(Quad clockwise);

} // namespace zq::imaging

#endif
