// A font without glyph outlines for invisible text: a Type 0 font whose
// character codes are the text's UTF-16 code units, each mapped to one
// empty glyph half an em wide, with a ToUnicode map that gives the code
// units back.  Any script can be written in it, and nothing of a real
// font needs embedding.
#ifndef ZQPDF_GLYPHLESS_FONT_H
#define ZQPDF_GLYPHLESS_FONT_H

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <string>

namespace zqpdf
{

// Its metrics, in ems.
constexpr double kGlyphlessAdvance = 0.5;
constexpr double kGlyphlessAscent = 0.8;
constexpr double kGlyphlessDescent = -0.2;

// The TrueType program of the one empty glyph (and .notdef).
std::string glyphlessTrueType();

// The font as an indirect object of pdf, ready for a page's resources.
QPDFObjectHandle makeGlyphlessFont(QPDF &pdf);

} // namespace zqpdf

#endif
