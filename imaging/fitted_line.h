// Straight edges fitted to points measured along them, some of which may
// have found something else.
#ifndef ZQ_FITTED_LINE_H
#define ZQ_FITTED_LINE_H

#include "quad.h"

#include <opencv2/core/types.hpp>

#include <cstddef>
#include <optional>
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

// The line from a through b (two different points).
FittedLine lineThrough(cv::Point2f a, cv::Point2f b);

// Where two lines meet; false for parallel ones.
bool meet(const FittedLine &a, const FittedLine &b, cv::Point2f &at);

// The outline whose side i runs along side[i], from corner i where it
// meets the side before to corner i + 1: nothing where two neighbouring
// sides meet nowhere.
std::optional<Quad> outlineOf(const FittedLine (&side)[4]);

// Place k of n spread evenly over the middle 80 % of the side from a to
// b, where measurements keep clear of the corners.
cv::Point2f placeAlong(cv::Point2f a, cv::Point2f b, int k, int n);

// The points within maxScatter of the line.
std::vector<cv::Point2f> pointsNear(const std::vector<cv::Point2f> &points, const FittedLine &line,
                                    float maxScatter);

// The line most points agree with: of the lines through pairs of points
// half the list apart, the one with most points within maxScatter of it.
// Up to half the points may lie elsewhere: on a hand, a pen, a shadow, a
// line of print.  Nothing when no pair is apart.
std::optional<FittedLine> consensus(const std::vector<cv::Point2f> &points, float maxScatter);

} // namespace zq::imaging

#endif
