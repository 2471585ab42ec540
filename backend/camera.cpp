#include "camera.h"

#include <zqscan/zq_scanner.h>

#include <cerrno>
#include <cstdio>
#include <thread>

namespace zq::sane
{
namespace
{

// The most frames a driver keeps waiting: libzqscan asks for four buffers.
constexpr int kQueuedFrames = 4;
// A camera that sends no frame for this long is taken as gone: longer than
// the library's own wait for one frame, so a slow frame is not an error.
constexpr auto kNoFrameLimit = std::chrono::milliseconds(3 * ZQ_FRAME_WAIT_MS);
// How often a wait for a frame looks at the cancel flag.
constexpr auto kPollPause = std::chrono::milliseconds(5);

} // namespace

SANE_Status Camera::open(int index, Camera *&camera)
{
    camera = nullptr;
    const int fd = zq_scanner_open_index(index);
    if (fd < 0)
        return errno == EBUSY ? SANE_STATUS_DEVICE_BUSY : SANE_STATUS_INVAL;
    camera = new Camera(index, fd);
    return SANE_STATUS_GOOD;
}

Camera::Camera(int index, int fd) : index_(index), fd_(fd)
{
    readSizes();
}

Camera::~Camera()
{
    if (fd_ >= 0)
        zq_scanner_close(fd_);
}

void Camera::readSizes()
{
    char list[ZQ_RESOLUTION_LIST_MAX] = "";
    zq_scanner_resolution_dump(fd_, list);
    const char *entry = list;
    FrameSize size;
    int used = 0;
    while (std::sscanf(entry, "%d*%d,%n", &size.width, &size.height, &used) == 2 && used > 0) {
        if (size.width > 0 && size.height > 0)
            sizes_.push_back(size);
        entry += used;
        used = 0;
    }
}

SANE_Status Camera::stream(FrameSize size)
{
    if (streaming_ && size.width == size_.width && size.height == size_.height)
        return SANE_STATUS_GOOD;
    if (fd_ < 0 || streaming_) {
        // libzqscan negotiates the size once a descriptor.
        if (fd_ >= 0)
            zq_scanner_close(fd_);
        streaming_ = false;
        fd_ = zq_scanner_open_index(index_);
        if (fd_ < 0)
            return SANE_STATUS_IO_ERROR;
    }
    errno = 0;
    if (zq_scanner_init(fd_, &size.width, &size.height) != 0)
        return errno == EBUSY ? SANE_STATUS_DEVICE_BUSY : SANE_STATUS_IO_ERROR;
    streaming_ = true;
    size_ = size;
    return SANE_STATUS_GOOD;
}

SANE_Status Camera::freshFrame(const std::atomic<bool> &cancelled, Frame &frame)
{
    for (int queued = 0; queued < kQueuedFrames && zq_scanner_frame_ready(fd_) == 1; ++queued) {
        unsigned char *rgb = nullptr;
        int length = 0;
        zq_scanner_picture_read(fd_, &rgb, &length);
    }
    return nextFrame(cancelled, frame);
}

SANE_Status Camera::nextFrame(const std::atomic<bool> &cancelled, Frame &frame)
{
    if (!streaming_)
        return SANE_STATUS_IO_ERROR;
    const auto giveUp = std::chrono::steady_clock::now() + kNoFrameLimit;
    const size_t frameBytes = size_t(size_.width) * size_t(size_.height) * 3;
    while (!cancelled) {
        const int ready = zq_scanner_frame_ready(fd_);
        if (ready < 0 || std::chrono::steady_clock::now() > giveUp)
            return SANE_STATUS_IO_ERROR;
        unsigned char *rgb = nullptr;
        int length = 0;
        if (ready == 0) {
            std::this_thread::sleep_for(kPollPause);
        } else if (zq_scanner_picture_read(fd_, &rgb, &length) == 0 &&
                   size_t(length) >= frameBytes) {
            frame = {rgb, size_.width, size_.height};
            return SANE_STATUS_GOOD;
        }
    }
    return SANE_STATUS_CANCELLED;
}

int Camera::brightness() const
{
    return zq_scanner_get_brightness(fd_);
}

int Camera::contrast() const
{
    return zq_scanner_get_contrast(fd_);
}

bool Camera::setBrightness(int value)
{
    return zq_scanner_set_brightness(fd_, value) == 0;
}

bool Camera::setContrast(int value)
{
    return zq_scanner_set_contrast(fd_, value) == 0;
}

} // namespace zq::sane
