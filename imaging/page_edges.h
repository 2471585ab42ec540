// Finding the page by its edges and its shape, for desks as light as the
// paper, where brightness alone cannot tell the two apart.
#ifndef ZQ_PAGE_EDGES_H
#define ZQ_PAGE_EDGES_H

#include "quad.h"

#include <opencv2/core/mat.hpp>

#include <optional>

namespace zq::imaging
{

// The outline of the page in a small, smoothed colour picture (a few
// hundred pixels across): four straight edges, each seen along most of
// its length, meeting nearly at right angles, enclosing paper that stands
// out from what lies around it, all in view and covering less than 90 %
// of the picture.  Nothing when no such outline is there.
std::optional<Quad> findPageByEdges(const cv::Mat &colour);

} // namespace zq::imaging

#endif
