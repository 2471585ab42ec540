// Camera discovery, streaming and frame reading.

#include <zqscan/zq_scanner.h>
#include "frame_scaling.h"
#include "last_error.h"
#include "sys.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

struct buffer {
    void *start;
    size_t length;
};

// One camera streams at a time: the slot table belongs to the process.
buffer *buffers = nullptr;
int n_buffers = 0;
size_t frame_bytes = 0; // width * height * 3 of the granted format

// The preview's stream: the camera's own JPEG frames, or RGB24 as
// zq_scanner_init streams it; and the frame read last, whole and reduced.
struct Preview {
    bool jpeg = false;
    int width = 0, height = 0;        // the granted size
    std::vector<uint8_t> held;        // the JPEG data of the frame read last
    const uint8_t *heldRgb = nullptr; // or its RGB24, in its buffer
    std::vector<uint8_t> picture;     // the frame read last, reduced
};
Preview preview;

constexpr int kDeviceCount = 10;
constexpr size_t kPathSize = 4096;
constexpr size_t kModaliasSize = 2048;
constexpr unsigned kRequestedBuffers = 4;
const char *const kSysfsRoot = "/sys/class/video4linux";

// Modalias text that identifies cameras 1, 2 and 3; higher indexes take any node.
const char *const kCameraIds[] = {"v0AC8p3370", "v0AC8p3580", "v0AC8p3590"};
constexpr int kKnownCameras = sizeof(kCameraIds) / sizeof(kCameraIds[0]);

bool check_video_device(char *device_name, int index, int device_index)
{
    char path[kPathSize];
    std::snprintf(device_name, 32, "video%d", device_index);
    std::snprintf(path, sizeof(path), "%s/%s/device/modalias", kSysfsRoot, device_name);
    if (zq::sys::access(path, F_OK) != 0)
        return false;
    const int file = zq::sys::open(path, O_RDONLY);
    if (file < 0)
        return false;
    char line[kModaliasSize] = {};
    (void)zq::sys::read(file, line, sizeof(line) - 1);
    zq::sys::close(file);

    if (index > kKnownCameras)
        return true;
    return std::strstr(line, kCameraIds[index - 1]) != nullptr;
}

// The lowest video node that is a camera for the index, or -1.
int find_video_device(int index)
{
    if (index <= 0)
        return -1;
    char device_name[32];
    for (int device_index = 0; device_index < kDeviceCount; ++device_index)
        if (check_video_device(device_name, index, device_index))
            return device_index;
    return -1;
}

void clear_buffer_table()
{
    std::free(buffers);
    buffers = nullptr;
    n_buffers = 0;
}

void unmap_slots(int count)
{
    for (int i = 0; i < count; ++i)
        zq::sys::v4l2_munmap(buffers[i].start, buffers[i].length);
}

// A request through libv4l2; a failure is recorded with the request's name.
bool v4l2_request(int fd, unsigned long request, const char *name, void *arg)
{
    if (zq::sys::v4l2_ioctl(fd, request, arg) >= 0)
        return true;
    zq::failWithErrno("%s on descriptor %d failed", name, fd);
    return false;
}

v4l2_buffer capture_buffer(unsigned index = 0)
{
    v4l2_buffer buf;
    std::memset(&buf, 0, sizeof(buf));
    buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buf.memory = V4L2_MEMORY_MMAP;
    buf.index = index;
    return buf;
}

// Maps buffer i into slot i; false, with the reason recorded, when the
// buffer cannot be had or holds less than a frame.
bool map_slot(int fd, int i)
{
    v4l2_buffer buf = capture_buffer(i);
    if (!v4l2_request(fd, VIDIOC_QUERYBUF, "VIDIOC_QUERYBUF", &buf))
        return false;
    if (buf.length < frame_bytes) {
        zq::failWith("buffer %d holds %u bytes, less than a frame's %zu", i, buf.length,
                     frame_bytes);
        return false;
    }
    buffers[i].length = buf.length;
    buffers[i].start = zq::sys::v4l2_mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED,
                                          fd, buf.m.offset);
    if (buffers[i].start != MAP_FAILED)
        return true;
    zq::failWithErrno("cannot map buffer %d of %u bytes", i, buf.length);
    return false;
}

