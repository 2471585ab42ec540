// Thin wrappers over the seam (see seam.h): each has the name and arguments
// of the call it stands for, so the code that uses them reads like ordinary
// V4L2 code.
#ifndef ZQ_SYS_H
#define ZQ_SYS_H

#include "seam.h"

namespace zq::sys
{

const zq_seam &seam();

inline int access(const char *path, int mode)
{
    return seam().access(path, mode);
}
inline int open(const char *path, int flags)
{
    return seam().open(path, flags);
}
inline int close(int fd)
{
    return seam().close(fd);
}
inline ssize_t read(int fd, void *buf, size_t count)
{
    return seam().read(fd, buf, count);
}
inline int ioctl(int fd, unsigned long request, void *arg)
{
    return seam().ioctl(fd, request, arg);
}
inline int poll(pollfd *fds, nfds_t nfds, int timeout_ms)
{
    return seam().poll(fds, nfds, timeout_ms);
}

inline int v4l2_open(const char *path, int flags)
{
    return seam().v4l2_open(path, flags);
}
inline int v4l2_close(int fd)
{
    return seam().v4l2_close(fd);
}
inline int v4l2_ioctl(int fd, unsigned long request, void *arg)
{
    return seam().v4l2_ioctl(fd, request, arg);
}
inline void *v4l2_mmap(void *start, size_t length, int prot, int flags, int fd, int64_t offset)
{
    return seam().v4l2_mmap(start, length, prot, flags, fd, offset);
}
inline int v4l2_munmap(void *start, size_t length)
{
    return seam().v4l2_munmap(start, length);
}
inline int v4l2_get_control(int fd, int cid)
{
    return seam().v4l2_get_control(fd, cid);
}
inline int v4l2_set_control(int fd, int cid, int value)
{
    return seam().v4l2_set_control(fd, cid, value);
}

inline int usleep(unsigned int usec)
{
    return seam().usleep(usec);
}
inline int gettimeofday(timeval *tv)
{
    return seam().gettimeofday(tv);
}

} // namespace zq::sys

#endif
