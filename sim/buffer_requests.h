// The format and buffer requests that both the virtual driver and the
// libv4l2 layer above it answer with their own handlers of the same names.
#ifndef ZQ_SIM_BUFFER_REQUESTS_H
#define ZQ_SIM_BUFFER_REQUESTS_H

#include <linux/videodev2.h>

#include <optional>

namespace zq::sim
{

// Hands the request to the answerer's handler with the argument as the
// structure the request carries; nothing for any other request.
template <class Answerer>
std::optional<int> answerBufferRequest(Answerer &answerer, unsigned long request, void *arg)
{
    switch (request) {
    case VIDIOC_S_FMT:
        return answerer.setFormat(*static_cast<v4l2_format *>(arg));
    case VIDIOC_REQBUFS:
        return answerer.requestBuffers(*static_cast<v4l2_requestbuffers *>(arg));
    case VIDIOC_QUERYBUF:
        return answerer.queryBuffer(*static_cast<v4l2_buffer *>(arg));
    case VIDIOC_DQBUF:
        return answerer.dequeueBuffer(*static_cast<v4l2_buffer *>(arg));
    default:
        return std::nullopt;
    }
}

} // namespace zq::sim

#endif
