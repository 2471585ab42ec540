#include "fuzz_seam.h"

#include "sys.h"

#include <cerrno>

namespace zq::fuzz
{
namespace
{

zq_seam table = failingSeam();

template <typename R> R fail()
{
    errno = ENODEV;
    return R(-1);
}

} // namespace

zq_seam failingSeam()
{
    zq_seam s{};
    s.version = ZQ_SEAM_VERSION;
    s.access = [](const char *, int) { return fail<int>(); };
    s.open = [](const char *, int) { return fail<int>(); };
    s.close = [](int) { return 0; };
    s.read = [](int, void *, size_t) { return fail<ssize_t>(); };
    s.ioctl = [](int, unsigned long, void *) { return fail<int>(); };
    s.poll = [](pollfd *fds, nfds_t n, int) {
        for (nfds_t i = 0; i < n; ++i)
            fds[i].revents = fds[i].events;
        return int(n);
    };
    s.v4l2_open = [](const char *, int) { return fail<int>(); };
    s.v4l2_close = [](int) { return 0; };
    s.v4l2_ioctl = [](int, unsigned long, void *) { return fail<int>(); };
    s.v4l2_mmap = [](void *, size_t, int, int, int, int64_t) -> void * {
        errno = ENODEV;
        return reinterpret_cast<void *>(-1);
    };
    s.v4l2_munmap = [](void *, size_t) { return 0; };
    s.v4l2_get_control = [](int, int) { return fail<int>(); };
    s.v4l2_set_control = [](int, int, int) { return fail<int>(); };
    s.usleep = [](unsigned) { return 0; };
    s.gettimeofday = [](timeval *tv) {
        tv->tv_sec = 0;
        tv->tv_usec = 0;
        return 0;
    };
    return s;
}

void setSeam(const zq_seam &calls)
{
    table = calls;
}

} // namespace zq::fuzz

const zq_seam &zq::sys::seam()
{
    return zq::fuzz::table;
}
