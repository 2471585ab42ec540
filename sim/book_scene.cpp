#include "book_scene.h"
#include "scene_parts.h"

#include <array>
#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <sstream>
#include <thread>

namespace zq::sim
{
using namespace parts;

namespace
{

// The page's curve across the spine, its heights in page widths (see
// book_scene.h).
constexpr double kGutterHeight = 0.01;
constexpr double kOuterEdgeHeight = 0.03;
constexpr double kSteepestRise = 0.85; // height per arc length where the page leaves the gutter
constexpr double kEarliestTop = 0.2;   // arc fraction from the gutter: the top lies no nearer
// Higher, the page would drop to the page block steeper than it can fall
// (a slope of 1 per arc length at 0.2, where the curve has no length left
// to go outwards); at 0.18 it drops at 0.75.
constexpr double kHighestRise = 0.18;
constexpr int kCurveSteps = 4096; // straight pieces of one page's curve

constexpr double kEdgePitch = 0.005;  // page widths between the edges of the pages below
constexpr double kCoverSquare = 0.02; // page widths the cover reaches beyond the page block
constexpr double kSheetGap = 0.03;    // frame widths between two loose sheets
constexpr double kGutterShade = 0.45; // the share of light the gutter line loses
constexpr double kGutterReach = 0.15; // arc fraction from the gutter where its shade ends
constexpr Surface kCloth = {70, {0.6, 0.8, 1.35}}; // dark blue book cloth
constexpr double kThumbBack = 0.012; // frame widths the hands hold further out than the scene's
constexpr double kRayStep = 0.25;    // frame pixels between the rays worked out across the book
constexpr int kOutlineSteps = 48;    // steps along the top and the bottom edge of an outline
constexpr int kOuterEdgeSteps = 23;
constexpr int kLineLength = 40; // characters of bookText's lines

// A point of the book's cross-section: how far out from the spine and how
// high above the desk, in frame pixels.
struct CurvePoint {
    double out, up;
};

// The height of a page, in page widths, at arc fraction u from the gutter,
// and its change with u: steeply up from the gutter to the rise at arc
// fraction `top`, then gently down to the outer edge.  A page that rises
// less than the page block is high lies on it.
struct PageHeight {
    double rise, gutter, outer, top;

    explicit PageHeight(double pageRise)
        : rise(std::clamp(pageRise, 0.0, kHighestRise)), gutter(std::min(kGutterHeight, rise)),
          outer(std::min(kOuterEdgeHeight, rise)),
          // Where the page leaves the gutter at its steepest.
          top(std::max(kEarliestTop, 3 * (rise - gutter) / kSteepestRise))
    {
    }

    double at(double u) const
    {
        if (u <= top) {
            const double x = 1 - u / top;
            return gutter + (rise - gutter) * (1 - x * x * x);
        }
        const double y = (u - top) / (1 - top);
        return rise - (rise - outer) * y * y;
    }

    double slope(double u) const
    {
        if (u <= top) {
            const double x = 1 - u / top;
            return 3 * (rise - gutter) * x * x / top;
        }
        const double y = (u - top) / (1 - top);
        return -2 * (rise - outer) * y / (1 - top);
    }
};

// One page's cross-section, at equal steps of arc length from the gutter.
class PageCurve
{
  public:
    PageCurve(const BookScene &book, double pagePx, double frameWidth)
    {
        if (book.twoSheets) {
            const double gap = kSheetGap * frameWidth / 2;
            for (int i = 0; i <= kCurveSteps; ++i)
                points_.push_back({gap + pagePx * i / kCurveSteps, 0});
            return;
        }
        const PageHeight height(book.rise);
        // The height grows by the slope per arc length: what is left of
        // each step goes outwards.
        constexpr int kPieces = 4;
        const double du = 1.0 / (kCurveSteps * kPieces);
        double out = 0;
        for (int i = 0; i <= kCurveSteps; ++i) {
            const double u = double(i) / kCurveSteps;
            points_.push_back({out, pagePx * height.at(u)});
            for (int k = 0; k < kPieces; ++k) {
                const double climb = height.slope(u + (k + 0.5) * du);
                out += pagePx * du * std::sqrt(1 - climb * climb);
            }
        }
    }

