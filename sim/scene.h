// Rendered scenes for the virtual camera: a sheet of paper with lines of
// text lying on a darker, textured desk, seen from above.  Everything is
// deterministic, and the page's true corners are known, so tests can
// check document detection and deskewing against them.
#ifndef ZQ_SIM_SCENE_H
#define ZQ_SIM_SCENE_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zq::sim
{

struct PageScene {
    double centerX = 0.5;    // page centre, as a fraction of the frame width
    double centerY = 0.5;    // page centre, as a fraction of the frame height
    double pageWidth = 0.45; // page width, as a fraction of the frame width
    double aspect = 1.414;   // page height / page width (A4 portrait)
    double angleDeg = 0;     // turn of the page, counter-clockwise on screen
    double paper = 230;      // brightness of the paper; 255 and above saturates
    double unevenLight = 0;  // 0..1: light falls off by this fraction from left to right
    bool text = true;        // dark lines of text on the page
    double desk = 70;        // mean brightness of the desk
    // Real text in place of the bars: these UTF-8 lines, drawn from the
    // top left with the font file `font` (the first face of a collection).
    std::vector<std::string> lines;
    std::string font;
    double textSize = 0.03; // em height as a fraction of the page height
};

// Where a word of the real text lies on the upright page, in pixels: the
// box of its ink.  Words are the runs between spaces.
struct WordBox {
    std::string text;
    int line; // index into PageScene::lines
    int left, top, right, bottom;
};

struct Point {
    double x;
    double y;
};

// Corners in frame pixels, in the order top-left, top-right, bottom-right,
// bottom-left of the unturned page.
std::array<Point, 4> pageCorners(const PageScene &scene, int width, int height);

// Renders the scene into an RGB24 picture of width * height * 3 bytes.
void renderScene(const PageScene &scene, int width, int height, uint8_t *rgb);
std::vector<uint8_t> renderScene(const PageScene &scene, int width, int height);

// The page alone, upright, as the camera would see it after perfect
// deskewing: pageWidthPx * pageHeightPx RGB24 pixels.
std::vector<uint8_t> renderPage(const PageScene &scene, int pageWidthPx, int pageHeightPx);

// The words of the scene's real text on that upright page.  Throws
// std::runtime_error when the font cannot be loaded.
std::vector<WordBox> wordBoxes(const PageScene &scene, int pageWidthPx, int pageHeightPx);

} // namespace zq::sim

#endif
