// What the rendered scenes share: the look of the desk and of the paper, a
// hand holding a page down, and the last step of every pixel, where the
// sensor's noise is added.
#ifndef ZQ_SIM_SCENE_PARTS_H
#define ZQ_SIM_SCENE_PARTS_H

#include "scene.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zq::sim::parts
{

constexpr double kPi = 3.14159265358979323846;
// The camera's focal length in frame widths: a document camera's moderate
// field of view.
constexpr double kFocalLength = 1.2;

// A small integer hash: texture and word gaps that look random but are
// the same on every run.
inline uint32_t hash(uint32_t x, uint32_t y)
{
    uint32_t h = x * 374761393u + y * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

inline double smoothstep(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

inline uint8_t clampByte(double v)
{
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

struct Tint {
    double r, g, b;
};
constexpr Tint kPaperTint = {1.0, 1.0, 0.97};
constexpr Tint kSkin = {205, 150, 122};

// What one pixel shows before light and noise: a brightness and the
// factors that colour it.
struct Surface {
    double value;
    Tint tint;
};

// The desk of that kind and mean brightness at desk point q, which lies in
// frame pixel x, y of a frame width pixels wide.
Surface deskSurface(Desk kind, double brightness, Point q, int x, int y, int width);

// Writes the pixel x, y of the red, green and blue values given, with
// sensor noise of that standard deviation; another seed, other noise.
void storePixel(const double channel[3], double noise, uint32_t noiseSeed, int x, int y,
                uint8_t *rgb);

inline Point offset(Point p, Point direction, double distance)
{
    return {p.x + direction.x * distance, p.y + direction.y * distance};
}

// Squared distance of p from the segment a-b.
inline double segmentDistance2(Point p, Point a, Point b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t =
        std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    const double ex = p.x - a.x - t * dx, ey = p.y - a.y - t * dy;
    return ex * ex + ey * ey;
}

// Inside the ellipse with centre c and half axes rx, ry: the squared
// normalised distance, below 1 inside.
inline double ellipse(Point p, Point c, double rx, double ry)
{
    const double x = (p.x - c.x) / rx, y = (p.y - c.y) / ry;
    return x * x + y * y;
}

struct Capsule {
    Point a, b;
    double radius;
    bool contains(Point p) const
    {
        // Most pixels lie far from it: the bounding box decides cheaply.
        if (p.x < std::min(a.x, b.x) - radius || p.x > std::max(a.x, b.x) + radius ||
            p.y < std::min(a.y, b.y) - radius || p.y > std::max(a.y, b.y) + radius)
            return false;
        return segmentDistance2(p, a, b) <= radius * radius;
    }
};

// A hand holding a page down at one of its edges: the thumb on the page,
// the palm and the arm on the desk, running off the frame on the side the
// hand comes from, the fingers under the page.
struct HoldingHand {
    Capsule thumb, arm, fingers[3];
    Point palm;
    double palmRx, palmRy;

    // edge: where the thumb crosses the page's edge; in: the direction
    // into the page, down: along the edge, both of length 1.
    HoldingHand(Point edge, Point in, Point down, double frameWidth);

    bool onTopAt(Point q) const
    {
        return thumb.contains(q) || arm.contains(q) || ellipse(q, palm, palmRx, palmRy) <= 1;
    }
    bool belowAt(Point q) const
    {
        return std::any_of(std::begin(fingers), std::end(fingers),
                           [&](const Capsule &f) { return f.contains(q); });
    }
};

} // namespace zq::sim::parts

#endif
