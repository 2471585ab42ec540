// One box of a turned picture, computed for the box alone.
//
// Cutting a tilted page out upright means turning the frame and cutting
// the page's box out of the turned frame.  Only the box's pixels are
// needed, so only they are computed: with OpenCV's own arithmetic for a
// bilinear warp (the inverse matrix, coordinates in 1/32 pixel, weights in
// fixed point) applied to the box's place in the whole turned picture, so
// that the bytes are the ones turning the whole picture gives.
#ifndef ZQ_BOX_WARP_H
#define ZQ_BOX_WARP_H

#include <opencv2/core/mat.hpp>

namespace zq::imaging
{

// Writes into out (box.size(), 8-bit, 3 channels) the box of
// cv::warpAffine(source, turned, turn, source.size(), cv::INTER_LINEAR,
// cv::BORDER_CONSTANT, white): exactly those bytes where the processor has
// AVX2, else those of OpenCV's warp of the box alone, which may differ by
// the rounding of the shifted matrix's fixed-point coordinates.
void warpBox(const cv::Mat &source, const cv::Mat &turn, const cv::Rect &box, cv::Mat &out);

// What warpBox does without AVX2: OpenCV's warp of the box alone, with the
// turn shifted by the box's corner.
void warpBoxWithOpenCv(const cv::Mat &source, const cv::Mat &turn, const cv::Rect &box,
                       cv::Mat &out);

} // namespace zq::imaging

#endif
