#include "scene.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace zq::sim
{
namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr double kInk = 0.15;           // brightness of the darkest writing, paper = 1
constexpr double kMargin = 0.1;         // left and top margin of real text, page fractions
constexpr double kLineSpacingEms = 1.8; // baseline to baseline

// A small integer hash: texture and word gaps that look random but are
// the same on every run.
uint32_t hash(uint32_t x, uint32_t y)
{
    uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

struct PageFrame {
    double cx, cy;       // centre in pixels
    double halfW, halfH; // half sizes in pixels
    double cosA, sinA;
};

PageFrame pageFrame(const PageScene &s, int width, int height)
{
    const double a = s.angleDeg * kPi / 180.0;
    const double pw = s.pageWidth * width;
    return {s.centerX * width, s.centerY * height, pw / 2,
            pw * s.aspect / 2, std::cos(a),        std::sin(a)};
}

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

uint8_t clampByte(double v)
{
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

} // namespace

std::array<Point, 4> pageCorners(const PageScene &scene, int width, int height)
{
    const PageFrame f = pageFrame(scene, width, height);
    std::array<Point, 4> corners;
    const double sx[4] = {-1, 1, 1, -1};
    const double sy[4] = {-1, -1, 1, 1};
    for (int i = 0; i < 4; ++i) {
        const double dx = sx[i] * f.halfW, dy = sy[i] * f.halfH;
        // Counter-clockwise on screen, where y grows downwards.
        corners[i] = {f.cx + dx * f.cosA + dy * f.sinA, f.cy - dx * f.sinA + dy * f.cosA};
    }
    return corners;
}

void renderScene(const PageScene &s, int width, int height, uint8_t *rgb)
{
    const PageFrame f = pageFrame(s, width, height);
    const PageWriting writing(s, int(std::lround(2 * f.halfW)), int(std::lround(2 * f.halfH)));
    for (int y = 0; y < height; ++y) {
        uint8_t *row = rgb + size_t(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            const double light = 1.0 - s.unevenLight * x / std::max(1, width - 1);
            // Back into page coordinates: undo the counter-clockwise turn.
            const double dx = x + 0.5 - f.cx, dy = y + 0.5 - f.cy;
            const double px = dx * f.cosA - dy * f.sinA;
            const double py = dx * f.sinA + dy * f.cosA;
            double r, g, b;
            if (std::fabs(px) <= f.halfW && std::fabs(py) <= f.halfH) {
                const double u = (px + f.halfW) / (2 * f.halfW);
                const double v = (py + f.halfH) / (2 * f.halfH);
                const double value = s.paper * writing.brightness(u, v) * light;
                r = value;
                g = value;
                b = value * 0.97;
            } else {
                const double grain = int(hash(x / 3, y / 3) % 21) - 10;
                const double value = (s.desk + grain) * light;
                r = value * 1.15;
                g = value * 0.9;
                b = value * 0.7;
            }
            row[3 * x] = clampByte(r);
            row[3 * x + 1] = clampByte(g);
            row[3 * x + 2] = clampByte(b);
        }
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
            const double value = s.paper * writing.brightness((x + 0.5) / w, (y + 0.5) / h);
            uint8_t *p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = p[1] = clampByte(value);
            p[2] = clampByte(value * 0.97);
        }
    return rgb;
}

std::vector<WordBox> wordBoxes(const PageScene &scene, int pageWidthPx, int pageHeightPx)
{
    return TextRaster(scene, pageWidthPx, pageHeightPx).words();
}

} // namespace zq::sim
