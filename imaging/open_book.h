// An open book under the camera: its spread of two facing pages, each
// traced along its curved top and bottom edges, split at the gutter; or a
// single page lying alone.
#ifndef ZQ_OPEN_BOOK_H
#define ZQ_OPEN_BOOK_H

#include "curved_page.h"

#include <opencv2/core/mat.hpp>

#include <optional>
#include <vector>

namespace zq::imaging
{

struct OpenBook {
    std::vector<CurvedPage> pages; // left to right on screen: a spread's two, or one page
};

// Looks for the book in an RGB24 frame, the spine within 45 degrees of
// upright: the paper's bright region on a darker desk, the gutter as the
// shaded line across its middle, and the edges of each page measured on
// the whole frame along its rulings.  Nothing when no page is in view.
// alreadyReduced says by how much the caller reduced the camera's frame.
std::optional<OpenBook> findOpenBook(const cv::Mat &frame, int alreadyReduced = 1);

} // namespace zq::imaging

#endif
