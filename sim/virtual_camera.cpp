#include "virtual_camera.h"

#include "buffer_requests.h"
#include "desk_script.h"
#include "test_pattern.h"

#include <poll.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zq::sim
{
namespace
{

int fail(int errnum)
{
    errno = errnum;
    return -1;
}

// How far an offered size w x h is from the requested rw x rh.
long long sizeDistance(SizeMatch rule, uint32_t w, uint32_t h, uint32_t rw, uint32_t rh)
{
    if (rule == SizeMatch::SumOfDifferences)
        return std::llabs((long long)w - rw) + std::llabs((long long)h - rh);
    const long long shared = (long long)std::min(w, rw) * std::min(h, rh);
    return (long long)w * h + (long long)rw * rh - 2 * shared;
}

// Whether a candidate at distance d replaces the best one so far.
bool closer(SizeMatch rule, long long d, long long best)
{
    return rule == SizeMatch::SumOfDifferences ? d <= best : d < best;
}

uint32_t clampToStep(uint32_t value, uint32_t min, uint32_t max, uint32_t step)
{
    value = std::clamp(value, min, max);
    step = std::max<uint32_t>(step, 1);
    return min + (value - min) / step * step;
}

// The size a frame-size entry offers closest to the request.
void candidateFor(const FrameSize &s, uint32_t rw, uint32_t rh, uint32_t &w, uint32_t &h)
{
    if (s.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        w = s.width;
        h = s.height;
    } else {
        w = clampToStep(rw, s.width, s.maxWidth, s.stepWidth);
        h = clampToStep(rh, s.height, s.maxHeight, s.stepHeight);
    }
}

bool isCompressed(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG ||
           fourcc == V4L2_PIX_FMT_H264;
}

// Bytes per pixel of an uncompressed format: the RGB24 family 3, the rest
// as the packed 4:2:2 formats (the camera sends black for formats it only
// lists, so their exact layout does not matter).
uint32_t bytesPerPixel(uint32_t fourcc)
{
    return fourcc == V4L2_PIX_FMT_RGB24 || fourcc == V4L2_PIX_FMT_BGR24 ? 3 : 2;
}

// The format a driver describes for fourcc at w x h: compressed frames
// come in buffers of two bytes a pixel, as UVC cameras announce them.
void describeFormat(v4l2_pix_format &pix, uint32_t fourcc, uint32_t w, uint32_t h, uint32_t padding)
{
    pix.width = w;
    pix.height = h;
    pix.pixelformat = fourcc;
    pix.field = V4L2_FIELD_NONE;
    pix.bytesperline = isCompressed(fourcc) ? 0 : w * bytesPerPixel(fourcc) + padding;
    pix.sizeimage = isCompressed(fourcc) ? w * h * 2 : pix.bytesperline * h;
    pix.colorspace = V4L2_COLORSPACE_SRGB;
}

CameraConfig withDocumentControls(std::vector<NativeFormat> formats)
{
    CameraConfig c;
    c.formats = std::move(formats);
    c.controls = {
        {V4L2_CID_BRIGHTNESS, 0, 255, 1, 128},
        {V4L2_CID_CONTRAST, 0, 255, 1, 128},
        {V4L2_CID_SATURATION, 0, 255, 1, 128},
    };
    return c;
}

} // namespace

CameraConfig CameraConfig::documentCamera()
{
    return withDocumentControls({
        {V4L2_PIX_FMT_MJPEG,
         {FrameSize::discrete(640, 480), FrameSize::discrete(1280, 720),
          FrameSize::discrete(1920, 1080), FrameSize::discrete(3264, 2448)}},
        {V4L2_PIX_FMT_YUYV, {FrameSize::discrete(640, 480)}},
    });
}

CameraConfig CameraConfig::eightMegapixelCamera()
{
    return withDocumentControls({
        {V4L2_PIX_FMT_YUYV, {FrameSize::discrete(640, 480), FrameSize::discrete(1280, 720)}},
        {V4L2_PIX_FMT_MJPEG,
         {FrameSize::discrete(1280, 720), FrameSize::discrete(1920, 1080),
          FrameSize::discrete(2592, 1944), FrameSize::discrete(3264, 2448),
          FrameSize::discrete(640, 480)}},
    });
}

CameraConfig CameraConfig::thirteenMegapixelCamera()
{
    CameraConfig c = eightMegapixelCamera();
    c.formats[1].sizes.insert(c.formats[1].sizes.end() - 1, FrameSize::discrete(4208, 3120));
    return c;
}

VirtualCamera::VirtualCamera(CameraConfig config) : config_(std::move(config))
{
    for (const Control &c : config_.controls)
        controlValues_[c.id] = c.defaultValue;
    // The first format's first size, until a program sets another.
    if (!config_.formats.empty() && !config_.formats[0].sizes.empty()) {
        const FrameSize &s = config_.formats[0].sizes[0];
        describeFormat(format_, config_.formats[0].fourcc, s.width, s.height,
                       config_.bytesPerLinePadding);
    }
}

VirtualCamera::~VirtualCamera()
{
    freeSlots();
}

void VirtualCamera::setScene(const PageScene &scene)
{
    config_.scene = scene;
    forgetPicture();
}

void VirtualCamera::forgetPicture()
{
    picture_.clear();
    frames_.reset();
    lastSent_.reset();
}

const std::vector<uint8_t> &VirtualCamera::picture()
{
    if (picture_.empty()) {
        const int w = int(format_.width), h = int(format_.height);
        picture_ = config_.script                           ? config_.script->render(w, h)
                   : config_.picture == Picture::ColourBars ? renderColourBars(w, h)
                                                            : renderScene(config_.scene, w, h);
    }
    return picture_;
}

std::vector<uint8_t> VirtualCamera::lastFrame()
{
    if (!lastSent_)
        return {};
    const std::vector<uint8_t> &frame = nativeFrame(*lastSent_);
    if (libv4l2_ && libv4l2_->converting())
        return libv4l2_->convert(frame);
    return frame;
}

bool VirtualCamera::openThroughLibv4l2()
{
    libv4l2_ = std::make_unique<Libv4l2Layer>(*this);
    return libv4l2_->opened();
}

Libv4l2Layer &VirtualCamera::libv4l2()
{
    if (!libv4l2_)
        libv4l2_ = std::make_unique<Libv4l2Layer>(*this);
    return *libv4l2_;
}

int VirtualCamera::mappedBuffers() const
{
    return mapped_ + (libv4l2_ ? libv4l2_->mappedBuffers() : 0);
}

void VirtualCamera::failRequest(unsigned long request, int nth, int errnum)
{
    faults_.push_back({request, requestCount(request) + nth, errnum});
}

int VirtualCamera::requestCount(unsigned long request) const
{
    const auto it = requestCounts_.find(request);
    return it == requestCounts_.end() ? 0 : it->second;
}

int VirtualCamera::controlValue(uint32_t id) const
{
    const auto it = controlValues_.find(id);
    return it == controlValues_.end() ? INT_MIN : it->second;
}

bool VirtualCamera::away(Outage::Kind kind) const
{
    const double now =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - placed_).count();
    for (const Outage &o : config_.outages)
        if (o.kind == kind && now >= o.start && std::fmod(now - o.start, o.period) < o.seconds)
            return true;
    return false;
}

