// One open camera as a SANE handle: its options, and the scans started
// on it, from the frame to the page the front end reads.
#ifndef ZQ_SANE_DEVICE_H
#define ZQ_SANE_DEVICE_H

#include "camera.h"
#include "options.h"
#include "picture.h"
#include "stillness.h"

#include <sane/sane.h>

#include <atomic>
#include <memory>

namespace zq::sane
{

class Device
{
  public:
    // Opens the camera of libzqscan's index and starts its stream, so that
    // a camera another program streams from is found busy here.
    static SANE_Status open(int index, std::unique_ptr<Device> &device);

    Options &options() { return options_; }
    bool scanning() const { return scanning_; }

    SANE_Status start();
    SANE_Status parameters(SANE_Parameters &p) const;
    SANE_Status read(SANE_Byte *data, SANE_Int max, SANE_Int *length);
    // Safe from a signal handler or another thread: it only raises a flag,
    // which the scan under way (a wait for a page, a read) sees.
    void cancel() { cancelled_ = true; }

  private:
    explicit Device(std::unique_ptr<Camera> camera);

    SANE_Status scanPage();
    SANE_Status scanWholeFrame();
    SANE_Status scanNewPage();
    SANE_Status scanBookPage();
    SANE_Status frame(Frame &f, bool fresh);
    Picture capture(Frame &f);
    Picture cutBookPage(const Frame &f, int page);
    Picture wholeFrame(const Frame &f, Area area) const;

    std::unique_ptr<Camera> camera_;
    Options options_;
    StillnessDetector watch_;
    Picture picture_;
    Picture secondBookPage_; // a spread's right page, for the next start
    std::atomic<bool> cancelled_{false};
    bool scanning_ = false;
    // The last page's size: the best guess of the next one's before it is seen.
    int lastWidth_ = 0;
    int lastHeight_ = 0;
};

} // namespace zq::sane

#endif
