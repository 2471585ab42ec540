// libzqscan's frame reading on a hostile camera: the library opens the
// node, asks for RGB24, maps the buffers and reads frames
// (scanner/zq_scanner_device.cpp) through libv4l2's part, done here as
// libv4l2 does it with the real libv4lconvert, which decodes the camera's
// MJPEG/YUYV/... frames.  The camera (its format, size, buffer sizes, the
// bytes it says it sent and the frame's bytes) is the input:
//
//   0  u8   pixel format (index into kFormats)
//   1  u8   flags: 1 any size up to the camera's (stepwise), else sizes
//           halving from it (discrete), 2 a second frame read,
//           4 the library asks for the camera's size (else 1920 x 1080),
//           8 the preview read, at 1/2^((flags >> 4) & 3) of the size
//   2  u16  width    4 u16 height          (the camera's, little-endian)
//   6  u32  sizeimage the camera claims (0: what the format needs)
//  10  u32  bytesused of each frame (0xFFFFFFFF: all the frame bytes)
//  14  u32  buffer length it claims
//  18  u8   number of frame sizes it lists
//  19  ...  the frame's bytes (an MJPEG frame is a JPEG file)
//
// The driver keeps what the kernel guarantees whatever the camera says:
// an uncompressed format's bytesperline and sizeimage are what its size
// needs (uvcvideo computes them), a buffer holds at least sizeimage
// (videobuf2 allocates it so), bytesused lies within the buffer when
// libv4l2 converts.  Everything else may lie: an MJPEG camera's sizeimage,
// a larger buffer length, bytesused of an unconverted frame, the frame's
// bytes.  (libv4lconvert converts a short uncompressed frame whole and
// trusts the buffer to hold it.)  Buffers are heap blocks of exactly their
// length, so that AddressSanitizer sees any read past one.
#include "fuzz_seam.h"

#include <zqscan/zq_scanner.h>

#include <libv4l-plugin.h>
#include <libv4lconvert.h>
#include <linux/videodev2.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

constexpr uint32_t kFormats[] = {
    V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_JPEG,  V4L2_PIX_FMT_YUYV,   V4L2_PIX_FMT_UYVY,
    V4L2_PIX_FMT_RGB24, V4L2_PIX_FMT_BGR24, V4L2_PIX_FMT_YUV420, V4L2_PIX_FMT_YVU420,
    V4L2_PIX_FMT_NV12,  V4L2_PIX_FMT_GREY,  V4L2_PIX_FMT_SBGGR8, V4L2_PIX_FMT_RGB565,
    V4L2_PIX_FMT_YVYU,  V4L2_PIX_FMT_NV16,  V4L2_PIX_FMT_Y16,    V4L2_PIX_FMT_SGRBG8,
};
constexpr size_t kHeader = 19;
constexpr uint64_t kMaxPixels = 16'000'000; // a run stays under a second
constexpr uint32_t kMaxBuffer = 64u << 20;
constexpr int kFd = 42;
constexpr uint32_t kOwnOffset = 0xABCDEF00u; // libv4l2's mark for its buffers
constexpr int kSlots = 4;

uint32_t le(const uint8_t *p, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

uint32_t bytesPerLineOf(uint32_t fourcc, uint32_t width)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        return 0;
    case V4L2_PIX_FMT_RGB24:
    case V4L2_PIX_FMT_BGR24:
        return width * 3;
    case V4L2_PIX_FMT_YUYV:
    case V4L2_PIX_FMT_UYVY:
    case V4L2_PIX_FMT_YVYU:
    case V4L2_PIX_FMT_RGB565:
    case V4L2_PIX_FMT_Y16:
        return width * 2;
    default:
        return width;
    }
}

uint32_t neededBytes(uint32_t fourcc, uint32_t width, uint32_t height, uint32_t bpl)
{
    switch (fourcc) {
    case V4L2_PIX_FMT_MJPEG:
    case V4L2_PIX_FMT_JPEG:
        return width * height;
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
    case V4L2_PIX_FMT_NV12:
        // What libv4lconvert reads: a chroma row for every two rows, the
        // last one too when the height is odd.  (uvcvideo's sizeimage,
        // 12 bits a pixel, is half a row short then, and libv4lconvert
        // reads past a frame of such a camera.)
        return bpl * height + (bpl + 1) * ((height + 1) / 2);
    case V4L2_PIX_FMT_NV16:
        return bpl * height * 2;
    default:
        return bpl * height;
    }
}

