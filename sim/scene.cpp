#include "scene.h"
#include "scene_parts.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace zq::sim
{
using namespace parts;

namespace
{

constexpr double kInk = 0.15;           // brightness of the darkest writing, paper = 1
constexpr double kMargin = 0.1;         // left and top margin of real text, page fractions
constexpr double kLineSpacingEms = 1.8; // baseline to baseline

// The usual brightness of each desk and of the paper lying on it.
struct DeskLook {
    Desk kind;
    double desk;
    double paper;
};
constexpr DeskLook kDeskLooks[] = {
    {Desk::Mat, 70, 230},
    {Desk::GreyMat, 120, 230},
    {Desk::LightWood, 178, 235},
    {Desk::WhiteTable, 236, 222},
};

struct Rotated {
    double cx, cy;       // centre in pixels
    double halfW, halfH; // half sizes in pixels
    double cosA, sinA;

    // Frame point of the rectangle's coordinates u, v in 0..1 (0,0
    // top-left), turned counter-clockwise on screen, where y grows
    // downwards.
    Point at(double u, double v) const
    {
        const double dx = (2 * u - 1) * halfW, dy = (2 * v - 1) * halfH;
        return {cx + dx * cosA + dy * sinA, cy - dx * sinA + dy * cosA};
    }
    // The directions of its sides on screen: along the top and down the
    // left side.
    Point across() const { return {cosA, -sinA}; }
    Point down() const { return {sinA, cosA}; }
    // How far p lies outside the rectangle; 0 inside.
    double distanceOutside(Point p) const
    {
        const double dx = p.x - cx, dy = p.y - cy;
        const double beyondX = std::max(std::fabs(dx * cosA - dy * sinA) - halfW, 0.0);
        const double beyondY = std::max(std::fabs(dx * sinA + dy * cosA) - halfH, 0.0);
        return std::hypot(beyondX, beyondY);
    }
    // Back into the rectangle's coordinates; false outside it.
    bool contains(Point p, double &u, double &v) const
    {
        const double dx = p.x - cx, dy = p.y - cy;
        const double px = dx * cosA - dy * sinA;
        const double py = dx * sinA + dy * cosA;
        if (std::fabs(px) > halfW || std::fabs(py) > halfH)
            return false;
        u = (px + halfW) / (2 * halfW);
        v = (py + halfH) / (2 * halfH);
        return true;
    }
};

Rotated rotated(double cx, double cy, double w, double h, double angleDeg)
{
    const double a = angleDeg * kPi / 180.0;
    return {cx, cy, w / 2, h / 2, std::cos(a), std::sin(a)};
}

Rotated pageFrame(const PageScene &s, int width, int height)
{
    const double pw = s.pageWidth * width;
    return rotated(s.centerX * width, s.centerY * height, pw, pw * s.aspect, s.angleDeg);
}

// The camera head leaning by tiltDeg towards tiltAxisDeg, turned round the
// middle of the desk so that it stays in the middle of the picture: a
// pinhole camera whose axis meets the desk at that angle from the
// vertical.  Where a point of the desk, as the upright camera sees it,
// appears, and back.
class Lean
{
  public:
    Lean(const PageScene &s, int width, int height)
        : f_(kFocalLength * width), cx_(width / 2.0), cy_(height / 2.0),
          t_(std::tan(s.tiltDeg * kPi / 180.0)), awayX_(std::sin(s.tiltAxisDeg * kPi / 180.0)),
          awayY_(std::cos(s.tiltAxisDeg * kPi / 180.0)),
          // Seen upright, the leaning desk is shorter along the lean.
          foreshortening_(std::cos(s.tiltDeg * kPi / 180.0))
    {
    }

    Point seen(Point desk) const
    {
        const Point upright = alongLean({desk.x - cx_, desk.y - cy_}, foreshortening_);
        const double x = upright.x / f_, y = upright.y / f_;
        const double w = 1 + t_ * away(x, y);
        return {cx_ + f_ * x / w, cy_ + f_ * y / w};
    }

    Point onDesk(Point seen) const
    {
        const double x = (seen.x - cx_) / f_, y = (seen.y - cy_) / f_;
        const double w = 1 - t_ * away(x, y);
        const Point desk = alongLean({f_ * x / w, f_ * y / w}, 1 / foreshortening_);
        return {cx_ + desk.x, cy_ + desk.y};
    }

  private:
    // How far towards the side that falls away from the camera.
    double away(double x, double y) const { return x * awayX_ + y * awayY_; }

    // An offset from the middle with its part along the lean scaled by
    // factor.
    Point alongLean(Point offset, double factor) const
    {
        const double stretch = (factor - 1) * away(offset.x, offset.y);
        return {offset.x + stretch * awayX_, offset.y + stretch * awayY_};
    }

    double f_, cx_, cy_, t_;
    double awayX_, awayY_; // on screen, the direction in which the desk falls away
    double foreshortening_;
};

// Brightness of the page at page coordinates u, v in 0..1 (0,0 top-left).
double pageInk(const PageScene &s, double u, double v)
{
    if (!s.text || u < 0.1 || u > 0.9 || v < 0.08 || v > 0.92)
        return 1.0;
    const double line = v * 40.0;
    const int lineNo = static_cast<int>(line);
    if (line - lineNo > 0.45)
        return 1.0;
    const int word = static_cast<int>(u * 18.0);
    if (hash(word, lineNo) % 5 == 0)
        return 1.0; // gap between words
    if (lineNo % 9 == 8 && u > 0.55)
        return 1.0; // short last line of a paragraph
    return kInk;
}

// Unicode code points of a UTF-8 text; a malformed byte stands for itself.
std::vector<char32_t> codePoints(const std::string &utf8)
{
    std::vector<char32_t> out;
    for (size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : 4;
        char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
        int n = 1;
        for (; n < length && i + n < utf8.size(); ++n)
            cp = cp << 6 | (static_cast<unsigned char>(utf8[i + n]) & 0x3F);
        out.push_back(cp);
        i += n;
    }
    return out;
}

struct LibraryCloser {
    void operator()(FT_Library l) const { FT_Done_FreeType(l); }
};
struct FaceCloser {
    void operator()(FT_Face f) const { FT_Done_Face(f); }
};

// The scene's real text rasterised on the upright page: ink coverage per
// pixel, and the words' boxes.
class TextRaster
{
  public:
    TextRaster(const PageScene &s, int width, int height)
        : width_(width), height_(height), coverage_(size_t(width) * height)
    {
        if (s.lines.empty())
            return;
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library))
            throw std::runtime_error("cannot start FreeType");
        std::unique_ptr<FT_LibraryRec_, LibraryCloser> libraryOwner(library);
        FT_Face face = nullptr;
        if (FT_New_Face(library, s.font.c_str(), 0, &face))
            throw std::runtime_error("cannot load the font " + s.font);
        std::unique_ptr<FT_FaceRec_, FaceCloser> faceOwner(face);
        const int em = std::max(1, int(std::lround(s.textSize * height)));
        FT_Set_Pixel_Sizes(face, 0, em);
        const int ascender = int(face->size->metrics.ascender >> 6);
        for (size_t line = 0; line < s.lines.size(); ++line) {
            const int baseline = int(kMargin * height + line * kLineSpacingEms * em) + ascender;
            drawLine(face, s.lines[line], int(line), int(kMargin * width), baseline);
        }
    }

    const std::vector<WordBox> &words() const { return words_; }

    // 0 (paper) to 1 (full ink) at pixel x, y; 0 outside the page.
    double coverage(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return 0;
        return coverage_[size_t(y) * width_ + x] / 255.0;
    }

  private:
    void drawLine(FT_Face face, const std::string &text, int line, int x, int baseline)
    {
        WordBox word{};
        const auto endWord = [&] {
            if (!word.text.empty())
                words_.push_back(word);
            word = WordBox{};
        };
        for (char32_t cp : codePoints(text)) {
            if (FT_Load_Char(face, cp, FT_LOAD_RENDER))
                continue;
            const FT_GlyphSlot glyph = face->glyph;
            if (cp == U' ') {
                endWord();
            } else {
                const int left = x + glyph->bitmap_left;
                const int top = baseline - glyph->bitmap_top;
                blit(glyph->bitmap, left, top);
                const int right = left + int(glyph->bitmap.width);
                const int bottom = top + int(glyph->bitmap.rows);
                if (word.text.empty())
                    word = {{}, line, left, top, right, bottom};
                word.text += utf8(cp);
                word.left = std::min(word.left, left);
                word.top = std::min(word.top, top);
                word.right = std::max(word.right, right);
                word.bottom = std::max(word.bottom, bottom);
            }
            x += int(glyph->advance.x >> 6);
        }
        endWord();
    }

    void blit(const FT_Bitmap &bitmap, int left, int top)
    {
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int y = top + int(row);
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int x = left + int(col);
                if (x < 0 || y < 0 || x >= width_ || y >= height_)
                    continue;
                uint8_t &c = coverage_[size_t(y) * width_ + x];
                c = std::max(c, bitmap.buffer[row * bitmap.pitch + col]);
            }
        }
    }

    static std::string utf8(char32_t cp)
    {
        std::string out;
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | cp >> 6);
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | cp >> 12);
            out += char(0x80 | (cp >> 6 & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | cp >> 18);
            out += char(0x80 | (cp >> 12 & 0x3F));
            out += char(0x80 | (cp >> 6 & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
        return out;
    }

    int width_;
    int height_;
    std::vector<uint8_t> coverage_;
    std::vector<WordBox> words_;
};

// The brightness of the page's writing (1 on bare paper): the bars, or the
// real text rasterised at the page's size in pixels.
class PageWriting
{
  public:
    PageWriting(const PageScene &s, int pageWidthPx, int pageHeightPx)
        : scene_(s), raster_(s, pageWidthPx, pageHeightPx), width_(pageWidthPx),
          height_(pageHeightPx)
    {
    }

    // At page coordinates u, v in 0..1, sampled between pixel centres.
    double brightness(double u, double v) const
    {
        if (scene_.lines.empty())
            return pageInk(scene_, u, v);
        const double x = u * width_ - 0.5, y = v * height_ - 0.5;
        const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
        const double fx = x - x0, fy = y - y0;
        const double ink =
            (raster_.coverage(x0, y0) * (1 - fx) + raster_.coverage(x0 + 1, y0) * fx) * (1 - fy) +
            (raster_.coverage(x0, y0 + 1) * (1 - fx) + raster_.coverage(x0 + 1, y0 + 1) * fx) * fy;
        return 1.0 - ink * (1.0 - kInk);
    }

  private:
    const PageScene &scene_;
    TextRaster raster_;
    int width_;
    int height_;
};

// A glossy magazine page: a photograph across the top running off three
// edges, dark hills on a sky, an advertisement in the bottom right corner
// running off two, and the writing in between.
Surface magazineAt(const PageScene &s, const PageWriting &writing, double u, double v)
{
    constexpr double kPhotoBottom = 0.42;
    const double horizon = 0.3 + 0.04 * std::sin(9 * u) + 0.02 * std::sin(23 * u + 1);
    if (v < horizon)
        return {s.paper * (0.55 + 0.3 * v / horizon), {0.75, 0.88, 1.1}};
    if (v < kPhotoBottom)
        return {s.paper * (0.22 - 0.1 * (v - horizon) / (kPhotoBottom - horizon)),
                {0.8, 1.0, 0.75}};
    if (u > 0.55 && v > 0.72)
        return {s.paper * (0.1 + 0.25 * (1 - v) + 0.1 * (u - 0.55)), {1.25, 0.65, 0.6}};
    return {s.paper * writing.brightness(u, v), kPaperTint};
}

// Whether page coordinates u, v lie on a ruled frame printed round the
// page, as forms and certificates have.
bool onPrintedFrame(double u, double v, double aspect)
{
    constexpr double kInset = 0.04, kRule = 0.004; // of the page's width
    const double x = std::min(u, 1 - u), y = std::min(v, 1 - v) * aspect;
    const double nearest = std::min(x, y);
    return nearest >= kInset && nearest <= kInset + kRule;
}

// What the page shows at page coordinates u, v in 0..1, before light.
Surface pageSurface(const PageScene &s, const PageWriting &writing, double u, double v)
{
    if (s.magazine)
        return magazineAt(s, writing, u, v);
    if (s.printedFrame && onPrintedFrame(u, v, s.aspect))
        return {s.paper * kInk, kPaperTint};
    return {s.paper * writing.brightness(u, v), kPaperTint};
}

// The share of white that the light's reflection on a glossy page adds:
// a band slanting across it.
double glossAt(double u, double v)
{
    const double across = std::fabs(u + 0.5 * v - 0.75) / 0.06;
    return 0.55 * smoothstep(1 - across);
}

// A round thing lying on its side, lit from above: brightest along the
// middle, darker towards its flanks.
bool roundPartAt(const Capsule &part, Tint colour, Point q, Surface &surface)
{
    if (!part.contains(q))
        return false;
    const double flank = segmentDistance2(q, part.a, part.b) / (part.radius * part.radius);
    surface = {1.1 - 0.5 * flank, colour};
    return true;
}

// A marker: a thick barrel with a cap over one end.
struct Marker {
    Capsule barrel, cap;
    Tint barrelColour, capColour;

    Marker(Point centre, Point direction, double length, double radius, Tint barrelColour,
           Tint capColour)
        : barrel{offset(centre, direction, -length / 2), offset(centre, direction, length / 2),
                 radius},
          cap{offset(centre, direction, 0.2 * length), offset(centre, direction, 0.53 * length),
              1.12 * radius},
          barrelColour(barrelColour), capColour(capColour)
    {
    }

    bool at(Point q, Surface &surface) const
    {
        return roundPartAt(cap, capColour, q, surface) ||
               roundPartAt(barrel, barrelColour, q, surface);
    }
};

// A cable's course: at the distance "along" it, its centre line lies at
// centre + amplitude sin(k along + phase) + drift along "across" it.
struct Wave {
    double centre, amplitude, k, phase, drift;

    bool covers(double along, double across, double radius) const
    {
        const double middle = centre + amplitude * std::sin(along * k + phase) + drift * along;
        const double slope = amplitude * k * std::cos(along * k + phase) + drift;
        // Measured across the course, the cable is wider where it runs slanted.
        return std::fabs(across - middle) <= radius * std::sqrt(1 + slope * slope);
    }
};

// A mug seen from straight above: its rim, the inside wall, the coffee,
// and the handle on the right.
struct Mug {
    Point centre;
    double radius;

    bool at(Point q, Surface &surface) const
    {
        const double r = std::hypot(q.x - centre.x, q.y - centre.y) / radius;
        if (r <= 1) {
            if (r > 0.86)
                surface = {1.0, {236, 232, 222}}; // the glazed rim
            else if (r > 0.72)                    // the inside wall, lit on the far side
                surface = {0.6 + 0.25 * (q.x - centre.x) / radius, {225, 220, 210}};
            else
                surface = {1.0, {62, 40, 28}};
            return true;
        }
        const Point handle = {centre.x + 1.05 * radius, centre.y};
        const double h = std::hypot(q.x - handle.x, q.y - handle.y) / radius;
        if (q.x > centre.x + radius && h > 0.2 && h < 0.36) {
            surface = {0.9, {236, 232, 222}};
            return true;
        }
        return false;
    }
};

// direction turned by degrees counter-clockwise on screen.
Point turnedFrom(Point direction, double degrees)
{
    const double a = std::atan2(direction.y, direction.x) - degrees * kPi / 180;
    return {std::cos(a), std::sin(a)};
}

// Left of the page, level with its upper part, inside the frame.
Point mugPlace(const Rotated &page, int width)
{
    double left = page.cx;
    for (double u : {0.0, 1.0})
        for (double v : {0.0, 1.0})
            left = std::min(left, page.at(u, v).x);
    return {std::max(left - 0.13 * width, 0.06 * width), page.cy - 0.5 * page.halfH};
}

// A sheet like the page under it, shifted by the fractions of the page's
// width across and down it, and turned by degrees.
Rotated sheetBelow(const Rotated &page, double pageDeg, double across, double down, double degrees)
{
    const double shift = 2 * page.halfW;
    const Point c = offset(offset({page.cx, page.cy}, page.across(), across * shift), page.down(),
                           down * shift);
    return rotated(c.x, c.y, 2 * page.halfW, 2 * page.halfH, pageDeg + degrees);
}

// Everything a pixel may show, laid out once per frame.
class Shader
{
  public:
    Shader(const PageScene &s, int width, int height);
    void shade(int x, int y, uint8_t *rgb) const;

  private:
    bool clutterAt(Point q, Surface &surface) const;
    bool reachingHandAt(Point q) const;
    bool mouseAt(Point q, Surface &surface) const;
    bool belowPageAt(Point q, Surface &surface) const;
    double shadowAt(Point q) const;
    double armShadowAt(Point q) const;

    const PageScene &s_;
    int width_, height_;
    Lean lean_;
    Rotated page_, sheet_;
    PageWriting writing_;
    Capsule pen_, arm_, fingers_[4];
    Point mouse_, palm_;
    double mouseRx_, mouseRy_, cableRadius_, palmRx_, palmRy_;
    Wave mouseCable_, deskCable_;
    Marker markers_[2];
    Mug mug_;
    HoldingHand holdingHand_;
    Rotated sheetsBelow_[2];
};

Shader::Shader(const PageScene &s, int width, int height)
    : s_(s), width_(width), height_(height), lean_(s, width, height),
      page_(pageFrame(s, width, height)),
      writing_(s, int(std::lround(2 * page_.halfW)), int(std::lround(2 * page_.halfH))),
      // One marker lies on the page, the other across its left edge.
      markers_{{page_.at(0.55, 0.3),
                turnedFrom(page_.across(), 20),
                0.15 * width,
                0.011 * width,
                {230, 200, 60},
                {235, 140, 30}},
               {page_.at(0.0, 0.78),
                turnedFrom(page_.across(), -35),
                0.15 * width,
                0.012 * width,
                {40, 140, 80},
                {20, 80, 45}}},
      mug_{mugPlace(page_, width), 0.05 * width},
      holdingHand_(page_.at(0, 0.55), page_.across(), page_.down(), width),
      // Two sheets a few millimetres out beside the page, turned a little.
      sheetsBelow_{sheetBelow(page_, s.angleDeg, 0.02, 0.03, 0.8),
                   sheetBelow(page_, s.angleDeg, -0.025, 0.015, -1.0)}
{
    const double w = width;
    sheet_ = rotated(-0.06 * w, 0.38 * height, 0.34 * w, 0.48 * w, -6);

    // The pen crosses the right edge, a third of it over the page.
    const Point edge = page_.at(1.0, 0.62);
    const double along = std::atan2(-page_.sinA, page_.cosA) + 25 * kPi / 180;
    const double length = 0.2 * w;
    const Point dir = {std::cos(along), std::sin(along)};
    pen_ = {{edge.x - 0.35 * length * dir.x, edge.y - 0.35 * length * dir.y},
            {edge.x + 0.65 * length * dir.x, edge.y + 0.65 * length * dir.y},
            0.0055 * w};

    double right = 0;
    for (double u : {0.0, 1.0})
        for (double v : {0.0, 1.0})
            right = std::max(right, page_.at(u, v).x);
    mouseRx_ = 0.04 * w;
    mouseRy_ = 0.065 * w;
    mouse_ = {std::min(right + 0.09 * w, w - 1.5 * mouseRx_), page_.cy + 0.1 * height};
    cableRadius_ = 0.0025 * w;
    mouseCable_ = {mouse_.x, 0.03 * w, kPi / (0.08 * w), 0, 0};
    // A cable from one side of the frame to the other, below the middle
    // of the page, rising to the right.
    const double cableK = 2 * kPi / (0.6 * w), cableDrift = -0.12;
    deskCable_ = {page_.cy + 0.3 * page_.halfH - cableDrift * page_.cx, 0.05 * height, cableK,
                  -cableK * page_.cx, cableDrift};

    // The fingertips lie on the page, the arm runs off the bottom.
    const Point tip = page_.at(0.3, 1.0);
    palm_ = {tip.x, tip.y + 0.06 * w};
    palmRx_ = 0.055 * w;
    palmRy_ = 0.06 * w;
    arm_ = {palm_, {palm_.x + 0.02 * w, height + 0.3 * w}, 0.045 * w};
    const double fingerX[4] = {-0.036, -0.012, 0.012, 0.036};
    const double fingerLength[4] = {0.075, 0.095, 0.09, 0.07};
    for (int i = 0; i < 4; ++i) {
        const Point base = {palm_.x + fingerX[i] * w, palm_.y - 0.02 * w};
        fingers_[i] = {
            base, {base.x + 0.2 * fingerX[i] * w, base.y - fingerLength[i] * w}, 0.012 * w};
    }
}

// The objects lying on top of the page and the desk.
bool Shader::clutterAt(Point q, Surface &surface) const
{
    const unsigned c = s_.clutter;
    if (((c & kHand) && reachingHandAt(q)) || ((c & kHoldingHand) && holdingHand_.onTopAt(q))) {
        surface = {1.0, kSkin};
        return true;
    }
    if ((c & kPen) && pen_.contains(q)) {
        // A highlight runs along the middle of the barrel.
        const bool highlight =
            segmentDistance2(q, pen_.a, pen_.b) < 0.09 * pen_.radius * pen_.radius;
        surface = highlight ? Surface{1.0, {90, 100, 170}} : Surface{1.0, {30, 40, 115}};
        return true;
    }
    if ((c & kMarkers) && (markers_[0].at(q, surface) || markers_[1].at(q, surface)))
        return true;
    if ((c & kMouse) && mouseAt(q, surface))
        return true;
    if ((c & kMug) && mug_.at(q, surface))
        return true;
    if ((c & kCable) && deskCable_.covers(q.x, q.y, cableRadius_)) {
        surface = {30, {1.0, 1.0, 1.0}};
        return true;
    }
    return false;
}

// A hand reaching over the page's bottom edge from below.
bool Shader::reachingHandAt(Point q) const
{
    bool hand = arm_.contains(q) || ellipse(q, palm_, palmRx_, palmRy_) <= 1;
    for (const Capsule &finger : fingers_)
        hand = hand || finger.contains(q);
    return hand;
}

bool Shader::mouseAt(Point q, Surface &surface) const
{
    const double d = ellipse(q, mouse_, mouseRx_, mouseRy_);
    if (d <= 1) {
        surface = {48 - 14 * d, {1.0, 1.0, 1.05}};
        return true;
    }
    // The cable leaves the mouse's top and snakes up off the frame.
    const double top = mouse_.y - mouseRy_;
    if (q.y < top && std::fabs(q.x - mouse_.x) < 0.04 * width_ &&
        mouseCable_.covers(top - q.y, q.x, cableRadius_)) {
        surface = {30, {1.0, 1.0, 1.0}};
        return true;
    }
    return false;
}

// What lies under the page and shows beside it.
bool Shader::belowPageAt(Point q, Surface &surface) const
{
    if ((s_.clutter & kHoldingHand) && holdingHand_.belowAt(q)) {
        surface = {1.0, kSkin};
        return true;
    }
    if ((s_.clutter & kSheetsBelow) &&
        (sheetsBelow_[0].distanceOutside(q) == 0 || sheetsBelow_[1].distanceOutside(q) == 0)) {
        // The page's edge casts a faint shadow line on them.
        const double shade =
            s_.withPage ? 0.12 * (1 - smoothstep(page_.distanceOutside(q) / (0.003 * width_))) : 0;
        surface = {s_.paper * 0.97 * (1 - shade), kPaperTint};
        return true;
    }
    return false;
}

// A soft shadow, as a lamp or the camera arm casts one: a wide penumbra
// from the top left towards the middle.
double Shader::shadowAt(Point q) const
{
    const double t = q.x / width_ + 0.6 * q.y / height_;
    return 1.0 - s_.shadow * smoothstep((0.55 - t) / 0.25 + 0.5);
}

// The camera arm's shadow: a band with fairly hard edges slanting down
// across the page and the desk.
double Shader::armShadowAt(Point q) const
{
    const double slant = 70 * kPi / 180;
    const double fromMiddle = std::fabs((q.x - page_.cx - 0.05 * width_) * -std::sin(slant) +
                                        (q.y - page_.cy) * std::cos(slant));
    const double halfWidth = 0.035 * width_, penumbra = 0.012 * width_;
    return 1.0 - s_.armShadow * smoothstep((halfWidth - fromMiddle) / penumbra + 0.5);
}

void Shader::shade(int x, int y, uint8_t *rgb) const
{
    Point q = {x + 0.5, y + 0.5};
    if (s_.tiltDeg != 0)
        q = lean_.onDesk(q);
    double light = 1.0 - s_.unevenLight * x / std::max(1, width_ - 1);
    if (s_.shadow > 0)
        light *= shadowAt(q);
    if (s_.armShadow > 0)
        light *= armShadowAt(q);

    Surface surface;
    double u, v, gloss = 0;
    if (clutterAt(q, surface)) {
    } else if (s_.withPage && page_.contains(q, u, v)) {
        surface = pageSurface(s_, writing_, u, v);
        if (s_.magazine)
            gloss = glossAt(u, v);
    } else if (belowPageAt(q, surface)) {
    } else if ((s_.clutter & kSecondSheet) && sheet_.contains(q, u, v)) {
        surface = {s_.paper * pageInk(s_, u, v), kPaperTint};
    } else {
        surface = deskSurface(s_.deskKind, s_.desk, q, x, y, width_);
    }
    const double value = surface.value * light;
    double channel[3] = {value * surface.tint.r, value * surface.tint.g, value * surface.tint.b};
    if (gloss > 0)
        for (double &c : channel)
            c += (255 - c) * gloss;
    storePixel(channel, s_.noise, s_.noiseSeed, x, y, rgb);
}

} // namespace

