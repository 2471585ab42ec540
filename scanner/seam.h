/*
 * The one way libzqscan reaches the operating system: the device-node and
 * sysfs calls, libv4l2, and the sleep and clock calls.
 *
 * Product code calls the functions in namespace zq::sys, which look exactly
 * like the system calls they stand for.  By default they are the real calls.
 * When the environment variable ZQ_VIRTUAL_HARDWARE is set, the table is
 * taken from libzqsim.so in the folder of libzqscan itself, which provides
 * virtual cameras instead; this is read in one place, the first time any
 * call is made.
 */
#ifndef ZQ_SEAM_H
#define ZQ_SEAM_H

#include <poll.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>
#include <sys/time.h>

#ifdef __cplusplus
extern "C" {
#endif

#define ZQ_SEAM_VERSION 1
#define ZQ_VIRTUAL_HARDWARE_ENV "ZQ_VIRTUAL_HARDWARE"
#define ZQ_SIM_LIBRARY "libzqsim.so"
#define ZQ_SIM_ENTRY "zq_sim_seam"

struct zq_seam {
    int version;
    /* plain system calls */
    int (*access)(const char *path, int mode);
    int (*open)(const char *path, int flags);
    int (*close)(int fd);
    ssize_t (*read)(int fd, void *buf, size_t count);
    int (*ioctl)(int fd, unsigned long request, void *arg);
    int (*poll)(struct pollfd *fds, nfds_t nfds, int timeout_ms);
    /* libv4l2 */
    int (*v4l2_open)(const char *path, int flags);
    int (*v4l2_close)(int fd);
    int (*v4l2_ioctl)(int fd, unsigned long request, void *arg);
    void *(*v4l2_mmap)(void *start, size_t length, int prot, int flags, int fd, int64_t offset);
    int (*v4l2_munmap)(void *start, size_t length);
    int (*v4l2_get_control)(int fd, int cid);
    int (*v4l2_set_control)(int fd, int cid, int value);
    /* time */
    int (*usleep)(unsigned int usec);
    int (*gettimeofday)(struct timeval *tv);
};

/* Exported by libzqsim.so under the name ZQ_SIM_ENTRY. */
typedef const struct zq_seam *(*zq_sim_seam_fn)(void);

#ifdef __cplusplus
}
#endif

#endif
