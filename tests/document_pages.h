// Document pages for the compact-page tests and the PDF comparison: text
// in real type, what else lies on paper (a stamp, a photograph, a
// highlighted line), and what a document camera adds to it all.
#ifndef ZQ_TESTS_DOCUMENT_PAGES_H
#define ZQ_TESTS_DOCUMENT_PAGES_H

#include "picture_files.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zq::test
{

// Type sizes as the em height's share of an A4 page's height: body text of
// about 10 points, small print of about 7, Chinese body text of 10.5 (the
// size called 五号).
constexpr double kBodyType = 0.012;
constexpr double kSmallType = 0.008;
constexpr double kChineseType = 0.0125;

struct Box {
    int left, top, right, bottom;
};

// Lines set in one size of type.
struct TextBlock {
    std::vector<std::string> lines;
    double size; // em height as a share of the page's height
};

// A page, what it says, and where.
struct DocumentPage {
    Picture picture;
    std::vector<std::string> lines; // every block's lines, top to bottom
    std::vector<Box> lineBoxes;     // the ink of each of those lines
    std::string languages;          // Tesseract's for its text
};

// A sheet of paper with the blocks printed one below another from the top
// margin, a blank line between them, in the Chinese font the tests use.
DocumentPage printedPage(int width, int height, const std::vector<TextBlock> &blocks,
                         const std::string &languages);

// Lines of prose from a fixed text, a letter about a library's new wing,
// wrapped to fill the width of an A4 page in that type.
std::vector<std::string> englishProse(int lines, double size);
std::vector<std::string> chineseProse(int lines, double size);
// The terms and conditions of a shop.
std::vector<std::string> smallPrint(int lines, double size);

// A stamp's dark red ring, filling a square box.
constexpr std::array<uint8_t, 3> kStampRed = {150, 25, 35};
void stamp(Picture &page, const Box &box);
// The middle of the ring's width, as a distance from the box's centre.
double stampRingRadius(const Box &box);
// A photograph filling the box: hues across, darker downwards.
void pastePhotograph(Picture &page, const Box &box);
// A yellow highlighter's stroke over the box: it darkens what it covers,
// ink and paper alike, as transparent ink does.
void highlight(Picture &page, const Box &box);
// The box of a line of text with a highlighter's margin round it.
Box highlighterStroke(const Box &line);

// What a document camera adds: light falling off from one corner of the
// page to the opposite one by `lightFalloff`, and sensor noise of that
// standard deviation in grey levels.
struct CameraLook {
    double lightFalloff = 0.25;
    double noise = 3;
    uint32_t seed = 1;
};
void photographed(Picture &page, const CameraLook &look);

} // namespace zq::test

#endif