namespace parts
{

Surface deskSurface(Desk kind, double brightness, Point q, int x, int y, int width)
{
    switch (kind) {
    case Desk::Mat: {
        const double grain = int(hash(x / 3, y / 3) % 21) - 10;
        return {brightness + grain, {1.15, 0.9, 0.7}};
    }
    case Desk::GreyMat:
        return {brightness + int(hash(x / 2, y / 2) % 13) - 6, {1.0, 1.0, 1.03}};
    case Desk::LightWood: {
        // Streaks along the board that wander a little, a few darker
        // late-wood lines, and the fine texture of the surface.
        const double u = q.x / width, v = q.y / width;
        const double phase = v * 55 + 2.0 * std::sin(u * 7 + 1.3) +
                             0.8 * std::sin(u * 19 + v * 11) + 0.3 * std::sin(u * 53 + v * 29);
        double grain = 7 * std::sin(2 * kPi * phase) + 4 * std::sin(2 * kPi * 2.7 * phase + 1) +
                       int(hash(x, y) % 7) - 3;
        if (phase * 0.37 - std::floor(phase * 0.37) < 0.05)
            grain -= 14;
        return {brightness + grain, {1.12, 0.93, 0.7}};
    }
    case Desk::WhiteTable:
        return {brightness + int(hash(x, y) % 5) - 2, {0.995, 1.0, 1.012}};
    }
    return {brightness, {1, 1, 1}};
}

void storePixel(const double channel[3], double noise, uint32_t noiseSeed, int x, int y,
                uint8_t *rgb)
{
    for (int c = 0; c < 3; ++c) {
        double n = 0;
        if (noise > 0) {
            // Four uniform numbers summed: nearly normal, standard deviation 1.
            const uint32_t h = hash(hash(x, y) ^ (noiseSeed * 2654435761u), c);
            const double sum = (h & 0xff) + ((h >> 8) & 0xff) + ((h >> 16) & 0xff) + (h >> 24);
            n = noise * (sum / 255.0 - 2.0) * std::sqrt(3.0);
        }
        rgb[c] = clampByte(channel[c] + n);
    }
}

HoldingHand::HoldingHand(Point edge, Point in, Point down, double frameWidth)
{
    const double w = frameWidth;
    palm = offset(edge, in, -0.09 * w);
    palmRx = 0.055 * w;
    palmRy = 0.065 * w;
    thumb = {offset(offset(edge, in, -0.04 * w), down, -0.035 * w),
             offset(offset(edge, in, 0.03 * w), down, -0.015 * w), 0.013 * w};
    arm = {palm, {in.x > 0 ? -0.3 * w : 1.3 * w, palm.y + 0.12 * w}, 0.045 * w};
    for (int i = 0; i < 3; ++i) {
        const Point knuckle = offset(offset(palm, down, 0.02 * w * (i - 0.5)), in, 0.03 * w);
        fingers[i] = {knuckle, offset(knuckle, in, 0.09 * w), 0.011 * w};
    }
}

} // namespace parts

