// A virtual UVC document camera: the driver's side (native formats and
// frame sizes, format negotiation like the UVC driver, frames as real
// MJPEG, YUYV or RGB24 bytes, streaming with the V4L2 queue rules) and,
// for the libv4l2 calls, the real libv4lconvert in front of it
// (Libv4l2Layer); controls on libv4l2's 0..65535 scale, and injected
// faults.
#ifndef ZQ_SIM_VIRTUAL_CAMERA_H
#define ZQ_SIM_VIRTUAL_CAMERA_H

#include "libv4l2_layer.h"
#include "native_frames.h"
#include "scene.h"

#include <linux/videodev2.h>

#include <chrono>
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

// A time the camera is away, as a loose cable makes it: from `start`
// seconds after the camera was placed, for `seconds`, again every `period`.
struct Outage {
    enum Kind { Stall, Unplug } kind;
    double start;
    double seconds;
    double period;
};

struct CameraConfig {
    // Content of the sysfs modalias file; nullopt: no such file.
    std::optional<std::string> modalias = "usb:v0AC8p3370d0100dcEFdsc02dp01ic0Eisc01ip00in00";
    bool modaliasReadable = true;
    std::string driver = "uvcvideo"; // libv4lconvert picks formats its own way for it
    // The name VIDIOC_QUERYCAP gives (uvcvideo: the USB product string).
    std::string card = "Virtual Document Camera";
    uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    std::vector<NativeFormat> formats;
    SizeMatch sizeMatch = SizeMatch::SharedArea;
    uint32_t grantedBuffers = 4;        // what VIDIOC_REQBUFS grants for any non-zero request
    uint32_t bytesPerLinePadding = 0;   // extra bytes per row of an uncompressed format
    uint32_t bufferLengthShortfall = 0; // QUERYBUF reports this much less than a frame
    uint32_t bytesUsedShortfall = 0;    // DQBUF reports this much less than a frame
    std::vector<Control> controls;
    Picture picture = Picture::Page;
    PageScene scene;
    int sensorNoise = 2;                 // the largest change of a byte from frame to frame
    std::shared_ptr<FrameScript> script; // when set, draws every frame instead of scene
    std::vector<Outage> outages;         // on the real clock, for the demo

    // A document camera: MJPEG with several sizes, then YUYV with one,
    // brightness, contrast and saturation 0..255.
    static CameraConfig documentCamera();
    // Document cameras as sold: YUYV at the small sizes, which USB 2.0
    // carries at a usable frame rate, MJPEG up to 3264 x 2448 (8 MP) or
    // 4208 x 3120 (13 MP).
    static CameraConfig eightMegapixelCamera();
    static CameraConfig thirteenMegapixelCamera();
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
    // An unplugged camera's node and sysfs entry are gone and its open
    // descriptors fail with ENODEV, until it is plugged in again.
    void unplug() { unplugged_ = true; }
    void plugIn() { unplugged_ = false; }
    bool unplugged() const { return unplugged_ || away(Outage::Unplug); }
    void stopFrames(bool stopped = true) { stalled_ = stopped; }
    bool stalled() const { return stalled_ || away(Outage::Stall); }
    // The next count frames lose their first bytes on the way, as when
    // the start of a transfer is lost: they are no JPEG files any more.
    void sendBrokenFrames(int count) { brokenFrames_ = count; }

    // What tests look at.
    uint32_t width() const { return format_.width; }
    uint32_t height() const { return format_.height; }
    bool streaming() const { return streaming_; }
    uint32_t pixelFormat() const { return format_.pixelformat; }
    // Buffers the program has mapped, libv4l2's or the camera's own.
    int mappedBuffers() const;
    int badUnmaps() const { return badUnmaps_; }
    int framesDelivered() const { return framesDelivered_; }
    int requestCount(unsigned long request) const;
    int controlValue(uint32_t id) const;
    // The picture the camera looks at, RGB24 at the streaming size.
    const std::vector<uint8_t> &picture();
    // The bytes the camera sends as frame `sequence` of the stream (frames
    // count from 0; framesDelivered() is the next one).
    const std::vector<uint8_t> &nativeFrame(uint32_t sequence);
    // The last whole frame as a program reading through libv4l2 received
    // it: converted when libv4l2 converts, else the camera's own bytes.
    std::vector<uint8_t> lastFrame();

    // The driver's side, for the plain calls and for libv4l2.  Each returns
    // 0 or -1 with errno set.
    int driverIoctl(unsigned long request, void *arg);
    void *mmap(size_t length, int64_t offset);
    int munmap(void *start, size_t length);
    uint8_t *bufferMemory(uint32_t index) { return slots_[index].memory; }
    int poll(short events, short &revents);
    int getControl(int cid);
    int setControl(int cid, int value);
    bool injectFault(unsigned long request);

    // libv4l2 in front of the camera, for one program: made by an open
    // through libv4l2 (false when that open fails) or by the first call.
    bool openThroughLibv4l2();
    Libv4l2Layer &libv4l2();
    int v4l2Ioctl(unsigned long request, void *arg) { return libv4l2().ioctl(request, arg); }
    void release(); // the descriptor was closed

  private:
    template <class Answerer>
    friend std::optional<int> answerBufferRequest(Answerer &, unsigned long, void *);

    struct Slot {
        uint8_t *memory = nullptr;
        size_t length = 0;
        bool queued = false;
        int maps = 0;
    };

    bool away(Outage::Kind kind) const;
    int enumFormat(v4l2_fmtdesc &desc) const;
    int enumFrameSizes(v4l2_frmsizeenum &size) const;
    int tryFormat(v4l2_format &fmt) const;
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
    void forgetPicture();
    // Writes the next frame into the slot; its size in bytes.
    size_t sendFrame(Slot &slot);

    CameraConfig config_;
    v4l2_pix_format format_{};
    std::vector<Slot> slots_;
    std::deque<uint32_t> queue_;
    std::map<uint32_t, int> controlValues_;
    std::map<unsigned long, int> requestCounts_;
    std::vector<Fault> faults_;
    std::vector<uint8_t> picture_;
    std::unique_ptr<NativeFrames> frames_;
    std::unique_ptr<Libv4l2Layer> libv4l2_;
    std::optional<uint32_t> lastSent_; // sequence of the last whole frame
    bool streaming_ = false;
    bool unplugged_ = false;
    bool stalled_ = false;
    std::chrono::steady_clock::time_point placed_ = std::chrono::steady_clock::now();
    int brokenFrames_ = 0;
    int mapped_ = 0;
    int badUnmaps_ = 0;
    int framesDelivered_ = 0;
};

} // namespace zq::sim

#endif
