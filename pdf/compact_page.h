// Compact pages: a page encoded anew after what it holds, much smaller
// than its picture and with its text as sharp.
#ifndef ZQPDF_COMPACT_PAGE_H
#define ZQPDF_COMPACT_PAGE_H

#include "page_image.h"

#include <string>

namespace zqpdf
{

// The page of the picture at path, opened as `original`: black-and-white
// pages as a bilevel picture of the ink at the full resolution; pages with
// colour as mixed raster content, a colour picture at a third of the
// resolution with the dark ink drawn over it at the full resolution; the
// original where neither would be smaller, or where the picture has fewer
// than 100 pixels per inch on its page (pixelsPerInch): there the strokes
// of body text are a pixel or two wide, and only the picture's shades of
// grey keep them readable.  Throws ComposeError.
PageLayers compactPage(const PageImage &original, const std::string &path, double pixelsPerInch);

} // namespace zqpdf

#endif
