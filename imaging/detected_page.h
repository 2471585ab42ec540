// The corners of a detected page, measured on the whole frame.
#ifndef ZQ_DETECTED_PAGE_H
#define ZQ_DETECTED_PAGE_H

#include "page_outline.h"

#include <opencv2/core/mat.hpp>

#include <optional>

namespace zq::imaging
{

// The page's corners measured on the frame within reach pixels of the
// coarse ones (clockwise from the top left): where its edges meet, on the
// top sheet of a stack.  The coarse ones where no edge is found.
Quad pageCornersNear(const cv::Mat &frame, const Quad &coarse, int reach);

// The measured page, or the previous detection's where that was on a
// frame of the same size and no corner moved by more than a fraction of a
// pixel: sensor noise must not make a still page's outline tremble.
MeasuredPage steadyPage(const MeasuredPage &measured, const std::optional<PageOutline> &previous);

} // namespace zq::imaging

#endif
