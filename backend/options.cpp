#include "options.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace zq::sane
{
namespace
{

// Options that SANE has no standard name for.
constexpr SANE_String_Const kPageTimeoutName = "page-timeout";
constexpr SANE_String_Const kClearBackgroundName = "clear-background";

// The choices of the string options, in the order of their values.
const SANE_String_Const kModes[] = {SANE_VALUE_SCAN_MODE_COLOR, SANE_VALUE_SCAN_MODE_GRAY, nullptr};
// Scanning programs pick a source by the names scanners give theirs: they
// take "Flatbed" for a single page and "ADF" for a stack of pages, which
// they scan until the feeder reports itself empty.  Those two are the same
// as Page and Automatic, so that such a program scans a page and a stack.
const SANE_String_Const kSources[] = {"Page",    "Whole frame", "Automatic", "Book",
                                      "Flatbed", "ADF",         nullptr};
constexpr Source kSourceOf[] = {Source::Page, Source::WholeFrame, Source::Automatic,
                                Source::Book, Source::Page,       Source::Automatic};
static_assert(std::size(kSources) == std::size(kSourceOf) + 1);

// An A4 page's sides in inches.  A camera's resolution is the density at
// which such a page, laid across the view, just fills the frame.
constexpr double kA4LongInches = 297 / 25.4;
constexpr double kA4ShortInches = 210 / 25.4;

constexpr SANE_Word kDefaultPageTimeout = 30;
constexpr SANE_Word kLongestPageTimeout = 3600;
constexpr int kControlScale = 65535;

SANE_Word a4Resolution(FrameSize size)
{
    const int longer = std::max(size.width, size.height);
    const int shorter = std::min(size.width, size.height);
    return SANE_Word(std::min(longer / kA4LongInches, shorter / kA4ShortInches));
}

SANE_Option_Descriptor group(SANE_String_Const title)
{
    SANE_Option_Descriptor d{};
    d.title = title;
    d.desc = "";
    d.type = SANE_TYPE_GROUP;
    return d;
}

SANE_Option_Descriptor option(SANE_String_Const name, SANE_String_Const title,
                              SANE_String_Const desc, SANE_Value_Type type, SANE_Unit unit)
{
    SANE_Option_Descriptor d{};
    d.name = name;
    d.title = title;
    d.desc = desc;
    d.type = type;
    d.unit = unit;
    d.size = sizeof(SANE_Word);
    d.cap = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;
    return d;
}

SANE_Option_Descriptor choice(SANE_String_Const name, SANE_String_Const title,
                              SANE_String_Const desc, const SANE_String_Const *list)
{
    SANE_Option_Descriptor d = option(name, title, desc, SANE_TYPE_STRING, SANE_UNIT_NONE);
    size_t longest = 0;
    for (const SANE_String_Const *s = list; *s; ++s)
        longest = std::max(longest, std::strlen(*s) + 1);
    d.size = SANE_Int(longest);
    d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    d.constraint.string_list = list;
    return d;
}

SANE_Option_Descriptor ranged(SANE_String_Const name, SANE_String_Const title,
                              SANE_String_Const desc, SANE_Unit unit, const SANE_Range *range)
{
    SANE_Option_Descriptor d = option(name, title, desc, SANE_TYPE_INT, unit);
    d.constraint_type = SANE_CONSTRAINT_RANGE;
    d.constraint.range = range;
    return d;
}

// The value the descriptor allows, as it is stored: a string by its index
// in the list.  False for a value outside the constraint.
bool allowed(const SANE_Option_Descriptor &d, const void *value, SANE_Word &stored)
{
    if (d.type == SANE_TYPE_STRING) {
        const char *text = static_cast<const char *>(value);
        for (SANE_Word i = 0; d.constraint.string_list[i]; ++i)
            if (std::strcmp(text, d.constraint.string_list[i]) == 0) {
                stored = i;
                return true;
            }
        return false;
    }
    stored = *static_cast<const SANE_Word *>(value);
    switch (d.constraint_type) {
    case SANE_CONSTRAINT_RANGE:
        return stored >= d.constraint.range->min && stored <= d.constraint.range->max;
    case SANE_CONSTRAINT_WORD_LIST: {
        const SANE_Word *list = d.constraint.word_list;
        return std::find(list + 1, list + 1 + list[0], stored) != list + 1 + list[0];
    }
    default:
        return d.type != SANE_TYPE_BOOL || stored == SANE_FALSE || stored == SANE_TRUE;
    }
}

void setActive(SANE_Option_Descriptor &d, bool active)
{
    d.cap = active ? d.cap & ~SANE_CAP_INACTIVE : d.cap | SANE_CAP_INACTIVE;
}

} // namespace

Options::Options(Camera &camera) : camera_(camera)
{
    percent_ = {0, 100, 1};
    timeout_ = {1, kLongestPageTimeout, 1};
    listResolutions();
    describe();
    values_[kOptionCount] = kOptions;
    values_[kMode] = 0;
    values_[kResolution] = resolutions_.empty() ? 0 : resolutions_.back().dpi;
    values_[kSource] = SANE_Word(Source::Page);
    values_[kPageTimeout] = kDefaultPageTimeout;
    values_[kClearBackground] = SANE_FALSE;
    readControl(kBrightness, camera_.brightness());
    readControl(kContrast, camera_.contrast());
    fitGeometry();
    showGeometry();
}

// Each frame size by its resolution, lowest first; of sizes that give the
// same resolution the larger frame.
void Options::listResolutions()
{
    for (const FrameSize &size : camera_.sizes()) {
        const Resolution r{a4Resolution(size), size};
        const auto same = std::find_if(resolutions_.begin(), resolutions_.end(),
                                       [&](const Resolution &o) { return o.dpi == r.dpi; });
        if (same == resolutions_.end())
            resolutions_.push_back(r);
        else if (int64_t(size.width) * size.height > int64_t(same->size.width) * same->size.height)
            *same = r;
    }
    std::sort(resolutions_.begin(), resolutions_.end(),
              [](const Resolution &a, const Resolution &b) { return a.dpi < b.dpi; });
    resolutionList_.assign(1, SANE_Word(resolutions_.size()));
    for (const Resolution &r : resolutions_)
        resolutionList_.push_back(r.dpi);
}

void Options::describe()
{
    SANE_Option_Descriptor &count = descriptors_[kOptionCount];
    count = option(SANE_NAME_NUM_OPTIONS, SANE_TITLE_NUM_OPTIONS, SANE_DESC_NUM_OPTIONS,
                   SANE_TYPE_INT, SANE_UNIT_NONE);
    count.cap = SANE_CAP_SOFT_DETECT;
    descriptors_[kModeGroup] = group(SANE_I18N("Scan Mode"));
    descriptors_[kMode] =
        choice(SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE, kModes);
    SANE_Option_Descriptor &resolution = descriptors_[kResolution];
    resolution = option(SANE_NAME_SCAN_RESOLUTION, SANE_TITLE_SCAN_RESOLUTION,
                        "The density of an A4 page that fills the camera's view; each "
                        "choice is one of the camera's frame sizes",
                        SANE_TYPE_INT, SANE_UNIT_DPI);
    resolution.constraint_type = SANE_CONSTRAINT_WORD_LIST;
    resolution.constraint.word_list = resolutionList_.data();
    descriptors_[kSource] = choice(SANE_NAME_SCAN_SOURCE, SANE_TITLE_SCAN_SOURCE,
                                   "Page: the page in view, cut out and laid flat. Whole frame: "
                                   "what the camera sees. Automatic: each scan waits for a new "
                                   "page laid still under the camera. Book: the pages of an open "
                                   "book, one a scan, in reading order from the left. Flatbed "
                                   "is Page and ADF is Automatic, by the names scanning "
                                   "programs look for",
                                   kSources);
    descriptors_[kPageTimeout] =
        ranged(kPageTimeoutName, SANE_I18N("Page timeout (seconds)"),
               "How many seconds the Automatic source waits for a new page before it reports "
               "that no more pages come",
               SANE_UNIT_NONE, &timeout_);
    descriptors_[kEnhancementGroup] = group(SANE_I18N("Enhancement"));
    descriptors_[kClearBackground] =
        option(kClearBackgroundName, SANE_I18N("Clear background"),
               "Whiten the paper and even out the light before the page is cut", SANE_TYPE_BOOL,
               SANE_UNIT_NONE);
    descriptors_[kBrightness] = ranged(SANE_NAME_BRIGHTNESS, SANE_TITLE_BRIGHTNESS,
                                       SANE_DESC_BRIGHTNESS, SANE_UNIT_PERCENT, &percent_);
    descriptors_[kContrast] = ranged(SANE_NAME_CONTRAST, SANE_TITLE_CONTRAST, SANE_DESC_CONTRAST,
                                     SANE_UNIT_PERCENT, &percent_);
    descriptors_[kGeometryGroup] = group(SANE_I18N("Geometry"));
    descriptors_[kTopLeftX] = ranged(SANE_NAME_SCAN_TL_X, SANE_TITLE_SCAN_TL_X, SANE_DESC_SCAN_TL_X,
                                     SANE_UNIT_PIXEL, &across_);
    descriptors_[kTopLeftY] = ranged(SANE_NAME_SCAN_TL_Y, SANE_TITLE_SCAN_TL_Y, SANE_DESC_SCAN_TL_Y,
                                     SANE_UNIT_PIXEL, &down_);
    descriptors_[kBottomRightX] = ranged(SANE_NAME_SCAN_BR_X, SANE_TITLE_SCAN_BR_X,
                                         SANE_DESC_SCAN_BR_X, SANE_UNIT_PIXEL, &across_);
    descriptors_[kBottomRightY] = ranged(SANE_NAME_SCAN_BR_Y, SANE_TITLE_SCAN_BR_Y,
                                         SANE_DESC_SCAN_BR_Y, SANE_UNIT_PIXEL, &down_);
}

// A control the camera does not report stays inactive.
void Options::readControl(Option option, int value)
{
    setActive(descriptors_[option], value >= 0);
    values_[option] = value < 0 ? 0 : SANE_Word(std::lround(value * 100.0 / kControlScale));
}

// The geometry spans the frame of the chosen resolution, all of it when
// that changes; the bottom-right corner lies just outside the area, so
// that the area is br-x - tl-x pixels wide.
void Options::fitGeometry()
{
    const FrameSize size = frameSize();
    across_ = {0, size.width, 1};
    down_ = {0, size.height, 1};
    values_[kTopLeftX] = 0;
    values_[kTopLeftY] = 0;
    values_[kBottomRightX] = across_.max;
    values_[kBottomRightY] = down_.max;
}

// The geometry belongs to the whole frame; the page timeout to Automatic.
void Options::showGeometry()
{
    const bool whole = source() == Source::WholeFrame;
    for (const Option o : {kTopLeftX, kTopLeftY, kBottomRightX, kBottomRightY})
        setActive(descriptors_[o], whole);
    setActive(descriptors_[kPageTimeout], source() == Source::Automatic);
}

const SANE_Option_Descriptor *Options::descriptor(SANE_Int option) const
{
    return option >= 0 && option < kOptions ? &descriptors_[option] : nullptr;
}

SANE_Status Options::get(SANE_Int option, void *value) const
{
    const SANE_Option_Descriptor *d = descriptor(option);
    if (!d || d->type == SANE_TYPE_GROUP || !value)
        return SANE_STATUS_INVAL;
    if (d->type == SANE_TYPE_STRING)
        std::strcpy(static_cast<char *>(value), d->constraint.string_list[values_[option]]);
    else
        *static_cast<SANE_Word *>(value) = values_[option];
    return SANE_STATUS_GOOD;
}

SANE_Status Options::set(SANE_Int option, void *value, SANE_Int *info)
{
    const SANE_Option_Descriptor *d = descriptor(option);
    SANE_Word stored = 0;
    if (!d || !SANE_OPTION_IS_SETTABLE(d->cap) || !SANE_OPTION_IS_ACTIVE(d->cap) || !value ||
        !allowed(*d, value, stored))
        return SANE_STATUS_INVAL;
    if (option == kBrightness || option == kContrast) {
        const SANE_Status status = setControl(Option(option), stored);
        if (status != SANE_STATUS_GOOD)
            return status;
    }
    const bool changed = values_[option] != stored;
    values_[option] = stored;
    if (changed && (option == kResolution || option == kSource)) {
        if (option == kResolution)
            fitGeometry();
        showGeometry();
        if (info)
            *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
    } else if (changed && info && option != kBrightness && option != kContrast &&
               option != kPageTimeout) {
        *info |= SANE_INFO_RELOAD_PARAMS;
    }
    return SANE_STATUS_GOOD;
}

SANE_Status Options::setControl(Option option, SANE_Word percent)
{
    const int value = int(std::lround(percent * double(kControlScale) / 100));
    const bool set =
        option == kBrightness ? camera_.setBrightness(value) : camera_.setContrast(value);
    return set ? SANE_STATUS_GOOD : SANE_STATUS_IO_ERROR;
}

bool Options::grey() const
{
    return values_[kMode] == 1;
}

Source Options::source() const
{
    return kSourceOf[values_[kSource]];
}

FrameSize Options::frameSize() const
{
    for (const Resolution &r : resolutions_)
        if (r.dpi == values_[kResolution])
            return r.size;
    return {};
}

Area Options::area() const
{
    const int left = std::min(values_[kTopLeftX], values_[kBottomRightX]);
    const int top = std::min(values_[kTopLeftY], values_[kBottomRightY]);
    const int right = std::max(values_[kTopLeftX], values_[kBottomRightX]);
    const int bottom = std::max(values_[kTopLeftY], values_[kBottomRightY]);
    // At least a pixel, inside the frame.
    const FrameSize size = frameSize();
    const int x = std::min(left, std::max(0, size.width - 1));
    const int y = std::min(top, std::max(0, size.height - 1));
    return {x, y, std::max(1, right - x), std::max(1, bottom - y)};
}

} // namespace zq::sane
