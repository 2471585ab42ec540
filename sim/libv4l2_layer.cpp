#include "libv4l2_layer.h"

#include "buffer_requests.h"
#include "virtual_camera.h"

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace zq::sim
{
namespace
{

// libv4l2's figures: the offset that marks its own buffers for mmap, the
// frames at the start of a stream whose errors are always skipped, and
// how many frames in a row one dequeue tries.
constexpr uint32_t kOwnBufferOffset = 0xABCDEF00u;
constexpr int kIgnoredFirstFrameErrors = 3;
constexpr int kDequeueTries = kIgnoredFirstFrameErrors + 1;

// libv4lconvert's way to the device: the camera's own request handler.
int deviceRequest(void *camera, int, unsigned long request, void *arg)
{
    return static_cast<VirtualCamera *>(camera)->driverIoctl(request, arg);
}

const libv4l_dev_ops *deviceOps()
{
    static const libv4l_dev_ops ops = [] {
        libv4l_dev_ops o{};
        o.ioctl = deviceRequest;
        return o;
    }();
    return &ops;
}

size_t wholePages(size_t bytes)
{
    const size_t page = size_t(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

v4l2_buffer ownBuffer(const v4l2_buffer &buf, size_t length)
{
    v4l2_buffer own = buf;
    own.m.offset = kOwnBufferOffset | buf.index;
    own.length = static_cast<uint32_t>(length);
    return own;
}

} // namespace

Libv4l2Layer::Libv4l2Layer(VirtualCamera &camera) : camera_(camera)
{
    v4l2_capability cap{};
    if (camera_.driverIoctl(VIDIOC_QUERYCAP, &cap) != 0 ||
        !(cap.capabilities & V4L2_CAP_VIDEO_CAPTURE) ||
        !(cap.capabilities & (V4L2_CAP_STREAMING | V4L2_CAP_READWRITE)))
        return; // not a node libv4l2 looks after
    src_.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (camera_.driverIoctl(VIDIOC_G_FMT, &src_) != 0) {
        opened_ = false;
        return;
    }
    dest_ = src_;
    // No file behind the virtual node: libv4lconvert's look-up of the
    // USB id (for its list of cameras needing special care) finds nothing,
    // as it does for a camera on no list.
    convert_ = v4lconvert_create_with_dev_ops(-1, &camera_, deviceOps());
    if (!convert_) {
        opened_ = false;
        errno = ENOMEM;
    }
}

Libv4l2Layer::~Libv4l2Layer()
{
    freeBuffers();
    if (convert_)
        v4lconvert_destroy(convert_);
}

int Libv4l2Layer::mappedBuffers() const
{
    int total = 0;
    for (int maps : maps_)
        total += maps;
    return total;
}

void Libv4l2Layer::freeBuffers()
{
    if (memory_)
        ::munmap(memory_, frameSize_ * maps_.size());
    memory_ = nullptr;
    maps_.clear();
}

int Libv4l2Layer::ioctl(unsigned long request, void *arg)
{
    if (!convert_)
        return camera_.driverIoctl(request, arg);
    if (request == VIDIOC_STREAMON)
        return streamOn(arg);
    if (const std::optional<int> answer = answerBufferRequest(*this, request, arg))
        return *answer;
    return camera_.driverIoctl(request, arg);
}

bool Libv4l2Layer::freeBuffersUnlessMapped()
{
    if (mappedBuffers() > 0) {
        errno = EBUSY;
        return false;
    }
    freeBuffers();
    return true;
}

int Libv4l2Layer::setFormat(v4l2_format &fmt)
{
    v4l2_format src{};
    if (v4lconvert_try_format(convert_, &fmt, &src) != 0)
        return -1;
    // Buffers the program has mapped keep the format; the camera refuses
    // while its own buffers exist.
    if (!freeBuffersUnlessMapped())
        return -1;
    if (camera_.driverIoctl(VIDIOC_S_FMT, &src) != 0)
        return -1;
    converting_ = v4lconvert_needs_conversion(convert_, &src, &fmt) != 0;
    // Unconverted frames come as the driver describes them, padding and all.
    if (!converting_)
        fmt = src;
    src_ = src;
    dest_ = fmt;
    return 0;
}

int Libv4l2Layer::requestBuffers(v4l2_requestbuffers &req)
{
    if (!freeBuffersUnlessMapped())
        return -1;
    if (camera_.driverIoctl(VIDIOC_REQBUFS, &req) != 0)
        return -1;
    if (!converting_ || req.count == 0)
        return 0;
    frameSize_ = wholePages(dest_.fmt.pix.sizeimage);
    void *memory = ::mmap(nullptr, frameSize_ * req.count, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        errno = ENOMEM;
        return -1;
    }
    memory_ = static_cast<uint8_t *>(memory);
    maps_.assign(req.count, 0);
    return 0;
}

// The driver answers first, so that it fills in what it knows; libv4l2
// then points the program at its own buffer.
int Libv4l2Layer::queryBuffer(v4l2_buffer &buf)
{
    if (camera_.driverIoctl(VIDIOC_QUERYBUF, &buf) != 0)
        return -1;
    if (converting_)
        buf = ownBuffer(buf, frameSize_);
    return 0;
}

int Libv4l2Layer::streamOn(void *type)
{
    if (camera_.driverIoctl(VIDIOC_STREAMON, type) != 0)
        return -1;
    firstFrames_ = kIgnoredFirstFrameErrors;
    return 0;
}

int Libv4l2Layer::dequeueBuffer(v4l2_buffer &buf)
{
    if (!converting_)
        return camera_.driverIoctl(VIDIOC_DQBUF, &buf);
    const int converted = dequeueAndConvert(buf);
    if (converted < 0)
        return -1;
    buf = ownBuffer(buf, frameSize_);
    buf.bytesused = static_cast<uint32_t>(converted);
    return 0;
}

// A frame that does not convert is given back to the camera and the next
// one is taken, up to four in a row.  Then a decoding error fails the
// request (EIO), while a frame too short for its format is handed out as
// far as it converted, as libv4l2 does.
int Libv4l2Layer::dequeueAndConvert(v4l2_buffer &buf)
{
    for (int tries = kDequeueTries;; --tries) {
        if (camera_.driverIoctl(VIDIOC_DQBUF, &buf) != 0)
            return -1;
        uint8_t *dest = memory_ + size_t(buf.index) * frameSize_;
        const int result =
            v4lconvert_convert(convert_, &src_, &dest_, camera_.bufferMemory(buf.index),
                               int(buf.bytesused), dest, int(frameSize_));
        int error = errno;
        if (firstFrames_ > 0) {
            --firstFrames_;
            error = EAGAIN; // cameras send bad frames while they settle
        }
        if (result >= 0)
            return result;
        const bool lastTry = tries == 1;
        if (lastTry && error == EPIPE)
            return int(dest_.fmt.pix.sizeimage);
        v4l2_buffer again = buf;
        camera_.driverIoctl(VIDIOC_QBUF, &again);
        if ((error != EAGAIN && error != EPIPE) || lastTry) {
            errno = error == EAGAIN ? EIO : error;
            return -1;
        }
    }
}

void *Libv4l2Layer::mmap(size_t length, int64_t offset)
{
    if (!converting_ || (uint64_t(offset) & ~0xFFull) != kOwnBufferOffset)
        return camera_.mmap(length, offset);
    if (camera_.injectFault(kRequestMmap))
        return MAP_FAILED;
    const size_t index = size_t(offset & 0xFF);
    if (index >= maps_.size() || length > frameSize_) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    ++maps_[index];
    return memory_ + index * frameSize_;
}

int Libv4l2Layer::munmap(void *start, size_t length)
{
    for (size_t i = 0; i < maps_.size(); ++i)
        if (start == memory_ + i * frameSize_ && maps_[i] > 0 && length <= frameSize_) {
            --maps_[i];
            return 0;
        }
    errno = EINVAL;
    return -1;
}

std::vector<uint8_t> Libv4l2Layer::convert(const std::vector<uint8_t> &frame)
{
    std::vector<uint8_t> out(dest_.fmt.pix.sizeimage);
    std::vector<uint8_t> in = frame; // libv4lconvert takes the source as writable
    const int result = v4lconvert_convert(convert_, &src_, &dest_, in.data(), int(in.size()),
                                          out.data(), int(out.size()));
    if (result < 0)
        return {};
    out.resize(size_t(result));
    return out;
}

} // namespace zq::sim
