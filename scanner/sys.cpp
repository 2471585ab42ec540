#include "sys.h"

#include "library_folder.h"
#include "library_log.h"

#include <zqscan/zq_messages.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <libv4l2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace zq::sys
{
namespace
{

// Filled field by field: open and v4l2_open, ioctl and v4l2_ioctl, close and
// v4l2_close share their types, so only the names keep a camera from
// silently bypassing libv4l2's conversion.
zq_seam realCalls()
{
    zq_seam calls{};
    calls.version = ZQ_SEAM_VERSION;
    calls.access = ::access;
    calls.open = [](const char *path, int flags) { return ::open(path, flags); };
    calls.close = ::close;
    calls.read = ::read;
    calls.ioctl = [](int fd, unsigned long request, void *arg) {
        return ::ioctl(fd, request, arg);
    };
    calls.poll = ::poll;
    calls.v4l2_open = [](const char *path, int flags) { return ::v4l2_open(path, flags); };
    calls.v4l2_close = ::v4l2_close;
    calls.v4l2_ioctl = [](int fd, unsigned long request, void *arg) {
        return ::v4l2_ioctl(fd, request, arg);
    };
    calls.v4l2_mmap = ::v4l2_mmap;
    calls.v4l2_munmap = ::v4l2_munmap;
    calls.v4l2_get_control = ::v4l2_get_control;
    calls.v4l2_set_control = ::v4l2_set_control;
    calls.usleep = ::usleep;
    calls.gettimeofday = [](timeval *tv) { return ::gettimeofday(tv, nullptr); };
    return calls;
}

const zq_seam *virtualSeam()
{
    const std::string path = zq::privateLibraryPath(ZQ_SIM_LIBRARY);
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        zq::log(ZQ_LOG_ERROR, zq::Console::Err,
                "libzqscan: %s is set but the virtual hardware is missing: %s",
                ZQ_VIRTUAL_HARDWARE_ENV, dlerror());
        std::exit(1);
    }
    auto entry = reinterpret_cast<zq_sim_seam_fn>(dlsym(handle, ZQ_SIM_ENTRY));
    const zq_seam *table = entry ? entry() : nullptr;
    if (!table || table->version != ZQ_SEAM_VERSION) {
        zq::log(ZQ_LOG_ERROR, zq::Console::Err, "libzqscan: %s does not provide a usable %s",
                path.c_str(), ZQ_SIM_ENTRY);
        std::exit(1);
    }
    return table;
}

const zq_seam *bind()
{
    static const zq_seam real = realCalls();
    const char *wanted = std::getenv(ZQ_VIRTUAL_HARDWARE_ENV);
    return wanted && *wanted ? virtualSeam() : &real;
}

} // namespace

const zq_seam &seam()
{
    static const zq_seam *const bound = bind();
    return *bound;
}

} // namespace zq::sys
