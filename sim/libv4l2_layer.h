// What libv4l2 does between a program and a camera, with the real
// libv4lconvert doing the format work: S_FMT to a format the camera lacks
// picks the native format and size libv4lconvert chooses, the program
// maps libv4l2's own buffers, and every dequeue converts the camera's
// frame into one of them, skipping frames that do not decode the way
// libv4l2 skips them.  S_FMT, REQBUFS, QUERYBUF, STREAMON, DQBUF and mmap
// are done as libv4l2 does them; other requests go to the camera unchanged
// (libv4l2 would also answer G_FMT, TRY_FMT and the enumerations with the
// converted formats, which libzqscan does not ask it for), and so does
// everything on a node that does not capture video.
#ifndef ZQ_SIM_LIBV4L2_LAYER_H
#define ZQ_SIM_LIBV4L2_LAYER_H

#include <linux/videodev2.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

struct v4lconvert_data;

namespace zq::sim
{

class VirtualCamera;

class Libv4l2Layer
{
  public:
    // Opens the camera as v4l2_open does: on a capture node it asks for
    // the current format and sets up libv4lconvert.
    explicit Libv4l2Layer(VirtualCamera &camera);
    ~Libv4l2Layer();
    Libv4l2Layer(const Libv4l2Layer &) = delete;
    Libv4l2Layer &operator=(const Libv4l2Layer &) = delete;

    // False when v4l2_open would have failed; errno tells why.
    bool opened() const { return opened_; }
    // Whether frames are converted, that is, the program's format is not
    // the camera's.
    bool converting() const { return converting_; }
    int mappedBuffers() const;

    // The calls, as the seam routes them; 0 or -1 with errno set.
    int ioctl(unsigned long request, void *arg);
    void *mmap(size_t length, int64_t offset);
    // -1 with errno EINVAL when start is none of libv4l2's own buffers.
    int munmap(void *start, size_t length);

    // A frame of the camera's, converted as a dequeue converts it; empty
    // when it does not convert.
    std::vector<uint8_t> convert(const std::vector<uint8_t> &frame);

  private:
    template <class Answerer>
    friend std::optional<int> answerBufferRequest(Answerer &, unsigned long, void *);

    int setFormat(v4l2_format &fmt);
    int requestBuffers(v4l2_requestbuffers &req);
    int queryBuffer(v4l2_buffer &buf);
    int streamOn(void *type);
    int dequeueBuffer(v4l2_buffer &buf);
    int dequeueAndConvert(v4l2_buffer &buf);
    void freeBuffers();
    // Buffers the program has mapped stay, and with them the format and
    // count: false, with errno EBUSY, while any is mapped.
    bool freeBuffersUnlessMapped();

    VirtualCamera &camera_;
    v4lconvert_data *convert_ = nullptr; // null: libv4l2 passes everything on
    bool opened_ = true;
    bool converting_ = false;
    v4l2_format src_{};  // the camera's format
    v4l2_format dest_{}; // the program's format
    uint8_t *memory_ = nullptr;
    size_t frameSize_ = 0; // each buffer's share of memory_, whole pages
    std::vector<int> maps_;
    int firstFrames_ = 0; // frames whose conversion errors only skip them
};

} // namespace zq::sim

#endif