PageScene pageAt(double centerX, double centerY, double width, double angleDeg)
{
    PageScene scene;
    scene.centerX = centerX;
    scene.centerY = centerY;
    scene.pageWidth = width;
    scene.angleDeg = angleDeg;
    return scene;
}

PageScene sceneOnDesk(Desk kind)
{
    PageScene scene;
    for (const DeskLook &look : kDeskLooks)
        if (look.kind == kind) {
            scene.desk = look.desk;
            scene.paper = look.paper;
        }
    scene.deskKind = kind;
    return scene;
}

std::array<Point, 4> pageCorners(const PageScene &scene, int width, int height)
{
    const Rotated f = pageFrame(scene, width, height);
    const Point onDesk[4] = {f.at(0, 0), f.at(1, 0), f.at(1, 1), f.at(0, 1)};
    const Lean lean(scene, width, height);
    std::array<Point, 4> corners;
    for (int i = 0; i < 4; ++i)
        corners[i] = scene.tiltDeg != 0 ? lean.seen(onDesk[i]) : onDesk[i];
    return corners;
}

void renderScene(const PageScene &s, int width, int height, uint8_t *rgb)
{
    const Shader shader(s, width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t *row = rgb + size_t(y) * width * 3;
        for (int x = 0; x < width; ++x)
            shader.shade(x, y, row + 3 * x);
    }
}

std::vector<uint8_t> renderScene(const PageScene &scene, int width, int height)
{
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    renderScene(scene, width, height, rgb.data());
    return rgb;
}

std::vector<uint8_t> renderPage(const PageScene &s, int w, int h)
{
    std::vector<uint8_t> rgb(size_t(w) * h * 3);
    const PageWriting writing(s, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Surface paper = pageSurface(s, writing, (x + 0.5) / w, (y + 0.5) / h);
            uint8_t *p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = clampByte(paper.value * paper.tint.r);
            p[1] = clampByte(paper.value * paper.tint.g);
            p[2] = clampByte(paper.value * paper.tint.b);
        }
    return rgb;
}

std::vector<WordBox> wordBoxes(const PageScene &scene, int pageWidthPx, int pageHeightPx)
{
    return TextRaster(scene, pageWidthPx, pageHeightPx).words();
}

} // namespace zq::sim