    // At arc fraction u, 0..1.
    CurvePoint at(double u) const
    {
        const double i = std::clamp(u, 0.0, 1.0) * kCurveSteps;
        const int i0 = std::min(int(i), kCurveSteps - 1);
        const double t = i - i0;
        const CurvePoint a = points_[i0], b = points_[i0 + 1];
        return {a.out + t * (b.out - a.out), a.up + t * (b.up - a.up)};
    }
    const std::vector<CurvePoint> &points() const { return points_; }

  private:
    std::vector<CurvePoint> points_;
};

enum class Part : uint8_t {
    LeftPage,
    RightPage,
    Block, // a side of the page block: the edges of the pages below
};

// Where a ray meets the book's surface.
struct Crossing {
    float up;
    // On a page its arc fraction from the gutter; on the block 0 at the
    // top page's edge to 1 at the desk.
    float along;
    Part part;
};

// A straight piece of the book's cross-section.
struct Piece {
    CurvePoint a, b;
    Part part;
    double alongA, alongB;
};

// Both pages, and the sides of the page block that close the cross-section
// down to the desk, so that every ray that gets under a page has crossed
// it.
std::vector<Piece> crossSection(const BookScene &book, const PageCurve &curve, double pagePx)
{
    std::vector<Piece> pieces;
    const std::vector<CurvePoint> &p = curve.points();
    const auto add = [&](CurvePoint a, CurvePoint b, Part part, double alongA, double alongB,
                         double direction) {
        pieces.push_back(
            {{direction * a.out, a.up}, {direction * b.out, b.up}, part, alongA, alongB});
    };
    for (int side : {0, 1}) {
        if (side == 0 && book.singlePage)
            continue;
        const double direction = side ? 1 : -1;
        for (int i = 0; i < kCurveSteps; ++i)
            add(p[i], p[i + 1], side ? Part::RightPage : Part::LeftPage, double(i) / kCurveSteps,
                double(i + 1) / kCurveSteps, direction);
        if (book.twoSheets)
            continue;
        const int edges = book.singlePage ? 0 : book.stackedEdges;
        const CurvePoint outer = p[kCurveSteps];
        add(outer, {outer.out + edges * kEdgePitch * pagePx, 0}, Part::Block, 0, 1, direction);
    }
    if (book.singlePage && !book.twoSheets)
        add(p[0], {0, 0}, Part::Block, 0, 1, 1);
    return pieces;
}

// The rays from the camera seen along the spine, where every ray to the
// desk at the same distance across from the spine looks the same: for
// such distances kRayStep apart, where the ray crosses the cross-section,
// the highest crossing first.  Above the book is air, so the crossings
// alternate between reaching a surface and leaving it from below.
class RayTable
{
  public:
    RayTable(const std::vector<Piece> &pieces, double cameraOut, double f)
        : cameraOut_(cameraOut), f_(f)
    {
        double lowest = std::numeric_limits<double>::max(), highest = -lowest;
        for (const Piece &piece : pieces)
            for (const CurvePoint &p : {piece.a, piece.b}) {
                lowest = std::min(lowest, onDesk(p));
                highest = std::max(highest, onDesk(p));
            }
        if (pieces.empty())
            return;
        first_ = std::floor(lowest / kRayStep) * kRayStep - kRayStep;
        rays_.resize(size_t((highest - first_) / kRayStep) + 2);
        for (const Piece &piece : pieces)
            addCrossings(piece);
    }

    // The k-th crossing of the ray to the desk at `out` across, if there
    // is one; between two rays worked out, the crossing interpolated when
    // they cross the same stretch, the nearer ray's otherwise.
    std::optional<Crossing> crossing(double out, int k) const
    {
        const double position = (out - first_) / kRayStep;
        const long i = long(std::floor(position));
        if (i < 0 || size_t(i) + 1 >= rays_.size())
            return std::nullopt;
        const Ray &a = rays_[size_t(i)], &b = rays_[size_t(i) + 1];
        const double t = position - i;
        if (k < a.count && k < b.count && sameStretch(a.hit[k], b.hit[k]))
            return Crossing{float(a.hit[k].up + t * (b.hit[k].up - a.hit[k].up)),
                            float(a.hit[k].along + t * (b.hit[k].along - a.hit[k].along)),
                            a.hit[k].part};
        const Ray &nearer = t < 0.5 ? a : b;
        return k < nearer.count ? std::optional<Crossing>(nearer.hit[k]) : std::nullopt;
    }