// Counts the request and tells whether it is to fail; errno is set if so.
bool VirtualCamera::injectFault(unsigned long request)
{
    const int count = ++requestCounts_[request];
    if (unplugged()) {
        errno = ENODEV;
        return true;
    }
    for (const Fault &f : faults_)
        if (f.request == request && f.nth == count) {
            errno = f.errnum;
            return true;
        }
    return false;
}

int VirtualCamera::driverIoctl(unsigned long request, void *arg)
{
    if (injectFault(request))
        return -1;
    switch (request) {
    case VIDIOC_QUERYCAP: {
        auto *cap = static_cast<v4l2_capability *>(arg);
        std::memset(cap, 0, sizeof(*cap));
        std::snprintf(reinterpret_cast<char *>(cap->driver), sizeof(cap->driver), "%s",
                      config_.driver.c_str());
        std::snprintf(reinterpret_cast<char *>(cap->card), sizeof(cap->card), "%s",
                      config_.card.c_str());
        cap->capabilities = config_.capabilities | V4L2_CAP_DEVICE_CAPS;
        cap->device_caps = config_.capabilities;
        return 0;
    }
    case VIDIOC_ENUM_FMT:
        return enumFormat(*static_cast<v4l2_fmtdesc *>(arg));
    case VIDIOC_ENUM_FRAMESIZES:
        return enumFrameSizes(*static_cast<v4l2_frmsizeenum *>(arg));
    case VIDIOC_G_FMT: {
        auto *fmt = static_cast<v4l2_format *>(arg);
        if (fmt->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
            return fail(EINVAL);
        fmt->fmt.pix = format_;
        return 0;
    }
    case VIDIOC_TRY_FMT:
        return tryFormat(*static_cast<v4l2_format *>(arg));
    case VIDIOC_QBUF:
        return queueBuffer(*static_cast<v4l2_buffer *>(arg));
    case VIDIOC_STREAMON:
        return streamOn();
    case VIDIOC_STREAMOFF:
        return streamOff();
    case VIDIOC_QUERYCTRL:
        return queryControl(*static_cast<v4l2_queryctrl *>(arg));
    default:
        if (const std::optional<int> answer = answerBufferRequest(*this, request, arg))
            return *answer;
        return fail(ENOTTY);
    }
}

int VirtualCamera::enumFormat(v4l2_fmtdesc &desc) const
{
    if (desc.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || desc.index >= config_.formats.size())
        return fail(EINVAL);
    const uint32_t index = desc.index;
    std::memset(&desc, 0, sizeof(desc));
    desc.index = index;
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    desc.pixelformat = config_.formats[index].fourcc;
    if (desc.pixelformat == V4L2_PIX_FMT_MJPEG)
        desc.flags = V4L2_FMT_FLAG_COMPRESSED;
    std::memcpy(desc.description, &desc.pixelformat, 4);
    return 0;
}

int VirtualCamera::enumFrameSizes(v4l2_frmsizeenum &size) const
{
    const auto format =
        std::find_if(config_.formats.begin(), config_.formats.end(),
                     [&](const NativeFormat &f) { return f.fourcc == size.pixel_format; });
    if (format == config_.formats.end() || size.index >= format->sizes.size())
        return fail(EINVAL);
    const FrameSize &s = format->sizes[size.index];
    size.type = s.type;
    if (s.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        size.discrete.width = s.width;
        size.discrete.height = s.height;
    } else {
        size.stepwise = {s.width, s.maxWidth, s.stepWidth, s.height, s.maxHeight, s.stepHeight};
    }
    return 0;
}

// Like the UVC driver: a format the camera lacks becomes its first one,
// and the size is the format's nearest by the camera's rule.
int VirtualCamera::tryFormat(v4l2_format &fmt) const
{
    if (fmt.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || config_.formats.empty())
        return fail(EINVAL);
    const auto wanted =
        std::find_if(config_.formats.begin(), config_.formats.end(),
                     [&](const NativeFormat &f) { return f.fourcc == fmt.fmt.pix.pixelformat; });
    const NativeFormat &format = wanted == config_.formats.end() ? config_.formats[0] : *wanted;
    const uint32_t rw = fmt.fmt.pix.width, rh = fmt.fmt.pix.height;
    uint32_t bestW = 0, bestH = 0;
    long long best = LLONG_MAX;
    for (const FrameSize &s : format.sizes) {
        uint32_t w, h;
        candidateFor(s, rw, rh, w, h);
        const long long d = sizeDistance(config_.sizeMatch, w, h, rw, rh);
        if (closer(config_.sizeMatch, d, best)) {
            best = d;
            bestW = w;
            bestH = h;
        }
    }
    if (best == LLONG_MAX)
        return fail(EINVAL);
    describeFormat(fmt.fmt.pix, format.fourcc, bestW, bestH, config_.bytesPerLinePadding);
    return 0;
}

int VirtualCamera::setFormat(v4l2_format &fmt)
{
    if (!slots_.empty())
        return fail(EBUSY);
    if (tryFormat(fmt) != 0)
        return -1;
    // At the same format and size the frames made so far serve again.
    const v4l2_pix_format &pix = fmt.fmt.pix;
    if (pix.pixelformat != format_.pixelformat || pix.width != format_.width ||
        pix.height != format_.height || pix.bytesperline != format_.bytesperline)
        forgetPicture();
    format_ = pix;
    return 0;
}

int VirtualCamera::requestBuffers(v4l2_requestbuffers &req)
{
    if (req.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || req.memory != V4L2_MEMORY_MMAP)
        return fail(EINVAL);
    if (streaming_ || mapped_ > 0)
        return fail(EBUSY);
    freeSlots();
    if (req.count == 0)
        return 0;
    req.count = config_.grantedBuffers;
    slots_.resize(req.count);
    for (Slot &slot : slots_) {
        slot.length = format_.sizeimage;
        void *memory = ::mmap(nullptr, slot.length, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        slot.memory = memory == MAP_FAILED ? nullptr : static_cast<uint8_t *>(memory);
    }
    return 0;
}

void VirtualCamera::freeSlots()
{
    for (Slot &slot : slots_)
        if (slot.memory)
            ::munmap(slot.memory, slot.length);
    slots_.clear();
    queue_.clear();
}

int VirtualCamera::queryBuffer(v4l2_buffer &buf) const
{
    if (buf.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buf.index >= slots_.size())
        return fail(EINVAL);
    const Slot &slot = slots_[buf.index];
    buf.length = static_cast<uint32_t>(
        slot.length - std::min<size_t>(slot.length, config_.bufferLengthShortfall));
    buf.m.offset = buf.index * 0x100000u;
    buf.flags = slot.queued ? V4L2_BUF_FLAG_QUEUED : 0;
    return 0;
}

void *VirtualCamera::mmap(size_t length, int64_t offset)
{
    if (injectFault(kRequestMmap))
        return MAP_FAILED;
    const uint32_t index = static_cast<uint32_t>(offset / 0x100000);
    if (offset % 0x100000 || index >= slots_.size() || !slots_[index].memory ||
        length > slots_[index].length) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    ++slots_[index].maps;
    ++mapped_;
    return slots_[index].memory;
}

int VirtualCamera::munmap(void *start, size_t length)
{
    if (libv4l2_ && libv4l2_->munmap(start, length) == 0)
        return 0;
    for (Slot &slot : slots_)
        if (slot.memory == start && slot.maps > 0) {
            if (length > slot.length)
                break;
            --slot.maps;
            --mapped_;
            return 0;
        }
    ++badUnmaps_;
    return fail(EINVAL);
}

int VirtualCamera::queueBuffer(const v4l2_buffer &buf)
{
    if (buf.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || buf.memory != V4L2_MEMORY_MMAP ||
        buf.index >= slots_.size() || slots_[buf.index].queued)
        return fail(EINVAL);
    slots_[buf.index].queued = true;
    queue_.push_back(buf.index);
    return 0;
}

const std::vector<uint8_t> &VirtualCamera::nativeFrame(uint32_t sequence)
{
    if (!frames_)
        frames_ = std::make_unique<NativeFrames>(
            format_.pixelformat, picture(), int(format_.width), int(format_.height),
            format_.bytesperline, config_.picture == Picture::Page ? config_.sensorNoise : 0);
    return frames_->frame(sequence);
}

size_t VirtualCamera::sendFrame(Slot &slot)
{
    if (config_.script && config_.script->advance())
        forgetPicture();
    const uint32_t sequence = uint32_t(framesDelivered_);
    const std::vector<uint8_t> &frame = nativeFrame(sequence);
    const size_t bytes = std::min(frame.size(), slot.length);
    if (brokenFrames_ > 0) {
        --brokenFrames_;
        const size_t lost = std::min<size_t>(bytes, 4096);
        std::memcpy(slot.memory, frame.data() + lost, bytes - lost);
        return bytes - lost;
    }
    std::memcpy(slot.memory, frame.data(), bytes);
    lastSent_ = sequence;
    return bytes;
}

int VirtualCamera::dequeueBuffer(v4l2_buffer &buf)
{
    if (buf.type != V4L2_BUF_TYPE_VIDEO_CAPTURE || !streaming_)
        return fail(EINVAL);
    if (queue_.empty() || stalled())
        return fail(EAGAIN); // a blocking caller would wait here for ever
    const uint32_t index = queue_.front();
    queue_.pop_front();
    Slot &slot = slots_[index];
    slot.queued = false;
    const size_t bytes = sendFrame(slot);
    std::memset(&buf, 0, sizeof(buf));
    buf.index = index;
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.memory = V4L2_MEMORY_MMAP;
    buf.bytesused =
        static_cast<uint32_t>(bytes - std::min<size_t>(bytes, config_.bytesUsedShortfall));
    buf.length = static_cast<uint32_t>(slot.length);
    buf.m.offset = index * 0x100000u;
    buf.sequence = static_cast<uint32_t>(framesDelivered_++);
    buf.flags = V4L2_BUF_FLAG_MAPPED | V4L2_BUF_FLAG_DONE;
    return 0;
}

int VirtualCamera::streamOn()
{
    if (slots_.empty())
        return fail(EINVAL);
    streaming_ = true;
    return 0;
}

int VirtualCamera::streamOff()
{
    streaming_ = false;
    for (Slot &slot : slots_)
        slot.queued = false;
    queue_.clear();
    return 0;
}

int VirtualCamera::poll(short events, short &revents)
{
    revents = 0;
    if (injectFault(kRequestPoll))
        return errno == ENODEV ? (revents = POLLERR | POLLHUP, 1) : -1;
    if (!streaming_ || queue_.empty())
        revents = POLLERR;
    else if (!stalled())
        revents = events & (POLLIN | POLLRDNORM);
    return revents ? 1 : 0;
}

Control *VirtualCamera::findControl(uint32_t id)
{
    for (Control &c : config_.controls)
        if (c.id == id)
            return &c;
    return nullptr;
}

int VirtualCamera::queryControl(v4l2_queryctrl &q) const
{
    for (const Control &c : config_.controls)
        if (c.id == q.id) {
            q.type = V4L2_CTRL_TYPE_INTEGER;
            q.minimum = c.minimum;
            q.maximum = c.maximum;
            q.step = c.step;
            q.default_value = c.defaultValue;
            q.flags = c.flags;
            return 0;
        }
    return fail(EINVAL);
}

// libv4l2 maps its 0..65535 scale linearly onto the control's own range.
int VirtualCamera::getControl(int cid)
{
    if (injectFault(VIDIOC_G_CTRL))
        return -1;
    const Control *c = findControl(cid);
    if (!c || (c->flags & V4L2_CTRL_FLAG_DISABLED))
        return fail(EINVAL);
    const long long range = c->maximum - c->minimum;
    if (range == 0)
        return 0;
    return static_cast<int>(((controlValues_[cid] - (long long)c->minimum) * 65535 + range / 2) /
                            range);
}

int VirtualCamera::setControl(int cid, int value)
{
    if (injectFault(VIDIOC_S_CTRL))
        return -1;
    const Control *c = findControl(cid);
    if (!c)
        return fail(EINVAL);
    if (c->flags & (V4L2_CTRL_FLAG_DISABLED | V4L2_CTRL_FLAG_GRABBED))
        return 0;
    const long long range = c->maximum - c->minimum;
    const long long raw = ((long long)value * range + 32767) / 65535 + c->minimum;
    // Like the UVC driver, out-of-range values are clamped, not refused.
    controlValues_[cid] = static_cast<int>(std::clamp<long long>(raw, c->minimum, c->maximum));
    return 0;
}

// What the program still has mapped stays valid, as with the kernel's
// buffers and libv4l2's.
void VirtualCamera::release()
{
    streamOff();
    if (libv4l2_ && libv4l2_->mappedBuffers() == 0)
        libv4l2_.reset();
    if (mapped_ == 0)
        freeSlots();
}

} // namespace zq::sim