int mmap_init(int fd)
{
    v4l2_requestbuffers req;
    std::memset(&req, 0, sizeof(req));
    req.count = kRequestedBuffers;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (!v4l2_request(fd, VIDIOC_REQBUFS, "VIDIOC_REQBUFS", &req))
        return -1;

    buffers = static_cast<buffer *>(std::calloc(req.count ? req.count : 1, sizeof(buffer)));
    if (!buffers) {
        zq::failWith("no memory for a table of %u buffers", req.count);
        return -1;
    }
    n_buffers = static_cast<int>(req.count);

    for (int i = 0; i < n_buffers; ++i) {
        if (!map_slot(fd, i)) {
            unmap_slots(i);
            clear_buffer_table();
            return -1;
        }
    }
    return 0;
}

int capturing_start(int fd)
{
    for (int i = 0; i < n_buffers; ++i) {
        v4l2_buffer buf = capture_buffer(i);
        if (!v4l2_request(fd, VIDIOC_QBUF, "VIDIOC_QBUF", &buf))
            return -1;
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    return v4l2_request(fd, VIDIOC_STREAMON, "VIDIOC_STREAMON", &type) ? 0 : -1;
}

void capturing_stop(int fd)
{
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    (void)zq::sys::v4l2_ioctl(fd, VIDIOC_STREAMOFF, &type);
}

// Frames must be packed RGB24 of exactly the granted size, or every
// consumer of a frame would read past its end.
bool is_packed_rgb24(const v4l2_pix_format &pix)
{
    return pix.pixelformat == V4L2_PIX_FMT_RGB24 && pix.width > 0 && pix.height > 0 &&
           pix.bytesperline == pix.width * 3;
}

// Whether libv4lconvert turns the camera's own frames into RGB24 within
// its buffers.  It converts planar 4:2:0 two pixels at a time, so at an odd
// width every row gets a pixel too many and the last one runs past the end
// of its buffer, into the heap: a camera that streams so is refused.
bool converts_within_bounds(int fd)
{
    v4l2_format native;
    std::memset(&native, 0, sizeof(native));
    native.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (zq::sys::ioctl(fd, VIDIOC_G_FMT, &native) < 0) {
        zq::failWithErrno("VIDIOC_G_FMT on descriptor %d failed", fd);
        return false;
    }
    const uint32_t fourcc = native.fmt.pix.pixelformat;
    const bool planar420 = fourcc == V4L2_PIX_FMT_YUV420 || fourcc == V4L2_PIX_FMT_YVU420;
    if (!planar420 || native.fmt.pix.width % 2 == 0)
        return true;
    zq::failWith("the camera sends planar YUV 4:2:0 at the odd width %u, which libv4lconvert "
                 "converts past the end of its buffer",
                 native.fmt.pix.width);
    return false;
}

// 0 leaves the choice to the camera; anything beyond is no size a camera
// offers, and drivers need not survive being asked for it.
bool is_frame_side(int side)
{
    return side >= 0 && side <= ZQ_FRAME_SIDE_MAX;
}

// What zq_scanner_init and zq_scanner_init_preview check before they ask
// the camera.
bool may_start_streaming(const int *w, const int *h)
{
    if (!w || !h)
        zq::failWith("no frame size given (null pointer)");
    else if (buffers)
        zq::failWith("a camera is streaming already: close it first");
    else if (!is_frame_side(*w) || !is_frame_side(*h))
        zq::failWith("frame size %d x %d is out of range (0 to %d)", *w, *h, ZQ_FRAME_SIDE_MAX);
    else
        return true;
    return false;
}

// Waits until a frame is ready, so that a camera that stopped delivering
// frames cannot hold the caller forever.
bool wait_for_frame(int fd)
{
    pollfd p = {fd, POLLIN, 0};
    int ready;
    do {
        ready = zq::sys::poll(&p, 1, ZQ_FRAME_WAIT_MS);
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        errno = ETIMEDOUT;
        zq::failWith("no frame came within %d ms on descriptor %d", ZQ_FRAME_WAIT_MS, fd);
    } else if (ready < 0) {
        zq::failWithErrno("waiting for a frame on descriptor %d failed", fd);
    }
    return ready > 0;
}

// Whether a dequeued buffer holds a whole frame of the granted format; the
// reason is recorded when not.
bool holds_whole_frame(const v4l2_buffer &buf)
{
    if (buf.index >= unsigned(n_buffers)) {
        zq::failWith("the driver returned buffer %u of %d", buf.index, n_buffers);
        return false;
    }
    const size_t length = buffers[buf.index].length;
    if (buf.bytesused > 0 && buf.bytesused >= frame_bytes && buf.bytesused <= length)
        return true;
    zq::failWith("buffer %u came back with %u bytes, no whole frame (a frame has %zu bytes, the "
                 "buffer %zu)",
                 buf.index, buf.bytesused, frame_bytes, length);
    return false;
}

// A camera sends a corrupt or cut-short JPEG frame now and then; like
// libv4l2, the read takes the next one, giving up after this many.
constexpr int kJpegFrameTries = 4;

// Dequeues the next frame and keeps it: a JPEG frame's data copied, an
// RGB24 frame in place (valid until the next read).
bool hold_next_frame(int fd)
{
    if (!wait_for_frame(fd))
        return false;
    v4l2_buffer buf = capture_buffer();
    if (!v4l2_request(fd, VIDIOC_DQBUF, "VIDIOC_DQBUF", &buf))
        return false;
    const bool whole = holds_whole_frame(buf);
    if (whole) {
        const auto *start = static_cast<const uint8_t *>(buffers[buf.index].start);
        if (preview.jpeg)
            preview.held.assign(start, start + buf.bytesused);
        else
            preview.heldRgb = start;
    }
    const bool requeued = v4l2_request(fd, VIDIOC_QBUF, "VIDIOC_QBUF", &buf);
    if (!whole)
        errno = EIO;
    return whole && requeued;
}

// The held frame reduced by denominator into preview.picture; false for a
// JPEG frame that does not decode whole, or one of another size than was
// granted.
bool reduce_held_frame(int denominator)
{
    const int w = zq::reduced_side(preview.width, denominator);
    const int h = zq::reduced_side(preview.height, denominator);
    preview.picture.resize(size_t(w) * h * 3);
    if (!preview.jpeg) {
        zq::reduce_rgb24(preview.heldRgb, preview.width, preview.height, denominator,
                         preview.picture.data());
        return true;
    }
    int frameWidth = 0, frameHeight = 0;
    return zq::jpeg_size(preview.held.data(), preview.held.size(), frameWidth, frameHeight) &&
           frameWidth == preview.width && frameHeight == preview.height &&
           zq::decode_jpeg(preview.held.data(), preview.held.size(), denominator,
                           preview.picture.data(), preview.picture.size());
}

// Asks for the camera's own MJPEG at w x h, which libv4l2 then passes
// through unconverted; false when the camera sends no MJPEG.
bool stream_own_jpeg(int fd, int &w, int &h)
{
    v4l2_format fmt;
    std::memset(&fmt, 0, sizeof(fmt));
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = static_cast<unsigned>(w);
    fmt.fmt.pix.height = static_cast<unsigned>(h);
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_MJPEG;
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    if (zq::sys::v4l2_ioctl(fd, VIDIOC_S_FMT, &fmt) < 0 ||
        fmt.fmt.pix.pixelformat != V4L2_PIX_FMT_MJPEG || fmt.fmt.pix.width == 0 ||
        fmt.fmt.pix.height == 0 || fmt.fmt.pix.width > ZQ_FRAME_SIDE_MAX ||
        fmt.fmt.pix.height > ZQ_FRAME_SIDE_MAX)
        return false;
    w = static_cast<int>(fmt.fmt.pix.width);
    h = static_cast<int>(fmt.fmt.pix.height);
    return true;
}

// One "%d*%d," entry, cut to 11 characters like the fixed entry buffer.
std::string size_entry(unsigned width, unsigned height)
{
    char resolution[12];
    std::snprintf(resolution, sizeof(resolution), "%d*%d,", static_cast<int>(width),
                  static_cast<int>(height));
    return resolution;
}

bool frame_size_entry(const v4l2_frmsizeenum &frmsize, std::string &entry)
{
    switch (frmsize.type) {
    case V4L2_FRMSIZE_TYPE_DISCRETE:
        entry = size_entry(frmsize.discrete.width, frmsize.discrete.height);
        return true;
    case V4L2_FRMSIZE_TYPE_STEPWISE: // the largest size the range offers
        entry = size_entry(frmsize.stepwise.max_width, frmsize.stepwise.max_height);
        return true;
    default:
        return false;
    }
}

// Fills the text as zq_scanner_resolution_dump describes.
void dump_resolutions(int fd, char *resolutions)
{
    std::string text(resolutions, strnlen(resolutions, ZQ_RESOLUTION_LIST_MAX - 1));
    bool changed = false;

    v4l2_fmtdesc fmtdesc;
    std::memset(&fmtdesc, 0, sizeof(fmtdesc));
    fmtdesc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (; zq::sys::ioctl(fd, VIDIOC_ENUM_FMT, &fmtdesc) == 0; ++fmtdesc.index) {
        v4l2_frmsizeenum frmsize;
        std::memset(&frmsize, 0, sizeof(frmsize));
        frmsize.pixel_format = fmtdesc.pixelformat;
        for (; zq::sys::ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &frmsize) == 0; ++frmsize.index) {
            std::string entry;
            if (!frame_size_entry(frmsize, entry))
                continue;
            if (frmsize.index == 0)
                text = entry;
            else if (text.size() + entry.size() < ZQ_RESOLUTION_LIST_MAX)
                text += entry;
            changed = true;
        }
    }
    if (changed)
        std::memcpy(resolutions, text.c_str(), text.size() + 1);
}

} // namespace