  private:
    struct Ray {
        int count = 0;
        std::array<Crossing, 4> hit; // the highest first; lower ones make no difference
    };

    static bool sameStretch(const Crossing &a, const Crossing &b)
    {
        return a.part == b.part && std::fabs(a.along - b.along) < 0.01f;
    }

    // Where the ray through p meets the desk, across the spine.
    double onDesk(CurvePoint p) const
    {
        return cameraOut_ + (p.out - cameraOut_) * f_ / (f_ - p.up);
    }

    void addCrossings(const Piece &piece)
    {
        const double a = onDesk(piece.a), b = onDesk(piece.b);
        const long from = long(std::ceil((std::min(a, b) - first_) / kRayStep));
        const long to = long(std::ceil((std::max(a, b) - first_) / kRayStep));
        for (long i = from; i < to; ++i) {
            const double out = first_ + i * kRayStep;
            // How far each end lies out from the ray, at its height.
            const auto besideRay = [&](CurvePoint p) {
                return p.out - (out + (cameraOut_ - out) * p.up / f_);
            };
            const double ea = besideRay(piece.a), eb = besideRay(piece.b);
            const double t = ea / (ea - eb);
            add(rays_[size_t(i)],
                {float(piece.a.up + t * (piece.b.up - piece.a.up)),
                 float(piece.alongA + t * (piece.alongB - piece.alongA)), piece.part});
        }
    }

    static void add(Ray &ray, Crossing crossing)
    {
        int i = std::min(ray.count, int(ray.hit.size()) - 1);
        if (ray.count == int(ray.hit.size()) && crossing.up <= ray.hit[i].up)
            return;
        for (; i > 0 && ray.hit[i - 1].up < crossing.up; --i)
            ray.hit[i] = ray.hit[i - 1];
        ray.hit[i] = crossing;
        ray.count = std::min(ray.count + 1, int(ray.hit.size()));
    }

    double cameraOut_, f_;
    double first_ = 0; // across the spine, where the first ray meets the desk
    std::vector<Ray> rays_;
};

Point plus(Point a, Point b, double times)
{
    return {a.x + times * b.x, a.y + times * b.y};
}

// The book on the desk and the camera above it, in frame pixels.
struct Placement {
    Point spine;  // the spine's middle, on the desk
    Point across; // from the left page to the right, length 1
    Point down;   // along the spine, from the pages' top to their bottom
    Point camera; // below the camera, the frame's centre
    double f;     // the focal length

    Placement(const BookScene &book, int width, int height)
        : spine{book.centerX * width, book.centerY * height}, camera{width / 2.0, height / 2.0},
          f{kFocalLength * width}
    {
        const double a = book.angleDeg * kPi / 180;
        across = {std::cos(a), -std::sin(a)};
        down = {std::sin(a), std::cos(a)};
    }

    // How far out from the spine and down from its middle a desk point lies.
    double outOf(Point p) const { return (p.x - spine.x) * across.x + (p.y - spine.y) * across.y; }
    double downOf(Point p) const { return (p.x - spine.x) * down.x + (p.y - spine.y) * down.y; }

    // Where a point of the book appears in the frame.
    Point seen(double out, double up, double downFromMiddle) const
    {
        const Point desk = plus(plus(spine, across, out), down, downFromMiddle);
        const double scale = f / (f - up);
        return {camera.x + (desk.x - camera.x) * scale, camera.y + (desk.y - camera.y) * scale};
    }
};

PageScene printedPage(const BookScene &book, int side)
{
    PageScene page;
    page.paper = book.paper;
    page.lines = book.lines[size_t(side)];
    page.font = book.font;
    page.textSize = book.textSize;
    return page;
}

bool hasSide(const BookScene &book, int side)
{
    return side == 1 || !book.singlePage;
}

Point towards(Point from, Point to)
{
    const double length = std::hypot(to.x - from.x, to.y - from.y);
    return {(to.x - from.x) / length, (to.y - from.y) / length};
}

// Where the book's pages lie.
struct BookShape {
    Placement place;
    double pageWidth, pageHeight; // flat, in pixels
    PageCurve curve;

