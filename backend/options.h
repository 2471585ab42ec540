// The options of one open camera, as SANE front ends see them: the
// descriptors, their values, and the checks a value passes before it is
// taken.
#ifndef ZQ_SANE_OPTIONS_H
#define ZQ_SANE_OPTIONS_H

#include "camera.h"

#include <sane/sane.h>

#include <array>
#include <vector>

namespace zq::sane
{

enum Option {
    kOptionCount,
    kModeGroup,
    kMode,
    kResolution,
    kSource,
    kPageTimeout,
    kEnhancementGroup,
    kClearBackground,
    kBrightness,
    kContrast,
    kGeometryGroup,
    kTopLeftX,
    kTopLeftY,
    kBottomRightX,
    kBottomRightY,
    kOptions
};

// In the order of the "source" option's choices.
enum class Source { Page, WholeFrame, Automatic, Book };

// A part of the frame, in frame pixels.
struct Area {
    int left, top, width, height;
};

class Options
{
  public:
    explicit Options(Camera &camera);

    const SANE_Option_Descriptor *descriptor(SANE_Int option) const;
    SANE_Status get(SANE_Int option, void *value) const;
    SANE_Status set(SANE_Int option, void *value, SANE_Int *info);

    bool grey() const;
    Source source() const;
    FrameSize frameSize() const;
    SANE_Int resolution() const { return values_[kResolution]; }
    int pageTimeoutSeconds() const { return values_[kPageTimeout]; }
    bool clearBackground() const { return values_[kClearBackground] == SANE_TRUE; }
    // The part of the frame a "Whole frame" scan gives.
    Area area() const;

  private:
    struct Resolution {
        SANE_Word dpi;
        FrameSize size;
    };

    void describe();
    void listResolutions();
    void readControl(Option option, int value);
    SANE_Status setControl(Option option, SANE_Word percent);
    void fitGeometry();
    void showGeometry();

    Camera &camera_;
    std::vector<Resolution> resolutions_;
    std::vector<SANE_Word> resolutionList_; // count first, as SANE wants
    SANE_Range percent_;
    SANE_Range timeout_;
    SANE_Range across_;
    SANE_Range down_;
    std::array<SANE_Option_Descriptor, kOptions> descriptors_{};
    std::array<SANE_Word, kOptions> values_{}; // a string's index in its list
};

} // namespace zq::sane

#endif
