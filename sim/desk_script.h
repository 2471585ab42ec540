// A desk that changes while the camera looks at it: pages laid one after
// another, taken away or covered by the next, or the pages of an open book
// turned, and a hand that reaches over the page now and then.  The virtual
// camera asks its script for every frame; the demos lay a stack of pages
// and turn a book's pages this way, and the tests lay exactly the sequence
// they want, on a clock of their own.
#ifndef ZQ_SIM_DESK_SCRIPT_H
#define ZQ_SIM_DESK_SCRIPT_H

#include "book_scene.h"
#include "scene.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace zq::sim
{

// What a camera whose frames change over time draws.
class FrameScript
{
  public:
    virtual ~FrameScript() = default;
    // Moves on to the next frame's picture; true when it differs from the
    // picture of the frame before.
    virtual bool advance() = 0;
    // The current picture as width * height RGB24 pixels.
    virtual std::vector<uint8_t> render(int width, int height) = 0;
};

// A hand seen from above, its arm reaching in from the right edge.
struct Hand {
    double x;           // finger tips' middle, as a fraction of the frame width
    double y;           // the same, as a fraction of the frame height
    double size = 0.16; // palm width, as a fraction of the frame width
};

// Paints the hand and its arm over an RGB24 picture.
void renderHand(const Hand &hand, int width, int height, uint8_t *rgb);

// A script that shows one still picture after another, with a hand
// passing over the desk now and then; each still is rendered once.
class StillsScript : public FrameScript
{
  public:
    // Seconds on the script's clock; the script starts at the first frame.
    using Clock = std::function<double()>;

    bool advance() override;
    std::vector<uint8_t> render(int width, int height) override;

  protected:
    // Without a clock the script runs on the steady clock.
    explicit StillsScript(Clock clock);

    struct Moment {
        size_t still;
        std::optional<Hand> hand;
        bool operator==(const Moment &other) const;
    };
    virtual Moment momentAt(double seconds) const = 0;
    virtual std::vector<uint8_t> renderStill(size_t still, int width, int height) const = 0;

    // A hand reaching from beyond the right edge to the fingertips' place
    // x, y (fractions of the frame) and back within kHandPassSeconds;
    // none before and after.
    static std::optional<Hand> passingHand(double secondsIntoPass, double x, double y);
    static constexpr double kHandPassSeconds = 2.0;

  private:
    Clock clock_;
    std::optional<double> start_;
    Moment now_{0, std::nullopt};
    std::vector<uint8_t> still_; // the current still, without the hand
    size_t stillShown_ = SIZE_MAX;
    int stillWidth_ = 0;
    int stillHeight_ = 0;
};

// One stretch of the desk's story.
struct DeskShot {
    double seconds;
    std::optional<PageScene> page; // nullopt: the bare desk
    bool handPasses = false;       // a hand reaches over the page and back
};

class DeskScript : public StillsScript
{
  public:
    // After the last shot its picture stays.  Without a clock the script
    // runs on the steady clock.
    explicit DeskScript(std::vector<DeskShot> shots, Clock clock = {});

    // The demo's stack: six pages, laid on the bare desk or on the page
    // before, with a hand passing over two of them; the last one stays.
    static std::vector<DeskShot> demoStack();

  private:
    Moment momentAt(double seconds) const override;
    std::vector<uint8_t> renderStill(size_t shot, int width, int height) const override;

    std::vector<DeskShot> shots_;
};

// An open book whose pages are turned now and then: the spread lies still
// for kStillSeconds, then a hand reaches over the right page from the
// right, the next two pages show (pages 1 and 2, then 3 and 4, ...: the
// text of bookText in the book's font; without a font, bars), and the
// hand leaves.
class BookScript : public StillsScript
{
  public:
    explicit BookScript(BookScene book, Clock clock = {});

    static constexpr double kStillSeconds = 7.0;
    static constexpr int kLinesPerPage = 18;

  private:
    Moment momentAt(double seconds) const override;
    std::vector<uint8_t> renderStill(size_t spread, int width, int height) const override;

    BookScene book_;
};

} // namespace zq::sim

#endif