    BookShape(const BookScene &book, int width, int height)
        : place(book, width, height), pageWidth(book.pageWidth * width),
          pageHeight(pageWidth * book.aspect), curve(book, pageWidth, width)
    {
    }

    // Where the page's point at arc fraction u from the gutter, v down
    // from its top, appears.
    Point seen(int side, double u, double v) const
    {
        const CurvePoint c = curve.at(u);
        return place.seen(side ? c.out : -c.out, c.up, (v - 0.5) * pageHeight);
    }
};

// Everything a pixel of the book's frame may show, laid out once a frame.
class BookShader
{
  public:
    BookShader(const BookScene &book, int width, int height);
    void shade(int x, int y, uint8_t *rgb) const;

  private:
    bool bookAt(const Crossing &crossing, double down, double channel[3]) const;
    void pageAt(int side, double u, double v, double channel[3]) const;
    void pageEdgesAt(double along, double pitchPx, double channel[3]) const;
    Surface deskPlaneAt(Point q, double out, double down, int x, int y) const;
    double bandBeyondPage() const;

    const BookScene &book_;
    int width_;
    BookShape shape_;
    const Placement &place_;
    const double pageWidth_, pageHeight_;
    RayTable rays_;
    double cameraDown_;
    int pictureWidth_, pictureHeight_;
    std::array<std::vector<uint8_t>, 2> pictures_;
    int edges_;        // page edges showing beside the top page
    double coverOut_;  // the cover's half width across the spine
    double coverDown_; // its half length along the spine
    std::vector<HoldingHand> hands_;
};

BookShader::BookShader(const BookScene &book, int width, int height)
    : book_(book), width_(width), shape_(book, width, height), place_(shape_.place),
      pageWidth_(shape_.pageWidth), pageHeight_(shape_.pageHeight),
      rays_(crossSection(book, shape_.curve, pageWidth_), place_.outOf(place_.camera), place_.f),
      cameraDown_(place_.downOf(place_.camera)), pictureWidth_(int(std::lround(pageWidth_))),
      pictureHeight_(int(std::lround(pageHeight_))),
      edges_(book.twoSheets || book.singlePage ? 0 : std::max(0, book.stackedEdges))
{
    for (int side : {0, 1})
        if (hasSide(book, side))
            pictures_[size_t(side)] = renderBookPage(book, side, pictureWidth_, pictureHeight_);
    const double square = kCoverSquare * pageWidth_;
    coverOut_ = shape_.curve.at(1).out + edges_ * kEdgePitch * pageWidth_ + square;
    coverDown_ = pageHeight_ / 2 + bandBeyondPage() + square;
    if (book.fingers)
        for (int side : {0, 1})
            if (hasSide(book, side)) {
                // As the scene's hand holds its page, a little below the
                // middle, but further out: the thumb keeps to the margin.
                const Point edge = shape_.seen(side, 1, 0.55);
                const Point in = towards(edge, shape_.seen(side, 0.9, 0.55));
                hands_.emplace_back(offset(edge, in, -kThumbBack * width), in,
                                    towards(shape_.seen(side, 1, 0.45), shape_.seen(side, 1, 0.65)),
                                    width);
            }
}

// The pages below show beyond the top and the bottom edge as a band half
// as wide as beside the outer edge.
double BookShader::bandBeyondPage() const
{
    return edges_ * kEdgePitch * pageWidth_ / 2;
}

void BookShader::shade(int x, int y, uint8_t *rgb) const
{
    const Point q = {x + 0.5, y + 0.5};
    double channel[3];
    const bool handOnTop = std::any_of(hands_.begin(), hands_.end(),
                                       [&](const HoldingHand &h) { return h.onTopAt(q); });
    bool onBook = false;
    const double out = place_.outOf(q), down = place_.downOf(q);
    // Only a crossing that reaches a surface can end the ray: the first,
    // the third.
    for (int k = 0; k < 4 && !handOnTop && !onBook; k += 2) {
        const std::optional<Crossing> crossing = rays_.crossing(out, k);
        if (!crossing)
            break;
        // Along the spine, the ray at that height lies nearer the camera.
        const double scale = 1 - crossing->up / place_.f;
        onBook = bookAt(*crossing, cameraDown_ + (down - cameraDown_) * scale, channel);
    }
    if (!onBook) {
        const Surface s = handOnTop ? Surface{1.0, kSkin} : deskPlaneAt(q, out, down, x, y);
        channel[0] = s.value * s.tint.r;
        channel[1] = s.value * s.tint.g;
        channel[2] = s.value * s.tint.b;
    }
    storePixel(channel, book_.noise, book_.noiseSeed, x, y, rgb);
}

// What the book shows where a ray meets it `down` along the spine; false
// where the ray passes beyond the pages' top or bottom.
bool BookShader::bookAt(const Crossing &crossing, double down, double channel[3]) const
{
    const double beyond = std::fabs(down) - pageHeight_ / 2;
    const double band = bandBeyondPage();
    if (crossing.part == Part::Block) {
        if (beyond > band)
            return false;
        pageEdgesAt(crossing.along, kEdgePitch * pageWidth_, channel);
        return true;
    }
    if (beyond > 0) {
        if (beyond > band)
            return false;
        pageEdgesAt(beyond / band, kEdgePitch * pageWidth_ / 2, channel);
        return true;
    }
    pageAt(crossing.part == Part::RightPage, crossing.along, down / pageHeight_ + 0.5, channel);
    return true;
}

// The printed page at arc fraction u from the gutter and v from its top,
// sampled between its pixels, in the gutter's shade.
void BookShader::pageAt(int side, double u, double v, double channel[3]) const
{
    const std::vector<uint8_t> &picture = pictures_[size_t(side)];
    const double x = (side ? u : 1 - u) * pictureWidth_ - 0.5, y = v * pictureHeight_ - 0.5;
    const int x0 = int(std::floor(x)), y0 = int(std::floor(y));
    const double fx = x - x0, fy = y - y0;
    const auto at = [&](int px, int py, int c) {
        px = std::clamp(px, 0, pictureWidth_ - 1);
        py = std::clamp(py, 0, pictureHeight_ - 1);
        return double(picture[(size_t(py) * pictureWidth_ + px) * 3 + c]);
    };
    double light = 1;
    if (book_.gutterShadow && !book_.twoSheets)
        light -= kGutterShade * (1 - smoothstep(u / kGutterReach));
    for (int c = 0; c < 3; ++c)
        channel[c] = light * ((at(x0, y0, c) * (1 - fx) + at(x0 + 1, y0, c) * fx) * (1 - fy) +
                              (at(x0, y0 + 1, c) * (1 - fx) + at(x0 + 1, y0 + 1, c) * fx) * fy);
}

// The edges of the pages below, at `along` 0..1 across them: slightly
// darker paper with darker lines between the pages, which blur into an
// even band where the lines lie closer than a few pixels.
void BookShader::pageEdgesAt(double along, double pitchPx, double channel[3]) const
{
    const double contrast = smoothstep((pitchPx - 1.5) / 2.5);
    const double line = 0.5 - 0.5 * std::cos(2 * kPi * along * std::max(edges_, 1));
    const double value = book_.paper * (0.78 - 0.12 * contrast * line);
    channel[0] = value * kPaperTint.r;
    channel[1] = value * kPaperTint.g;
    channel[2] = value * kPaperTint.b;
}

// The cover, or the desk with the fingers under the book.
Surface BookShader::deskPlaneAt(Point q, double out, double down, int x, int y) const
{
    if (book_.cover && !book_.twoSheets && !book_.singlePage && std::fabs(out) <= coverOut_ &&
        std::fabs(down) <= coverDown_)
        return {kCloth.value + int(hash(x / 2, y / 2) % 9) - 4, kCloth.tint};
    if (std::any_of(hands_.begin(), hands_.end(),
                    [&](const HoldingHand &h) { return h.belowAt(q); }))
        return {1.0, kSkin};
    return deskSurface(book_.deskKind, book_.desk, q, x, y, width_);
}

// Runs shadeRows(first, end) on bands of the rows, one band for each core.
void inBandsOfRows(int height, const std::function<void(int, int)> &shadeRows)
{
    const int bands = std::clamp(int(std::thread::hardware_concurrency()), 1, 8);
    std::vector<std::thread> workers;
    for (int b = 1; b < bands; ++b)
        workers.emplace_back(shadeRows, height * b / bands, height * (b + 1) / bands);
    shadeRows(0, height / bands);
    for (std::thread &worker : workers)
        worker.join();
}

// Made-up prose of plain words, read in turn from where a page begins.
constexpr const char *kProse[] = {
    "The harbour was quiet in the early morning.",
    "Small boats rocked gently against the stone wall.",
    "A few gulls circled above the fish market.",
    "Nobody in the town remembered a colder spring.",
    "The baker opened his shop before the sun was up.",
    "Children walked to school along the narrow lane.",
    "Every house on the hill had a blue front door.",
    "Old nets were drying in the yard behind the inn.",
    "The ferry arrived twice a day from the mainland.",
    "Visitors came in summer to walk along the cliffs.",
    "In the evening the lamps were lit one by one.",
    "The library stood at the corner of the square.",
    "Its shelves held maps, letters and old records.",
    "The keeper of the lighthouse wrote in a diary.",
    "He noted the weather, the ships and the tides.",
    "Some pages were stained with salt and candle wax.",
    "Rain fell for three days at the end of the month.",
    "The river rose and covered the lower meadow.",
    "Farmers moved their sheep to the higher fields.",
    "When the water went down, the roads were mended.",
    "A new bridge was built of timber and iron.",
    "The whole town gathered for the opening day.",
    "There was music, bread, cheese and cold cider.",
    "Late at night the last boats came back in.",
    "The wind turned and the sky cleared at last.",
    "By morning the sea was calm and bright again.",
};
constexpr int kSentences = int(std::size(kProse));

} // namespace

void renderBook(const BookScene &book, int width, int height, uint8_t *rgb)
{
    const BookShader shader(book, width, height);
    inBandsOfRows(height, [&](int first, int end) {
        for (int y = first; y < end; ++y)
            for (int x = 0; x < width; ++x)
                shader.shade(x, y, rgb + (size_t(y) * width + x) * 3);
    });
}

std::vector<uint8_t> renderBook(const BookScene &book, int width, int height)
{
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    renderBook(book, width, height, rgb.data());
    return rgb;
}

std::vector<uint8_t> renderBookPage(const BookScene &book, int side, int pageWidthPx,
                                    int pageHeightPx)
{
    return renderPage(printedPage(book, side), pageWidthPx, pageHeightPx);
}

std::vector<WordBox> bookWordBoxes(const BookScene &book, int side, int pageWidthPx,
                                   int pageHeightPx)
{
    return wordBoxes(printedPage(book, side), pageWidthPx, pageHeightPx);
}

std::vector<Point> bookPageOutline(const BookScene &book, int side, int width, int height)
{
    if (!hasSide(book, side))
        return {};
    const BookShape shape(book, width, height);
    std::vector<Point> outline;
    for (int i = 0; i <= kOutlineSteps; ++i)
        outline.push_back(shape.seen(side, double(i) / kOutlineSteps, 0));
    for (int i = 1; i < kOuterEdgeSteps; ++i)
        outline.push_back(shape.seen(side, 1, double(i) / kOuterEdgeSteps));
    for (int i = kOutlineSteps; i >= 0; --i)
        outline.push_back(shape.seen(side, double(i) / kOutlineSteps, 1));
    return outline;
}

std::vector<std::string> bookText(int pageNumber, int lines)
{
    // Each page begins at another sentence: 7 and the number of sentences
    // share no factor.
    int sentence = ((pageNumber * 7) % kSentences + kSentences) % kSentences;
    std::vector<std::string> text(1);
    while (int(text.size()) <= lines) {
        std::istringstream words(kProse[sentence]);
        sentence = (sentence + 1) % kSentences;
        for (std::string word; words >> word;) {
            std::string &line = text.back();
            if (line.empty())
                line = word;
            else if (line.size() + 1 + word.size() <= size_t(kLineLength))
                line += " " + word;
            else
                text.push_back(word);
        }
    }
    text.resize(size_t(std::max(lines, 0)));
    return text;
}

} // namespace zq::sim
