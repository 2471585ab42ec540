#include "sys.h"

#include "library_folder.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <libv4l2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace zq::sys
{
namespace
{

int realOpen(const char *path, int flags)
{
    return ::open(path, flags);
}
int realIoctl(int fd, unsigned long request, void *arg)
{
    return ::ioctl(fd, request, arg);
}
int realV4l2Open(const char *path, int flags)
{
    return ::v4l2_open(path, flags);
}
int realV4l2Ioctl(int fd, unsigned long request, void *arg)
{
    return ::v4l2_ioctl(fd, request, arg);
}
void *realV4l2Mmap(void *start, size_t length, int prot, int flags, int fd, int64_t offset)
{
    return ::v4l2_mmap(start, length, prot, flags, fd, offset);
}
int realUsleep(unsigned int usec)
{
    return ::usleep(usec);
}
int realGettimeofday(timeval *tv)
{
    return ::gettimeofday(tv, nullptr);
}

const zq_seam realSeam = {
    ZQ_SEAM_VERSION,
    ::access,
    realOpen,
    ::close,
    ::read,
    realIoctl,
    ::poll,
    realV4l2Open,
    ::v4l2_close,
    realV4l2Ioctl,
    realV4l2Mmap,
    ::v4l2_munmap,
    ::v4l2_get_control,
    ::v4l2_set_control,
    realUsleep,
    realGettimeofday,
};

const zq_seam *virtualSeam()
{
    const std::string path = zq::libraryFolder() + "/" ZQ_SIM_LIBRARY;
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        std::fprintf(stderr, "libzqscan: %s is set but the virtual hardware is missing: %s\n",
                     ZQ_VIRTUAL_HARDWARE_ENV, dlerror());
        std::exit(1);
    }
    auto entry = reinterpret_cast<zq_sim_seam_fn>(dlsym(handle, ZQ_SIM_ENTRY));
    const zq_seam *table = entry ? entry() : nullptr;
    if (!table || table->version != ZQ_SEAM_VERSION) {
        std::fprintf(stderr, "libzqscan: %s does not provide a usable %s\n", path.c_str(),
                     ZQ_SIM_ENTRY);
        std::exit(1);
    }
    return table;
}

const zq_seam *bind()
{
    const char *wanted = std::getenv(ZQ_VIRTUAL_HARDWARE_ENV);
    return wanted && *wanted ? virtualSeam() : &realSeam;
}

} // namespace

const zq_seam &seam()
{
    static const zq_seam *const bound = bind();
    return *bound;
}

} // namespace zq::sys
