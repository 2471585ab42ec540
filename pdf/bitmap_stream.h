// A bilevel picture as a PDF image: CCITT Group 4 or Flate, whichever is
// smaller.  Group 4 codes the runs of each row by the row above and wins
// on text; Flate wins on fine irregular patterns such as halftone dots.
#ifndef ZQPDF_BITMAP_STREAM_H
#define ZQPDF_BITMAP_STREAM_H

#include "ink_threshold.h"
#include "page_image.h"

namespace zqpdf
{

// How the bitmap is drawn: black ink on white, or as a stencil mask whose
// ink is painted in the current fill colour.
enum class BitmapUse { BlackOnWhite, Stencil };

// Throws ComposeError (ZQPDF_ERR_INTERNAL) when libtiff cannot encode it.
PageImage bitmapImage(const Bitmap &bitmap, BitmapUse use);

} // namespace zqpdf

#endif