// One hostile camera and libv4l2 in front of it.
struct Camera {
    uint32_t fourcc = 0;
    uint32_t width = 0, height = 0; // its largest frame size
    uint32_t current[2] = {0, 0};   // the size it streams
    uint32_t claimedSize = 0;       // sizeimage it claims, 0: what the format needs
    uint32_t claimedLength = 0;     // buffer length it claims, at least sizeimage
    uint32_t bufferLength = 0;
    uint32_t bytesUsed = 0;
    bool stepwise = false;
    int sizes = 0;
    const uint8_t *frame = nullptr;
    size_t frameSize = 0;

    // the driver's buffers
    std::vector<uint8_t *> slots;
    uint32_t sequence = 0;
    bool streaming = false;

    // libv4l2's part
    v4lconvert_data *convert = nullptr;
    bool converting = false;
    v4l2_format src{}, dest{};
    std::vector<uint8_t *> own;
    size_t ownLength = 0;
    int firstFrames = 0;

    void freeSlots()
    {
        for (uint8_t *s : slots)
            std::free(s);
        slots.clear();
    }
    void freeOwn()
    {
        for (uint8_t *s : own)
            std::free(s);
        own.clear();
    }
    ~Camera()
    {
        freeSlots();
        freeOwn();
        if (convert)
            v4lconvert_destroy(convert);
    }

    bool compressed() const { return fourcc == V4L2_PIX_FMT_MJPEG || fourcc == V4L2_PIX_FMT_JPEG; }

    void describe(v4l2_pix_format &pix, uint32_t w, uint32_t h) const
    {
        pix = {};
        pix.width = w;
        pix.height = h;
        pix.pixelformat = fourcc;
        pix.field = V4L2_FIELD_NONE;
        pix.bytesperline = bytesPerLineOf(fourcc, w);
        const uint32_t needed = neededBytes(fourcc, w, h, pix.bytesperline);
        pix.sizeimage = !compressed() ? std::max(claimedSize, needed)
                        : claimedSize ? claimedSize
                                      : needed;
        pix.colorspace = V4L2_COLORSPACE_SRGB;
    }

    // The size nearest the one asked for among those the camera lists, as
    // a driver settles on one; a driver that lists none has one size.
    void nearest(uint32_t &w, uint32_t &h) const
    {
        if (stepwise) { // any size up to the largest
            w = std::clamp<uint32_t>(w, 1, width);
            h = std::clamp<uint32_t>(h, 1, height);
            return;
        }
        uint64_t best = UINT64_MAX;
        uint32_t bw = width, bh = height;
        for (int i = 0; i < std::max(sizes, 1); ++i) {
            const uint32_t cw = width >> i, ch = height >> i;
            const uint64_t d = uint64_t(std::abs(int64_t(cw) - w)) + std::abs(int64_t(ch) - h);
            if (d < best)
                best = d, bw = cw, bh = ch;
        }
        w = bw;
        h = bh;
    }

