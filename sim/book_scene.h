// An open book lying on the desk, seen from above by the scenes' camera:
// two pages curving up from the gutter and down again to the page block,
// with the text printed on them bent along, the shade in the gutter, the
// edges of the pages below and the cover round them.  Everything is
// deterministic, and where each page lies is known, so tests can check the
// flattening of book pages against the page as it was printed.
//
// The camera is the scenes' pinhole: focal length f = 1.2 x the frame
// width, straight above the frame's centre c, the desk appearing 1:1 in
// frame pixels.  A point above desk position X (frame pixels) at the
// height z (the same units) appears at c + (X - c) f / (f - z).
//
// Each page is a surface straight along the spine and curved across it,
// the same curve for the whole page height.  Across, it rises from the
// gutter, 0.01 page widths above the desk, steeply (at most 0.85 height
// per arc length) to `rise` page widths, and droops to the outer edge,
// which rests on the page block 0.03 page widths high (each of the two at
// most the rise; at rise 0 the page lies flat on the desk).  The curve's
// arc length is exactly the page's width, so the printed page lies on it
// undistorted.
#ifndef ZQ_SIM_BOOK_SCENE_H
#define ZQ_SIM_BOOK_SCENE_H

#include "scene.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zq::sim
{

struct BookScene {
    double centerX = 0.5, centerY = 0.5; // the middle of the spine, fractions of the frame
    double pageWidth = 0.36;             // one page's flat width, a fraction of the frame width
    double aspect = 1.5;                 // page height / page width
    double angleDeg = 0;                 // the book turned on the desk, counter-clockwise on screen
    double rise = 0.10; // the page surface's highest point above the desk, a fraction of
                        // the page width; 0 (flat) to 0.18
    double paper = 225; // paper brightness
    double desk = 60;
    Desk deskKind = Desk::Mat; // a dark desk, as sceneOnDesk(Desk::Mat)
    bool gutterShadow = true;  // the shade deepening towards the gutter, to 0.55 at its line
    int stackedEdges = 10;     // edges of the pages below, fine lines beside the outer edges
    bool cover = true;         // the cover showing a few millimetres round the page block
    bool fingers = false;      // thumbs holding the pages down at their outer margins
    // No book: two flat sheets side by side, a gap of 3 % of the frame
    // width between them; no curve, gutter shade, page edges or cover.
    bool twoSheets = false;
    // The right page alone, curved as in the book, without the left page,
    // the pages below and the cover: a photograph of one curved page.
    bool singlePage = false;
    // The left and the right page's text (UTF-8 lines) drawn with `font`
    // (the first face of a collection); none: bars as in PageScene.
    std::array<std::vector<std::string>, 2> lines;
    std::string font;
    double textSize = 0.022; // em height as a fraction of the page height
    double noise = 0;        // sensor noise: its standard deviation in grey levels
    uint32_t noiseSeed = 0;
};

// Renders the book into an RGB24 picture of width * height * 3 bytes.
void renderBook(const BookScene &book, int width, int height, uint8_t *rgb);
std::vector<uint8_t> renderBook(const BookScene &book, int width, int height);

// The page as printed, flat and upright (side 0 the left page, 1 the
// right), exactly the picture that lies on the curved page:
// pageWidthPx * pageHeightPx RGB24 pixels.
std::vector<uint8_t> renderBookPage(const BookScene &book, int side, int pageWidthPx,
                                    int pageHeightPx);
// The words of that page's text on it.  Throws std::runtime_error when the
// font cannot be loaded.
std::vector<WordBox> bookWordBoxes(const BookScene &book, int side, int pageWidthPx,
                                   int pageHeightPx);

// Where the page's outline appears in the frame, as a closed polygon in
// frame pixels: the top edge at 48 equal steps of arc length from the
// gutter outwards, the outer edge downwards, the bottom edge back to the
// gutter at the same steps; 120 points.  Empty for the left page of a
// single page.
std::vector<Point> bookPageOutline(const BookScene &book, int side, int width, int height);

// Some lines of English prose, at most 40 characters long, different for
// every page number: real words, for text recognition to read.
std::vector<std::string> bookText(int pageNumber, int lines);

} // namespace zq::sim

#endif
