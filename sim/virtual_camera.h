// A virtual UVC document camera as libzqscan sees it through libv4l2:
// native formats and frame sizes for the plain ioctl, RGB24 at the nearest
// native size through the libv4l2 calls, streaming with the V4L2 queue
// rules, controls on libv4l2's 0..65535 scale, and injected faults.
#ifndef ZQ_SIM_VIRTUAL_CAMERA_H
#define ZQ_SIM_VIRTUAL_CAMERA_H

#include "scene.h"

#include <linux/videodev2.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zq::sim
{

class FrameScript; // desk_script.h

struct FrameSize {
    uint32_t type = V4L2_FRMSIZE_TYPE_DISCRETE;
    uint32_t width = 0, height = 0;       // discrete size, or the range's minimum
    uint32_t maxWidth = 0, maxHeight = 0; // stepwise and continuous ranges
    uint32_t stepWidth = 1, stepHeight = 1;

    static FrameSize discrete(uint32_t w, uint32_t h) { return {V4L2_FRMSIZE_TYPE_DISCRETE, w, h}; }
    static FrameSize stepwise(uint32_t minW, uint32_t minH, uint32_t maxW, uint32_t maxH,
                              uint32_t stepW, uint32_t stepH)
    {
        return {V4L2_FRMSIZE_TYPE_STEPWISE, minW, minH, maxW, maxH, stepW, stepH};
    }
    static FrameSize continuous(uint32_t minW, uint32_t minH, uint32_t maxW, uint32_t maxH)
    {
        return {V4L2_FRMSIZE_TYPE_CONTINUOUS, minW, minH, maxW, maxH, 1, 1};
    }
};

struct NativeFormat {
    uint32_t fourcc;
    std::vector<FrameSize> sizes;
};

struct Control {
    uint32_t id;
    int32_t minimum, maximum, step, defaultValue;
    uint32_t flags = 0; // V4L2_CTRL_FLAG_DISABLED, V4L2_CTRL_FLAG_GRABBED
};

// Special request codes for fault injection of calls that are not ioctls.
constexpr unsigned long kRequestOpen = 0xF0000001;
constexpr unsigned long kRequestMmap = 0xF0000002;
constexpr unsigned long kRequestPoll = 0xF0000003;

// What the camera's frames show.
enum class Picture {
    Page,       // the page scene below
    ColourBars, // the 75 % colour bars of a driver's test pattern
};

// How the driver picks the frame size for a request it cannot grant exactly.
enum class SizeMatch {
    SharedArea,       // the UVC driver: least area the two rectangles do not share
    SumOfDifferences, // the V4L2 core's helper: least |dw| + |dh|, the later size on a tie
};

struct CameraConfig {
    // Content of the sysfs modalias file; nullopt: no such file.
    std::optional<std::string> modalias = "usb:v0AC8p3370d0100dcEFdsc02dp01ic0Eisc01ip00in00";
    bool modaliasReadable = true;
    uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::vector<NativeFormat> formats;
    SizeMatch sizeMatch = SizeMatch::SharedArea;
    uint32_t grantedBuffers = 4;        // what VIDIOC_REQBUFS grants for any non-zero request
    bool convertsToRgb24 = true;        // false: S_FMT grants the first native format instead
    uint32_t bytesPerLinePadding = 0;   // extra bytes per row in the granted format
    uint32_t bufferLengthShortfall = 0; // QUERYBUF reports this much less than a frame
    uint32_t bytesUsedShortfall = 0;    // DQBUF reports this much less than a frame
    std::vector<Control> controls;
    Picture picture = Picture::Page;
    PageScene scene;
    std::shared_ptr<FrameScript> script; // when set, draws every frame instead of scene

    // A document camera: MJPEG with several sizes, then YUYV with one,
    // brightness, contrast and saturation 0..255.
    static CameraConfig documentCamera();
};

struct Fault {
    unsigned long request;
    int nth; // 1 = the next such request
    int errnum;
};

class VirtualCamera
{
  public:
    explicit VirtualCamera(CameraConfig config);
    ~VirtualCamera();
    VirtualCamera(const VirtualCamera &) = delete;
    VirtualCamera &operator=(const VirtualCamera &) = delete;

    CameraConfig &config() { return config_; }
    const CameraConfig &config() const { return config_; }
    void setScene(const PageScene &scene);

    // Faults.
    void failRequest(unsigned long request, int nth, int errnum);
    void unplug() { unplugged_ = true; }
    void stopFrames(bool stopped = true) { stalled_ = stopped; }

    // What tests look at.
    uint32_t width() const { return format_.width; }
    uint32_t height() const { return format_.height; }
    bool streaming() const { return streaming_; }
    int mappedBuffers() const { return mapped_; }
    int badUnmaps() const { return badUnmaps_; }
    int framesDelivered() const { return framesDelivered_; }
    int requestCount(unsigned long request) const;
    int controlValue(uint32_t id) const;
    const std::vector<uint8_t> &lastFrame() const { return rendered_; }

    // The calls, as the seam routes them.  Each returns 0 or -1 with errno set.
    int plainIoctl(unsigned long request, void *arg);
    int v4l2Ioctl(unsigned long request, void *arg);
    void *mmap(size_t length, int64_t offset);
    int munmap(void *start, size_t length);
    int poll(short events, short &revents);
    int getControl(int cid);
    int setControl(int cid, int value);
    bool injectFault(unsigned long request);
    void release(); // the descriptor was closed

  private:
    struct Slot {
        uint8_t *memory = nullptr;
        size_t length = 0;
        bool queued = false;
        int maps = 0;
    };

    int enumFormat(v4l2_fmtdesc &desc) const;
    int enumFrameSizes(v4l2_frmsizeenum &size) const;
    int setFormat(v4l2_format &fmt);
    int requestBuffers(v4l2_requestbuffers &req);
    int queryBuffer(v4l2_buffer &buf) const;
    int queueBuffer(const v4l2_buffer &buf);
    int dequeueBuffer(v4l2_buffer &buf);
    int streamOn();
    int streamOff();
    int queryControl(v4l2_queryctrl &q) const;
    Control *findControl(uint32_t id);
    void freeSlots();
    size_t frameBytes() const { return size_t(format_.bytesperline) * format_.height; }
    void renderFrame(uint8_t *into);

    CameraConfig config_;
    v4l2_pix_format format_{};
    std::vector<Slot> slots_;
    std::deque<uint32_t> queue_;
    std::map<uint32_t, int> controlValues_;
    std::map<unsigned long, int> requestCounts_;
    std::vector<Fault> faults_;
    std::vector<uint8_t> rendered_;
    bool renderedValid_ = false;
    bool streaming_ = false;
    bool unplugged_ = false;
    bool stalled_ = false;
    int mapped_ = 0;
    int badUnmaps_ = 0;
    int framesDelivered_ = 0;
};

} // namespace zq::sim

#endif
