#include "desk_script.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace zq::sim
{
namespace
{

constexpr double kPi = 3.14159265358979323846;
// Skin under the desk lamp.
constexpr uint8_t kSkin[3] = {206, 152, 122};

struct Segment {
    double ax, ay, bx, by;
    double radius;
};

double distanceToSegment(double x, double y, const Segment &s)
{
    const double dx = s.bx - s.ax, dy = s.by - s.ay;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((x - s.ax) * dx + (y - s.ay) * dy) / lengthSquared : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(x - (s.ax + t * dx), y - (s.ay + t * dy));
}

// The hand as rounded strokes in pixels: the arm, the palm, four fingers
// pointing left and the thumb.
std::vector<Segment> handStrokes(const Hand &hand, int width, int height)
{
    const double s = hand.size * width;
    const double tipX = hand.x * width, y = hand.y * height;
    const double palmX = tipX + 0.62 * s + 0.45 * s;
    std::vector<Segment> strokes = {
        {palmX, y, width + 2 * s, y + 0.15 * s, 0.36 * s},  // arm, out of the picture
        {palmX - 0.1 * s, y, palmX + 0.2 * s, y, 0.48 * s}, // palm
    };
    const double lengths[4] = {0.50, 0.62, 0.60, 0.48};
    for (int i = 0; i < 4; ++i) {
        const double fy = y + (i - 1.5) * 0.24 * s;
        strokes.push_back({palmX - 0.4 * s, fy, tipX + (0.62 - lengths[i]) * s, fy, 0.1 * s});
    }
    strokes.push_back({palmX - 0.1 * s, y - 0.45 * s, palmX - 0.55 * s, y - 0.78 * s, 0.11 * s});
    return strokes;
}

std::vector<uint8_t> bareDesk(const PageScene &like, int width, int height)
{
    PageScene desk = like;
    desk.pageWidth = 0; // no pixel lies on a page of no width
    return renderScene(desk, width, height);
}

double steadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

void renderHand(const Hand &hand, int width, int height, uint8_t *rgb)
{
    const std::vector<Segment> strokes = handStrokes(hand, width, height);
    const double s = hand.size * width;
    const int x0 = std::max(0, int(hand.x * width - s));
    const int y0 = std::max(0, int(hand.y * height - 1.1 * s));
    const int y1 = std::min(height, int(hand.y * height + 1.1 * s));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < width; ++x) {
            const bool onHand = std::any_of(strokes.begin(), strokes.end(), [&](const Segment &st) {
                return distanceToSegment(x + 0.5, y + 0.5, st) <= st.radius;
            });
            if (onHand)
                std::memcpy(rgb + (size_t(y) * width + x) * 3, kSkin, 3);
        }
}

StillsScript::StillsScript(Clock clock) : clock_(clock ? std::move(clock) : Clock(steadySeconds)) {}

bool StillsScript::Moment::operator==(const Moment &other) const
{
    if (still != other.still || hand.has_value() != other.hand.has_value())
        return false;
    return !hand || (hand->x == other.hand->x && hand->y == other.hand->y);
}

std::optional<Hand> StillsScript::passingHand(double secondsIntoPass, double x, double y)
{
    if (secondsIntoPass < 0 || secondsIntoPass >= kHandPassSeconds)
        return std::nullopt;
    const double reach = std::sin(kPi * secondsIntoPass / kHandPassSeconds);
    return Hand{1.1 - reach * (1.1 - x), y};
}

bool StillsScript::advance()
{
    const double now = clock_();
    if (!start_)
        start_ = now;
    const Moment next = momentAt(now - *start_);
    const bool changed = !(next == now_);
    now_ = next;
    return changed;
}

std::vector<uint8_t> StillsScript::render(int width, int height)
{
    if (stillShown_ != now_.still || stillWidth_ != width || stillHeight_ != height) {
        still_ = renderStill(now_.still, width, height);
        stillShown_ = now_.still;
        stillWidth_ = width;
        stillHeight_ = height;
    }
    std::vector<uint8_t> picture = still_;
    if (now_.hand)
        renderHand(*now_.hand, width, height, picture.data());
    return picture;
}

DeskScript::DeskScript(std::vector<DeskShot> shots, Clock clock)
    : StillsScript(std::move(clock)), shots_(std::move(shots))
{
}

StillsScript::Moment DeskScript::momentAt(double seconds) const
{
    Moment m{0, std::nullopt};
    if (shots_.empty())
        return m;
    while (m.still + 1 < shots_.size() && seconds >= shots_[m.still].seconds) {
        seconds -= shots_[m.still].seconds;
        ++m.still;
    }
    const DeskShot &shot = shots_[m.still];
    if (shot.handPasses) {
        // To the middle of the page.
        const double x = shot.page ? shot.page->centerX : 0.5;
        const double y = shot.page ? shot.page->centerY : 0.5;
        m.hand = passingHand(seconds, x, y);
    }
    return m;
}

std::vector<uint8_t> DeskScript::renderStill(size_t shot, int width, int height) const
{
    if (shots_.empty() || !shots_[shot].page)
        return bareDesk(PageScene{}, width, height);
    return renderScene(*shots_[shot].page, width, height);
}

std::vector<DeskShot> DeskScript::demoStack()
{
    // Each page lies a little differently, as pages laid by hand do.
    const auto page = [](double x, double y, double angle, double width) {
        PageScene p;
        p.centerX = x;
        p.centerY = y;
        p.angleDeg = angle;
        p.pageWidth = width;
        p.unevenLight = 0.12;
        return p;
    };
    return {
        {2.0, std::nullopt},
        {4.0, page(0.48, 0.50, 7, 0.30)},
        {1.0, std::nullopt},
        {5.0, page(0.46, 0.52, -4, 0.31), true},
        {4.0, page(0.50, 0.49, 3, 0.30)}, // laid on top of the page before
        {1.0, std::nullopt},
        {4.0, page(0.47, 0.51, 10, 0.29)},
        {1.0, std::nullopt},
        {5.0, page(0.49, 0.50, -8, 0.30), true},
        {1.0, std::nullopt},
        {1.0, page(0.48, 0.50, 5, 0.30)},
    };
}

BookScript::BookScript(BookScene book, Clock clock)
    : StillsScript(std::move(clock)), book_(std::move(book))
{
}

StillsScript::Moment BookScript::momentAt(double seconds) const
{
    const double turn = kStillSeconds + kHandPassSeconds;
    const double turns = std::floor(seconds / turn);
    const double intoPass = seconds - turns * turn - kStillSeconds;
    // The page turns while the hand reaches furthest.
    const bool turned = intoPass >= kHandPassSeconds / 2;
    // The fingertips reach the middle of the right page.
    const double x = book_.centerX + book_.pageWidth / 2;
    return {size_t(turns) + turned, passingHand(intoPass, x, book_.centerY)};
}

std::vector<uint8_t> BookScript::renderStill(size_t spread, int width, int height) const
{
    BookScene book = book_;
    if (!book.font.empty()) {
        const int left = int(2 * spread + 1);
        book.lines = {bookText(left, kLinesPerPage), bookText(left + 1, kLinesPerPage)};
    }
    return renderBook(book, width, height);
}

} // namespace zq::sim
