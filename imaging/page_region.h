// Telling whether the largest bright region of a frame is the page.
#ifndef ZQ_PAGE_REGION_H
#define ZQ_PAGE_REGION_H

#include "quad.h"

#include <opencv2/core/mat.hpp>
#include <opencv2/core/types.hpp>

#include <algorithm>

namespace zq::imaging
{

// The sizes of paper that count as a page in a picture: a shorter side of
// at least a tenth of the picture's, an area from 2 % to less than 90 % of
// the picture's (a sheet filling the view is not a page lying on a desk).
struct PageSizes {
    explicit PageSizes(cv::Size picture)
        : minSide(0.1 * std::min(picture.width, picture.height)), minArea(0.02 * picture.area()),
          maxArea(0.9 * picture.area())
    {
    }
    bool fit(double shorterSide, double area) const
    {
        return shorterSide >= minSide && area >= minArea && area < maxArea;
    }
    double minSide, minArea, maxArea;
};

// The largest bright region of the reduced frame: the area inside its
// outline, the rotated box around it, its convex hull simplified to four
// corners, and the corners where lines fitted along the outline's sides
// meet (a bright thing touching the region at a corner pulls the hull's
// corner out, not the sides).
struct BrightRegion {
    double area;
    cv::RotatedRect box;
    Quad hull;
    Quad corners;
};

enum class PageLikeness {
    None,       // not a page: a light desk, the page with the desk, a hand
    Whole,      // a page lying in view
    CutByFrame, // a page, or part of one, running off one edge of the frame
};

// What the region shows, judged in the smoothed grey frame it was found
// in.  A page fills its box, is brighter than what lies around it along
// its outline, and runs into the frame's border on one side at most.
PageLikeness judgeRegion(const BrightRegion &region, const cv::Mat &gray);

} // namespace zq::imaging

#endif
