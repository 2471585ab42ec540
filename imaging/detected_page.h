// The page the detector found in the last frame, kept beside the crop
// record: the record holds the page's rotated box on the detector's coarse
// grid, this the page's own corners measured on the whole frame.
#ifndef ZQ_DETECTED_PAGE_H
#define ZQ_DETECTED_PAGE_H

#include "quad.h"

#include <opencv2/core/mat.hpp>

#include <zqscan/zq_opencv.h>

#include <optional>

namespace zq::imaging
{

struct DetectedPage {
    CuttingEdgeInfo record; // as the detector wrote it
    int width = 0, height = 0;
    Quad corners; // clockwise from the top left, in frame pixels
};

// The page's corners measured on the frame within reach pixels of the
// coarse ones (clockwise from the top left): where its edges meet, on the
// top sheet of a stack.  The coarse ones where no edge is found.
Quad pageCornersNear(const cv::Mat &frame, const Quad &coarse, int reach);

// The measured corners, or the last detection's where no corner moved by
// more than a fraction of a pixel: sensor noise must not make a still
// page's outline tremble.
Quad steadyCorners(const Quad &measured, int width, int height);

// Keeps what the detector has just recorded for a frame.
void rememberDetection(const DetectedPage &page);

// The detected page's corners while the crop record is still the one the
// detector wrote: nothing once the record was set by hand, changed or
// consumed.
std::optional<Quad> detectedCorners();
// The same, only for a frame of this size.
std::optional<Quad> detectedCorners(int width, int height);

} // namespace zq::imaging

#endif