    int driver(unsigned long request, void *arg)
    {
        switch (request) {
        case VIDIOC_QUERYCAP: {
            auto *cap = static_cast<v4l2_capability *>(arg);
            *cap = {};
            std::strcpy(reinterpret_cast<char *>(cap->driver), "uvcvideo");
            std::strcpy(reinterpret_cast<char *>(cap->card), "hostile camera");
            cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
            cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
            return 0;
        }
        case VIDIOC_ENUM_FMT: {
            auto *d = static_cast<v4l2_fmtdesc *>(arg);
            if (d->index != 0 || d->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
                break;
            const uint32_t index = d->index, type = d->type;
            *d = {};
            d->index = index;
            d->type = type;
            d->pixelformat = fourcc;
            d->flags = compressed() ? V4L2_FMT_FLAG_COMPRESSED : 0;
            std::strcpy(reinterpret_cast<char *>(d->description), "format");
            return 0;
        }
        case VIDIOC_ENUM_FRAMESIZES: {
            auto *s = static_cast<v4l2_frmsizeenum *>(arg);
            if (s->pixel_format != fourcc || s->index >= unsigned(stepwise ? 1 : sizes))
                break;
            if (stepwise) {
                s->type = V4L2_FRMSIZE_TYPE_STEPWISE;
                s->stepwise = {1, width, 1, 1, height, 1};
            } else {
                s->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                s->discrete = {width >> s->index, height >> s->index};
            }
            return 0;
        }
        case VIDIOC_G_FMT:
        case VIDIOC_TRY_FMT:
        case VIDIOC_S_FMT: {
            auto *f = static_cast<v4l2_format *>(arg);
            if (f->type != V4L2_BUF_TYPE_VIDEO_CAPTURE)
                break;
            if (request == VIDIOC_S_FMT && !slots.empty()) {
                errno = EBUSY;
                return -1;
            }
            uint32_t w = f->fmt.pix.width, h = f->fmt.pix.height;
            if (request == VIDIOC_G_FMT)
                w = current[0], h = current[1];
            else
                nearest(w, h);
            if (request == VIDIOC_S_FMT)
                current[0] = w, current[1] = h;
            describe(f->fmt.pix, w, h);
            return 0;
        }
        case VIDIOC_REQBUFS: {
            auto *r = static_cast<v4l2_requestbuffers *>(arg);
            freeSlots();
            v4l2_pix_format pix;
            describe(pix, current[0], current[1]);
            bufferLength = std::max(claimedLength, pix.sizeimage);
            if (bufferLength > kMaxBuffer) {
                errno = ENOMEM;
                return -1;
            }
            r->count = std::min<uint32_t>(r->count, kSlots);
            for (uint32_t i = 0; i < r->count; ++i) {
                auto *slot =
                    static_cast<uint8_t *>(std::calloc(1, bufferLength ? bufferLength : 1));
                if (!slot) {
                    errno = ENOMEM;
                    return -1;
                }
                slots.push_back(slot);
            }
            return 0;
        }
        case VIDIOC_QUERYBUF: {
            auto *b = static_cast<v4l2_buffer *>(arg);
            if (b->index >= slots.size())
                break;
            b->length = bufferLength;
            b->m.offset = b->index << 16;
            return 0;
        }
        case VIDIOC_QBUF:
            return static_cast<v4l2_buffer *>(arg)->index < slots.size() ? 0 : (errno = EINVAL, -1);
        case VIDIOC_STREAMON:
            streaming = !slots.empty();
            return streaming ? 0 : (errno = EINVAL, -1);
        case VIDIOC_STREAMOFF:
            streaming = false;
            return 0;
        case VIDIOC_DQBUF: {
            if (!streaming) {
                errno = EINVAL;
                return -1;
            }
            auto *b = static_cast<v4l2_buffer *>(arg);
            b->index = sequence % slots.size();
            b->sequence = sequence++;
            b->length = bufferLength;
            const size_t copied = std::min<size_t>(frameSize, bufferLength);
            if (copied)
                std::memcpy(slots[b->index], frame, copied);
            b->bytesused = bytesUsed == 0xFFFFFFFFu ? uint32_t(copied) : bytesUsed;
            b->flags = V4L2_BUF_FLAG_DONE;
            return 0;
        }
        default:
            break;
        }
        errno = EINVAL;
        return -1;
    }

    // libv4l2 (lib/libv4l2/libv4l2.c), as sim/libv4l2_layer.cpp does it.
    bool open()
    {
        src.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        driver(VIDIOC_G_FMT, &src);
        dest = src;
        static const libv4l_dev_ops ops = [] {
            libv4l_dev_ops o{};
            o.ioctl = [](void *camera, int, unsigned long request, void *arg) {
                return static_cast<Camera *>(camera)->driver(request, arg);
            };
            return o;
        }();
        convert = v4lconvert_create_with_dev_ops(-1, this, &ops);
        return convert != nullptr;
    }

    int setFormat(v4l2_format &fmt)
    {
        v4l2_format s{};
        if (v4lconvert_try_format(convert, &fmt, &s) != 0)
            return -1;
        if (driver(VIDIOC_S_FMT, &s) != 0)
            return -1;
        converting = v4lconvert_needs_conversion(convert, &s, &fmt) != 0;
        if (!converting)
            fmt = s;
        src = s;
        dest = fmt;
        return 0;
    }

    int requestBuffers(v4l2_requestbuffers &req)
    {
        freeOwn();
        if (driver(VIDIOC_REQBUFS, &req) != 0)
            return -1;
        if (!converting)
            return 0;
        ownLength = dest.fmt.pix.sizeimage;
        for (uint32_t i = 0; i < req.count; ++i)
            own.push_back(static_cast<uint8_t *>(std::calloc(1, ownLength ? ownLength : 1)));
        return 0;
    }

    int dequeue(v4l2_buffer &buf)
    {
        if (!converting)
            return driver(VIDIOC_DQBUF, &buf);
        for (int tries = 4;; --tries) {
            if (driver(VIDIOC_DQBUF, &buf) != 0)
                return -1;
            // the kernel keeps bytesused within the buffer
            const int used = int(std::min(buf.bytesused, bufferLength));
            const int result = v4lconvert_convert(convert, &src, &dest, slots[buf.index], used,
                                                  own[buf.index], int(ownLength));
            int error = errno;
            if (firstFrames > 0) {
                --firstFrames;
                error = EAGAIN;
            }
            if (result >= 0 || (tries == 1 && error == EPIPE)) {
                buf.m.offset = kOwnOffset | buf.index;
                buf.length = uint32_t(ownLength);
                buf.bytesused = result >= 0 ? uint32_t(result) : dest.fmt.pix.sizeimage;
                return 0;
            }
            if ((error != EAGAIN && error != EPIPE) || tries == 1) {
                errno = error == EAGAIN ? EIO : error;
                return -1;
            }
        }
    }

    int ioctl(unsigned long request, void *arg)
    {
        switch (request) {
        case VIDIOC_S_FMT:
            return setFormat(*static_cast<v4l2_format *>(arg));
        case VIDIOC_REQBUFS:
            return requestBuffers(*static_cast<v4l2_requestbuffers *>(arg));
        case VIDIOC_QUERYBUF: {
            auto &b = *static_cast<v4l2_buffer *>(arg);
            if (driver(VIDIOC_QUERYBUF, &b) != 0)
                return -1;
            if (converting) {
                b.m.offset = kOwnOffset | b.index;
                b.length = uint32_t(ownLength);
            }
            return 0;
        }
        case VIDIOC_STREAMON:
            firstFrames = 3;
            return driver(request, arg);
        case VIDIOC_DQBUF:
            return dequeue(*static_cast<v4l2_buffer *>(arg));
        default:
            return driver(request, arg);
        }
    }

    void *mmap(size_t length, int64_t offset)
    {
        const uint64_t o = uint64_t(offset);
        if (converting && (o & ~0xFFull) == kOwnOffset) {
            const size_t i = o & 0xFF;
            if (i < own.size() && own[i] && length <= ownLength)
                return own[i];
        } else if (!converting && (o & 0xFFFF) == 0 && (o >> 16) < slots.size() &&
                   length <= bufferLength) {
            return slots[o >> 16];
        }
        errno = EINVAL;
        return MAP_FAILED;
    }
};

Camera *camera = nullptr;

zq_seam cameraSeam()
{
    zq_seam s = zq::fuzz::failingSeam();
    // video0 is the first known camera
    s.access = [](const char *path, int) {
        return std::strstr(path, "/video0/") ? 0 : (errno = ENOENT, -1);
    };
    s.open = [](const char *, int) { return 7; };
    s.read = [](int, void *buf, size_t count) {
        static const char modalias[] = "usb:v0AC8p3370d0100dcEFdsc02dp01ic0Eisc01ip00in00\n";
        const size_t n = std::min(count, sizeof(modalias) - 1);
        std::memcpy(buf, modalias, n);
        return ssize_t(n);
    };
    s.ioctl = [](int, unsigned long request, void *arg) { return camera->driver(request, arg); };
    s.v4l2_open = [](const char *, int) { return camera->open() ? kFd : (errno = ENOMEM, -1); };
    s.v4l2_ioctl = [](int, unsigned long request, void *arg) {
        return camera->ioctl(request, arg);
    };
    s.v4l2_mmap = [](void *, size_t length, int, int, int, int64_t offset) {
        return camera->mmap(length, offset);
    };
    return s;
}

// Every byte of a picture the library hands out must be readable.
void touch(const unsigned char *picture, size_t bytes)
{
    unsigned sum = 0;
    for (size_t i = 0; i < bytes; i += 61)
        sum += picture[i];
    sum += picture[bytes - 1];
    asm volatile("" : : "r"(sum));
}

// The preview read: each frame reduced, then the frame it came from whole,
// as a capture decodes it.
void readPreview(int fd, int w, int h, int denominator, int reads)
{
    if (zq_scanner_init_preview(fd, &w, &h) < 0)
        return;
    if (w <= 0 || h <= 0)
        __builtin_trap();
    for (int read = 0; read < reads; ++read) {
        unsigned char *picture = nullptr;
        int pw = 0, ph = 0;
        if (zq_scanner_preview_read(fd, denominator, &picture, &pw, &ph) != 0)
            continue;
        if (!picture || pw != (w + denominator - 1) / denominator ||
            ph != (h + denominator - 1) / denominator)
            __builtin_trap();
        touch(picture, size_t(pw) * size_t(ph) * 3);
        const unsigned char *frame = nullptr;
        size_t size = 0;
        if (zq_scanner_preview_frame(fd, &frame, &size) != ZQ_PREVIEW_JPEG)
            continue;
        std::vector<unsigned char> whole(size_t(w) * size_t(h) * 3);
        int fw = 0, fh = 0;
        if (zq_scanner_jpeg_decode(frame, size, 1, whole.data(), whole.size(), &fw, &fh) != 0)
            __builtin_trap(); // the frame decoded small, so it decodes whole
        if (fw != w || fh != h)
            __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    zq::fuzz::setSeam(cameraSeam());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kHeader)
        return 0;
    Camera cam;
    cam.fourcc = kFormats[data[0] % (sizeof(kFormats) / sizeof(kFormats[0]))];
    const uint8_t flags = data[1];
    cam.width = le(data + 2, 2);
    cam.height = le(data + 4, 2);
    if (uint64_t(cam.width) * cam.height > kMaxPixels)
        return 0;
    cam.current[0] = cam.width;
    cam.current[1] = cam.height;
    cam.claimedSize = le(data + 6, 4);
    cam.bytesUsed = le(data + 10, 4);
    cam.claimedLength = le(data + 14, 4);
    cam.sizes = data[18] % 16;
    cam.stepwise = flags & 1;
    cam.frame = data + kHeader;
    cam.frameSize = size - kHeader;
    camera = &cam;

    const int fd = zq_scanner_open_index(1);
    if (fd < 0) {
        camera = nullptr;
        return 0;
    }
    char sizes[ZQ_RESOLUTION_LIST_MAX] = "unchanged";
    zq_scanner_resolution_dump(fd, sizes);
    if (strnlen(sizes, sizeof(sizes)) >= sizeof(sizes))
        __builtin_trap(); // the list must stay a string within its buffer

    int w = flags & 4 ? int(cam.width) : 1920;
    int h = flags & 4 ? int(cam.height) : 1080;
    if (flags & 8)
        readPreview(fd, w, h, 1 << ((flags >> 4) & 3), flags & 2 ? 2 : 1);
    else if (zq_scanner_init(fd, &w, &h) == 0) {
        if (w <= 0 || h <= 0)
            __builtin_trap();
        const size_t frameBytes = size_t(w) * size_t(h) * 3;
        for (int read = 0; read < (flags & 2 ? 2 : 1); ++read) {
            unsigned char *picture = nullptr;
            int len = 0;
            if (zq_scanner_picture_read(fd, &picture, &len) != 0)
                continue;
            // A frame the library hands out holds a whole RGB24 picture of
            // the granted size; every byte of it must be readable.
            if (!picture || len < 0 || size_t(len) < frameBytes)
                __builtin_trap();
            touch(picture, frameBytes);
        }
    }
    zq_scanner_close(fd);
    camera = nullptr;
    return 0;
}
