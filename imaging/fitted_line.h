// Straight edges fitted to points measured along them, some of which may
// have found something else.
#ifndef ZQ_FITTED_LINE_H
#define ZQ_FITTED_LINE_H

#include <opencv2/core/types.hpp>

#include <cstddef>
#include <vector>

namespace zq::imaging
{

struct FittedLine {
    cv::Point2f point, dir; // dir has length 1

    // Of a point from the line, unsigned.
    float distance(cv::Point2f p) const;
};

// Total least squares through the points (at least two).
FittedLine fitLine(const std::vector<cv::Point2f> &points);

// Where two lines meet; false for parallel ones.
bool meet(const FittedLine &a, const FittedLine &b, cv::Point2f &at);

// The points of the line most points agree with, by their indices: of the
// lines through pairs of points half the list apart, the one with most
// points within maxScatter of it.  Up to half the points may lie
// elsewhere: on a hand, a pen, a shadow, a line of print.
std::vector<size_t> consensus(const std::vector<cv::Point2f> &points, float maxScatter);

} // namespace zq::imaging

#endif
