#include "device.h"

#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <chrono>
#include <new>

namespace zq::sane
{
namespace
{

int64_t steadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Cuts with one of the library's cutters, asking for the size first (a
// page seen in perspective may come out larger than the frame); an empty
// picture when it cannot.  cut(buffer, size, &width, &height).
template <typename Cut> Picture cutOut(Cut &&cut, bool grey)
{
    int width = 0;
    int height = 0;
    if (cut(nullptr, 0, &width, &height) != 0 || width <= 0 || height <= 0)
        return {};
    const size_t size = size_t(width) * size_t(height) * 3;
    if (size > size_t(INT32_MAX))
        return {};
    std::unique_ptr<unsigned char[]> rgb(new (std::nothrow) unsigned char[size]);
    if (!rgb || cut(rgb.get(), int(size), &width, &height) != 0)
        return {};
    return Picture(std::move(rgb), width, height, grey);
}

} // namespace

SANE_Status Device::open(int index, std::unique_ptr<Device> &device)
{
    Camera *camera = nullptr;
    SANE_Status status = Camera::open(index, camera);
    if (status != SANE_STATUS_GOOD)
        return status;
    device.reset(new Device(std::unique_ptr<Camera>(camera)));
    status = device->camera_->stream(device->options_.frameSize());
    if (status != SANE_STATUS_GOOD)
        device.reset();
    return status;
}

Device::Device(std::unique_ptr<Camera> camera) : camera_(std::move(camera)), options_(*camera_) {}

SANE_Status Device::start()
{
    // A cancelled scan has ended, whether or not its end was read.
    if (scanning_ && !cancelled_)
        return SANE_STATUS_DEVICE_BUSY;
    scanning_ = false;
    cancelled_ = false;
    picture_ = Picture();
    SANE_Status status = camera_->stream(options_.frameSize());
    if (status != SANE_STATUS_GOOD)
        return status;
    switch (options_.source()) {
    case Source::Page:
        status = scanPage();
        break;
    case Source::WholeFrame:
        status = scanWholeFrame();
        break;
    case Source::Automatic:
        status = scanNewPage();
        break;
    case Source::Book:
        status = scanBookPage();
        break;
    }
    if (status != SANE_STATUS_GOOD)
        return status;
    scanning_ = true;
    lastWidth_ = picture_.width();
    lastHeight_ = picture_.height();
    return SANE_STATUS_GOOD;
}

// A frame as the window sees it: grey already in grey mode.
SANE_Status Device::frame(Frame &f, bool fresh)
{
    const SANE_Status status =
        fresh ? camera_->freshFrame(cancelled_, f) : camera_->nextFrame(cancelled_, f);
    if (status == SANE_STATUS_GOOD && options_.grey())
        zq_scanner_picture_gray(f.rgb, f.width, f.height);
    return status;
}

SANE_Status Device::scanPage()
{
    Frame f;
    const SANE_Status status = frame(f, true);
    if (status != SANE_STATUS_GOOD)
        return status;
    zq_scanner_cutting_edge_auto(f.rgb, f.width, f.height);
    picture_ = capture(f);
    return picture_.empty() ? SANE_STATUS_NO_MEM : SANE_STATUS_GOOD;
}

SANE_Status Device::scanWholeFrame()
{
    Frame f;
    const SANE_Status status = frame(f, true);
    if (status != SANE_STATUS_GOOD)
        return status;
    if (options_.clearBackground())
        zq_scanner_clear_background(f.rgb, f.width, f.height);
    picture_ = wholeFrame(f, options_.area());
    return SANE_STATUS_GOOD;
}

// Automatic capture's stillness watch, fed with every frame until it says
// a new page lies still, or until the page timeout.
SANE_Status Device::scanNewPage()
{
    const int64_t giveUp = steadyMilliseconds() + int64_t(options_.pageTimeoutSeconds()) * 1000;
    for (bool fresh = true;; fresh = false) {
        Frame f;
        const SANE_Status status = frame(f, fresh);
        if (status != SANE_STATUS_GOOD)
            return status;
        CuttingEdgeInfo outline{};
        const bool found = zq_scanner_cutting_edge_auto(f.rgb, f.width, f.height) == 0 &&
                           zq_scanner_cutting_edge_get(&outline) == 0;
        const int64_t now = steadyMilliseconds();
        if (watch_.observe(f.rgb, f.width, f.height, found ? outline.point : nullptr, now) ==
            StillnessDetector::Verdict::Ready) {
            picture_ = capture(f);
            if (picture_.empty())
                return SANE_STATUS_NO_MEM;
            watch_.markTaken();
            return SANE_STATUS_GOOD;
        }
        if (now >= giveUp)
            return SANE_STATUS_NO_DOCS;
    }
}

// A spread gives its left page now and its right one at the next start.
SANE_Status Device::scanBookPage()
{
    if (!secondBookPage_.empty()) {
        picture_ = std::move(secondBookPage_);
        secondBookPage_ = Picture();
        return SANE_STATUS_GOOD;
    }
    Frame f;
    const SANE_Status status = frame(f, true);
    if (status != SANE_STATUS_GOOD)
        return status;
    const int pages = zq_scanner_book_find(f.rgb, f.width, f.height);
    if (options_.clearBackground())
        zq_scanner_clear_background(f.rgb, f.width, f.height);
    if (pages <= 0) {
        picture_ = wholeFrame(f, {0, 0, f.width, f.height});
        return SANE_STATUS_GOOD;
    }
    picture_ = cutBookPage(f, 0);
    if (pages == 2)
        secondBookPage_ = cutBookPage(f, 1);
    return picture_.empty() || (pages == 2 && secondBookPage_.empty()) ? SANE_STATUS_NO_MEM
                                                                       : SANE_STATUS_GOOD;
}

// The page the window captures from the frame the detector last looked
// at: the background whitened when asked, the page cut flat, or the whole
// frame when no page was found.
Picture Device::capture(Frame &f)
{
    if (options_.clearBackground())
        zq_scanner_clear_background(f.rgb, f.width, f.height);
    Picture page = cutOut(
        [&](unsigned char *out, int size, int *w, int *h) {
            return zq_scanner_cutting_edge_do(f.rgb, f.width, f.height, out, size, w, h);
        },
        options_.grey());
    return page.empty() ? wholeFrame(f, {0, 0, f.width, f.height}) : std::move(page);
}

Picture Device::cutBookPage(const Frame &f, int page)
{
    return cutOut(
        [&](unsigned char *out, int size, int *w, int *h) {
            return zq_scanner_book_page_do(f.rgb, f.width, f.height, page, 1, out, size, w, h);
        },
        options_.grey());
}

Picture Device::wholeFrame(const Frame &f, Area area) const
{
    return Picture(f.rgb, f.width, area, options_.grey());
}

SANE_Status Device::parameters(SANE_Parameters &p) const
{
    if (scanning_) {
        p = picture_.parameters();
        return SANE_STATUS_GOOD;
    }
    const bool cut = options_.source() != Source::WholeFrame;
    const FrameSize size = options_.frameSize();
    const Area area = cut ? Area{0, 0, size.width, size.height} : options_.area();
    const bool guessed = cut && lastWidth_ > 0;
    p = Picture::parameters(guessed ? lastWidth_ : area.width, guessed ? lastHeight_ : area.height,
                            options_.grey());
    return SANE_STATUS_GOOD;
}

SANE_Status Device::read(SANE_Byte *data, SANE_Int max, SANE_Int *length)
{
    *length = 0;
    if (cancelled_) {
        scanning_ = false;
        picture_ = Picture();
        return SANE_STATUS_CANCELLED;
    }
    if (!scanning_)
        return SANE_STATUS_INVAL;
    picture_.read(data, max, length);
    if (*length > 0)
        return SANE_STATUS_GOOD;
    scanning_ = false;
    picture_ = Picture();
    return SANE_STATUS_EOF;
}

} // namespace zq::sane
