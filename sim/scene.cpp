#include "scene.h"

#include <algorithm>
#include <cmath>

namespace zq::sim
{
namespace
{

constexpr double kPi = 3.14159265358979323846;

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
    return 0.15;
}

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
                const double value = s.paper * pageInk(s, u, v) * light;
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
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double value = s.paper * pageInk(s, (x + 0.5) / w, (y + 0.5) / h);
            uint8_t *p = &rgb[(size_t(y) * w + x) * 3];
            p[0] = p[1] = clampByte(value);
            p[2] = clampByte(value * 0.97);
        }
    return rgb;
}

} // namespace zq::sim