extern "C" {

ZQ_EXPORT int zq_scanner_open_index(int index)
{
    const int device_index = find_video_device(index);
    if (device_index < 0) {
        zq::failWith("no camera for index %d: none of /dev/video0 to /dev/video%d is one", index,
                     kDeviceCount - 1);
        return -1;
    }
    char path[kPathSize];
    std::snprintf(path, sizeof(path), "/dev/video%d", device_index);
    const int fd = zq::sys::v4l2_open(path, O_RDWR);
    if (fd < 0)
        zq::failWithErrno("cannot open %s", path);
    return fd;
}

ZQ_EXPORT int zq_scanner_present(int index)
{
    return find_video_device(index) >= 0 ? 1 : 0;
}

ZQ_EXPORT int zq_scanner_open(void)
{
    zq::failWith("zq_scanner_open opens nothing: zq_scanner_open_index opens a camera");
    return -1;
}

ZQ_EXPORT int zq_scanner_init(int fd, int *w, int *h)
{
    if (!may_start_streaming(w, h))
        return -1;

    v4l2_capability cap;
    std::memset(&cap, 0, sizeof(cap));
    if (!v4l2_request(fd, VIDIOC_QUERYCAP, "VIDIOC_QUERYCAP", &cap))
        return -1;
    if (!(cap.capabilities & V4L2_CAP_VIDEO_CAPTURE)) {
        zq::failWith("descriptor %d is no video capture device", fd);
        return -1;
    }

    v4l2_format fmt;
    std::memset(&fmt, 0, sizeof(fmt));
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = static_cast<unsigned>(*w);
    fmt.fmt.pix.height = static_cast<unsigned>(*h);
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_RGB24;
    fmt.fmt.pix.field = V4L2_FIELD_INTERLACED;
    if (!v4l2_request(fd, VIDIOC_S_FMT, "VIDIOC_S_FMT", &fmt))
        return -1;
    *w = static_cast<int>(fmt.fmt.pix.width);
    *h = static_cast<int>(fmt.fmt.pix.height);
    if (!is_packed_rgb24(fmt.fmt.pix)) {
        zq::failWith("no packed RGB24 frames: the driver grants format 0x%08X at %u x %u with %u "
                     "bytes a row",
                     fmt.fmt.pix.pixelformat, fmt.fmt.pix.width, fmt.fmt.pix.height,
                     fmt.fmt.pix.bytesperline);
        return -1;
    }
    if (!converts_within_bounds(fd))
        return -1;
    frame_bytes = size_t(fmt.fmt.pix.width) * fmt.fmt.pix.height * 3;

    if (mmap_init(fd) < 0)
        return -1;
    return capturing_start(fd);
}

ZQ_EXPORT int zq_scanner_picture_read(int fd, unsigned char **picture, int *len)
{
    if (!picture || !len) {
        zq::failWith("zq_scanner_picture_read: no place for the frame (null pointer)");
        return -1;
    }
    if (preview.jpeg) {
        zq::failWith("zq_scanner_picture_read reads RGB24, and the preview streams JPEG");
        return -1;
    }
    if (!wait_for_frame(fd))
        return -1;
    v4l2_buffer buf = capture_buffer();
    if (!v4l2_request(fd, VIDIOC_DQBUF, "VIDIOC_DQBUF", &buf))
        return -1;
    const bool whole = holds_whole_frame(buf);
    if (whole) {
        *picture = static_cast<unsigned char *>(buffers[buf.index].start);
        *len = static_cast<int>(buf.bytesused);
    }
    const bool requeued = v4l2_request(fd, VIDIOC_QBUF, "VIDIOC_QBUF", &buf);
    return whole && requeued ? 0 : -1;
}

ZQ_EXPORT int zq_scanner_frame_ready(int fd)
{
    pollfd p = {fd, POLLIN, 0};
    int ready;
    do {
        ready = zq::sys::poll(&p, 1, 0);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        zq::failWithErrno("polling descriptor %d failed", fd);
    if (ready <= 0)
        return ready;
    if (p.revents & POLLIN)
        return 1;
    errno = ENODEV; // POLLERR or POLLHUP: the driver has no frame to give
    zq::failWith("descriptor %d gives no frames: the camera is unplugged or not streaming", fd);
    return -1;
}

ZQ_EXPORT void zq_scanner_close(int fd)
{
    capturing_stop(fd);
    if (buffers)
        unmap_slots(n_buffers);
    clear_buffer_table();
    frame_bytes = 0;
    preview = Preview();
    zq::sys::v4l2_close(fd);
}

ZQ_EXPORT int zq_scanner_init_preview(int fd, int *w, int *h)
{
    if (!may_start_streaming(w, h))
        return -1;
    try {
        int width = *w, height = *h;
        if (!stream_own_jpeg(fd, width, height)) {
            if (zq_scanner_init(fd, w, h) != 0)
                return -1;
            preview.width = *w;
            preview.height = *h;
            return ZQ_PREVIEW_RGB24;
        }
        *w = preview.width = width;
        *h = preview.height = height;
        preview.jpeg = true;
        frame_bytes = 0;
        if (mmap_init(fd) < 0 || capturing_start(fd) < 0)
            return -1;
        return ZQ_PREVIEW_JPEG;
    } catch (...) {
        errno = ENOMEM;
        zq::failWithCurrentException("zq_scanner_init_preview");
        return -1;
    }
}

ZQ_EXPORT int zq_scanner_preview_read(int fd, int denominator, unsigned char **picture, int *w,
                                      int *h)
{
    if (!picture || !w || !h) {
        zq::failWith("zq_scanner_preview_read: no place for the picture or its size (null "
                     "pointer)");
        return -1;
    }
    if (!buffers || preview.width == 0) {
        zq::failWith("no preview is streaming: zq_scanner_init_preview starts one");
        return -1;
    }
    if (!zq::accept_scale_denominator(denominator))
        return -1;
    try {
        for (int tries = 0; tries < kJpegFrameTries; ++tries) {
            if (!hold_next_frame(fd))
                return -1;
            if (reduce_held_frame(denominator)) {
                *picture = preview.picture.data();
                *w = zq::reduced_side(preview.width, denominator);
                *h = zq::reduced_side(preview.height, denominator);
                return 0;
            }
            preview.held.clear();
        }
        errno = EIO;
        zq::failWith("%d frames in a row were corrupt or cut short", kJpegFrameTries);
        return -1;
    } catch (...) {
        errno = ENOMEM;
        zq::failWithCurrentException("zq_scanner_preview_read");
        return -1;
    }
}

ZQ_EXPORT int zq_scanner_preview_frame(int, const unsigned char **data, size_t *size)
{
    if (!data || !size) {
        zq::failWith("zq_scanner_preview_frame: no place for the frame (null pointer)");
        return -1;
    }
    if (preview.jpeg && !preview.held.empty()) {
        *data = preview.held.data();
        *size = preview.held.size();
        return ZQ_PREVIEW_JPEG;
    }
    if (!preview.jpeg && preview.heldRgb) {
        *data = preview.heldRgb;
        *size = frame_bytes;
        return ZQ_PREVIEW_RGB24;
    }
    zq::failWith("no preview frame has been read since the stream started");
    return -1;
}

ZQ_EXPORT int zq_scanner_preview_denominator(int width, int height, int need_width, int need_height)
{
    for (int d = 8; d > 1; d /= 2)
        if (zq::reduced_side(width, d) >= need_width && zq::reduced_side(height, d) >= need_height)
            return d;
    return 1;
}

ZQ_EXPORT int zq_scanner_jpeg_decode(const unsigned char *data, size_t size, int denominator,
                                     unsigned char *rgb, size_t rgb_size, int *w, int *h)
{
    if (!w || !h) {
        zq::failWith("zq_scanner_jpeg_decode: no place for the size (null pointer)");
        return -1;
    }
    if (!zq::accept_scale_denominator(denominator))
        return -1;
    try {
        int width = 0, height = 0;
        if (!zq::jpeg_size(data, size, width, height)) {
            zq::failWith("%zu bytes hold no JPEG picture with a readable header", size);
            return -1;
        }
        *w = zq::reduced_side(width, denominator);
        *h = zq::reduced_side(height, denominator);
        if (!rgb)
            return 0;
        const size_t needed = size_t(*w) * size_t(*h) * 3;
        if (rgb_size < needed)
            zq::failWith("%zu bytes cannot hold the %d x %d picture's %zu", rgb_size, *w, *h,
                         needed);
        else if (!zq::decode_jpeg(data, size, denominator, rgb, rgb_size))
            zq::failWith("the %d x %d JPEG picture is corrupt or cut short", width, height);
        else
            return 0;
        return -1;
    } catch (...) {
        zq::failWithCurrentException("zq_scanner_jpeg_decode");
        return -1;
    }
}

ZQ_EXPORT void zq_scanner_resolution_dump(int fd, char *resolutions)
{
    if (!resolutions)
        return;
    try {
        dump_resolutions(fd, resolutions);
    } catch (...) {
        // Out of memory: the caller's text stays as it was.
        zq::failWithCurrentException("zq_scanner_resolution_dump");
    }
}

} // extern "C"
