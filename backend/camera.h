// One document camera through libzqscan, as a scan needs it: opened and
// streaming at one frame size, read frame by frame with a way out, and its
// brightness and contrast.
#ifndef ZQ_SANE_CAMERA_H
#define ZQ_SANE_CAMERA_H

#include <sane/sane.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace zq::sane
{

struct FrameSize {
    int width = 0;
    int height = 0;
};

// A frame in the driver's buffer: valid until the next read or close.
struct Frame {
    unsigned char *rgb = nullptr;
    int width = 0;
    int height = 0;
};

class Camera
{
  public:
    // Opens the camera of libzqscan's index; SANE_STATUS_DEVICE_BUSY when
    // another program streams from it.
    static SANE_Status open(int index, Camera *&camera);
    ~Camera();
    Camera(const Camera &) = delete;
    Camera &operator=(const Camera &) = delete;

    // The frame sizes the camera offers, in its own order.
    const std::vector<FrameSize> &sizes() const { return sizes_; }
    // Streams at the size (already streaming at it: nothing to do).
    SANE_Status stream(FrameSize size);
    FrameSize streamedSize() const { return size_; }

    // The next frame taken after the call: those that waited in the
    // driver's queue show the desk as it was, and are read and dropped.
    // Ends early with SANE_STATUS_CANCELLED once cancelled is set, and with
    // SANE_STATUS_IO_ERROR when the camera is gone or sends nothing.
    SANE_Status freshFrame(const std::atomic<bool> &cancelled, Frame &frame);
    // The frame after the last one read.
    SANE_Status nextFrame(const std::atomic<bool> &cancelled, Frame &frame);

    // Controls on libzqscan's scale of 0 to 65535; -1 when the camera has none.
    int brightness() const;
    int contrast() const;
    bool setBrightness(int value);
    bool setContrast(int value);

  private:
    Camera(int index, int fd);
    void readSizes();

    int index_;
    int fd_;
    bool streaming_ = false;
    FrameSize size_;
    std::vector<FrameSize> sizes_;
};

} // namespace zq::sane

#endif
