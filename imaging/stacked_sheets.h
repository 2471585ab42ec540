// A page lying on other sheets: the bright region and the strongest edges
// are those of the whole stack, whose sheets show a few millimetres beside
// the page.
#ifndef ZQ_STACKED_SHEETS_H
#define ZQ_STACKED_SHEETS_H

#include "quad.h"

#include <opencv2/core/mat.hpp>

namespace zq::imaging
{

// The outline of the sheet on top of a stack whose outline (clockwise,
// frame pixels) is given.  Beside a side of the top sheet the sheets
// below show as a strip of paper a little darker than the page, between
// the stack's edge and a second edge that runs along the whole side a few
// pixels inside it; such sides move in to that edge.  An outline whose
// every side has such an edge is a page with a printed frame and stays as
// it is, and so does an outline without them.
Quad topSheet(const cv::Mat &frame, const Quad &outline);

} // namespace zq::imaging

#endif
