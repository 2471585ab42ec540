// The invisible text over a page picture: the recognised words in the
// glyphless font, in text render mode 3 (neither filled nor stroked), each
// stretched over the place its word has in the picture, so that a viewer
// finds, highlights and copies it there.
#ifndef ZQPDF_TEXT_LAYER_H
#define ZQPDF_TEXT_LAYER_H

#include "recogniser.h"

#include <string>

namespace zqpdf
{

// The font resource name the text uses.
extern const char kTextFontResource[];

// The page's words as a content stream fragment in picture pixel units
// with the origin at the picture's bottom left (the page maps them onto
// itself); empty for a page without words.
std::string textLayerContent(const RecognisedPage &page);

} // namespace zqpdf

#endif
