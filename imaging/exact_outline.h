// Cutting a detected page along its own edges.
//
// Detection works on a reduced frame and records corners on that grid,
// multiples of the reduction factor, so the recorded outline can lie a few
// pixels off the page and a cut along it would keep a strip of desk.  At
// capture time the page's edges are measured on the whole frame near the
// recorded outline, and the page is cut to the largest upright rectangle
// within them.  The record itself keeps the detector's corners.
#ifndef ZQ_EXACT_OUTLINE_H
#define ZQ_EXACT_OUTLINE_H

#include <zqscan/zq_opencv.h>

#include <opencv2/core/mat.hpp>

#include <optional>

namespace zq::imaging
{

// Remembers the record the detector has just written for a frame of this
// size, found at reduction factor nsalc: only such records are refined.
void rememberDetection(const CuttingEdgeInfo &record, int width, int height, int nsalc);

// The record for cutting the page that the detected outline describes out
// of the frame: an upright rectangle within the page's measured edges,
// turned like the page.  Nothing when the edges cannot be measured.
std::optional<CuttingEdgeInfo> exactOutline(const cv::Mat &frame, const CuttingEdgeInfo &detected,
                                            int nsalc);

// While it lives, the crop record holds the exact outline of the page the
// detector found in this frame; then the detector's record comes back.
// Records set by hand, and outlines whose edges cannot be measured, stay as
// they are.
class ExactPageOutline
{
  public:
    ExactPageOutline(const unsigned char *frame, int width, int height);
    ~ExactPageOutline();
    ExactPageOutline(const ExactPageOutline &) = delete;
    ExactPageOutline &operator=(const ExactPageOutline &) = delete;

  private:
    std::optional<CuttingEdgeInfo> detected_;
};

} // namespace zq::imaging

#endif
