// A desk that changes while the camera looks at it: pages laid one after
// another, taken away or covered by the next, and a hand that reaches over
// the page now and then.  The virtual camera asks its script for every
// frame; the demo lays a stack of pages this way, and the tests lay exactly
// the sequence they want, on a clock of their own.
#ifndef ZQ_SIM_DESK_SCRIPT_H
#define ZQ_SIM_DESK_SCRIPT_H

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

// One stretch of the desk's story.
struct DeskShot {
    double seconds;
    std::optional<PageScene> page; // nullopt: the bare desk
    bool handPasses = false;       // a hand reaches over the page and back
};

class DeskScript : public FrameScript
{
  public:
    // Seconds on the script's clock; the script starts at the first frame.
    using Clock = std::function<double()>;

    // After the last shot its picture stays.  Without a clock the script
    // runs on the steady clock.
    explicit DeskScript(std::vector<DeskShot> shots, Clock clock = {});

    bool advance() override;
    std::vector<uint8_t> render(int width, int height) override;

    // The demo's stack: six pages, laid on the bare desk or on the page
    // before, with a hand passing over two of them; the last one stays.
    static std::vector<DeskShot> demoStack();

  private:
    struct Moment {
        size_t shot;
        std::optional<Hand> hand;
        bool operator==(const Moment &other) const;
    };
    Moment momentAt(double seconds) const;

    std::vector<DeskShot> shots_;
    Clock clock_;
    std::optional<double> start_;
    Moment now_{0, std::nullopt};
    // The desk of the current shot without the hand, rendered once a shot.
    std::vector<uint8_t> desk_;
    size_t deskShot_ = SIZE_MAX;
    int deskWidth_ = 0;
    int deskHeight_ = 0;
};

} // namespace zq::sim

#endif
