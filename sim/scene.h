// Rendered scenes for the virtual camera: a sheet of paper with lines of
// text lying on a desk, seen from above, with what else lies about on a
// desk and what a real camera adds (shadows, noise, a head that is not
// quite vertical).  Everything is deterministic, and the page's true
// corners are known, so tests can check document detection and deskewing
// against them.
#ifndef ZQ_SIM_SCENE_H
#define ZQ_SIM_SCENE_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zq::sim
{

enum class Desk {
    Mat,        // a finely textured brown mat; dark at the default brightness
    GreyMat,    // a neutral grey mat
    LightWood,  // light wood with its grain
    WhiteTable, // a smooth white table top
};

// What lies on the desk besides the page, as bit flags.
enum Clutter : unsigned {
    kPen = 1u << 0,         // a pen lying across the page's right edge
    kMouse = 1u << 1,       // a dark mouse right of the page, its cable running off the top
    kSecondSheet = 1u << 2, // another sheet, cut by the left edge of the frame
    kHand = 1u << 3,        // a hand reaching over the page's bottom edge
    kCable = 1u << 4,       // a dark cable curving across the whole frame, over the page
    kMarkers = 1u << 5,     // two thick markers with caps, one on the page, one across its edge
    kSheetsBelow = 1u << 6, // two sheets under the page, showing a few millimetres beside it
    kHoldingHand = 1u << 7, // a hand holding the page's left edge, the thumb on the page
    kMug = 1u << 8,         // a mug seen from above, left of the page
};

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
    Desk deskKind = Desk::Mat;
    bool withPage = true;      // false: the page taken away, all else left where it lay
    unsigned clutter = 0;      // Clutter flags
    double shadow = 0;         // 0..1: depth of a soft shadow falling across the top left
    double armShadow = 0;      // 0..1: depth of the camera arm's hard-edged shadow across the frame
    bool magazine = false;     // a glossy magazine page: pictures out to its edges, a highlight
    bool printedFrame = false; // a ruled frame printed round the page, 4 % of its width in
    double noise = 0;          // sensor noise: its standard deviation in grey levels
    uint32_t noiseSeed = 0;    // another seed gives another frame of the same scene
    double tiltDeg = 0;        // the camera head leans this far: the page looks trapezoidal
    double tiltAxisDeg = 0;    // towards this side of the picture, counter-clockwise from the top
                               // (90: the left side), which comes nearer and looks larger
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

// A page of the given width (a fraction of the frame's) turned by angleDeg
// about its centre at (centerX, centerY); all else as a PageScene has it.
PageScene pageAt(double centerX, double centerY, double width, double angleDeg);

// A page on a desk of that kind, with the desk's and the paper's usual
// brightness: on a white table the paper is the darker of the two.
PageScene sceneOnDesk(Desk kind);

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
