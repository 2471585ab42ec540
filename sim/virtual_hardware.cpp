#include "virtual_hardware.h"

#include "desk_script.h"
#include "seam.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zq::sim
{
namespace
{

int fail(int errnum)
{
    errno = errnum;
    return -1;
}

// Parses "/dev/videoN" or "/sys/class/video4linux/videoN/device/modalias".
bool parseNode(const char *path, const char *prefix, const char *suffix, int &node)
{
    const size_t prefixLength = std::strlen(prefix);
    if (std::strncmp(path, prefix, prefixLength) != 0)
        return false;
    char *end = nullptr;
    const long n = std::strtol(path + prefixLength, &end, 10);
    if (end == path + prefixLength || std::strcmp(end, suffix) != 0 || n < 0 ||
        n >= VirtualHardware::kNodes)
        return false;
    node = int(n);
    return true;
}

bool isDevicePath(const char *path, int &node)
{
    return parseNode(path, "/dev/video", "", node);
}
bool isModaliasPath(const char *path, int &node)
{
    return parseNode(path, "/sys/class/video4linux/video", "/device/modalias", node);
}

} // namespace

VirtualHardware &VirtualHardware::instance()
{
    static VirtualHardware hardware;
    return hardware;
}

void VirtualHardware::reset()
{
    for (auto &entry : descriptors_)
        ::close(entry.first);
    descriptors_.clear();
    for (auto &camera : cameras_)
        camera.reset();
    for (auto &chip : chips_)
        chip.reset();
    slept_ = 0;
}

VirtualCamera &VirtualHardware::addCamera(int node, CameraConfig config)
{
    cameras_[node] = std::make_unique<VirtualCamera>(std::move(config));
    return *cameras_[node];
}

VirtualChip &VirtualHardware::addChip(int node, ChipConfig config)
{
    if (!cameras_[node])
        addCamera(node, CameraConfig::documentCamera());
    chips_[node] = std::make_unique<VirtualChip>(std::move(config));
    return *chips_[node];
}

VirtualChip *VirtualHardware::chip(int node)
{
    return node >= 0 && node < kNodes ? chips_[node].get() : nullptr;
}

VirtualCamera *VirtualHardware::camera(int node)
{
    return node >= 0 && node < kNodes ? cameras_[node].get() : nullptr;
}

// The camera at /dev/videoN while it is plugged in: an unplugged one has
// neither node nor sysfs entry.
VirtualCamera *VirtualHardware::plugged(int node)
{
    VirtualCamera *c = camera(node);
    return c && !c->unplugged() ? c : nullptr;
}

VirtualHardware::Descriptor *VirtualHardware::descriptor(int fd)
{
    const auto it = descriptors_.find(fd);
    return it == descriptors_.end() ? nullptr : &it->second;
}

VirtualCamera *VirtualHardware::cameraForFd(int fd)
{
    const Descriptor *d = descriptor(fd);
    return d && !d->sysfs ? camera(d->node) : nullptr;
}

int VirtualHardware::access(const char *path, int mode)
{
    int node;
    if (isModaliasPath(path, node)) {
        const VirtualCamera *c = plugged(node);
        return c && c->config().modalias ? 0 : fail(ENOENT);
    }
    if (isDevicePath(path, node))
        return plugged(node) ? 0 : fail(ENOENT);
    return ::access(path, mode);
}

int VirtualHardware::open(const char *path, int flags, bool throughLibv4l2)
{
    int node;
    const bool sysfs = isModaliasPath(path, node);
    if (!sysfs && !isDevicePath(path, node))
        return throughLibv4l2 ? fail(ENOENT) : ::open(path, flags);
    VirtualCamera *c = plugged(node);
    if (!c)
        return fail(ENOENT);
    if (sysfs && (!c->config().modalias || !c->config().modaliasReadable))
        return fail(c->config().modalias ? EACCES : ENOENT);
    if (!sysfs && c->injectFault(kRequestOpen))
        return -1;
    if (!sysfs && throughLibv4l2 && !c->openThroughLibv4l2()) {
        c->release();
        return -1;
    }
    // A real descriptor keeps numbers unique and makes leaks visible.
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return -1;
    descriptors_[fd] = {node, sysfs, 0, throughLibv4l2};
    return fd;
}

int VirtualHardware::close(int fd, bool throughLibv4l2)
{
    Descriptor *d = descriptor(fd);
    if (!d)
        return throughLibv4l2 ? fail(EBADF) : ::close(fd);
    if (VirtualCamera *c = d->sysfs ? nullptr : camera(d->node))
        c->release();
    descriptors_.erase(fd);
    return ::close(fd);
}

ssize_t VirtualHardware::read(int fd, void *buf, size_t count)
{
    Descriptor *d = descriptor(fd);
    if (!d)
        return ::read(fd, buf, count);
    const VirtualCamera *c = camera(d->node);
    if (!d->sysfs || !c || !c->config().modalias)
        return fail(EINVAL);
    std::string text = *c->config().modalias + "\n";
    const size_t n = std::min(count, text.size() - std::min(text.size(), d->offset));
    std::memcpy(buf, text.data() + d->offset, n);
    d->offset += n;
    return ssize_t(n);
}

int VirtualHardware::ioctl(int fd, unsigned long request, void *arg, bool throughLibv4l2)
{
    Descriptor *d = descriptor(fd);
    if (!d)
        return throughLibv4l2 ? fail(EBADF) : ::ioctl(fd, request, arg);
    VirtualCamera *c = d->sysfs ? nullptr : camera(d->node);
    if (!c)
        return fail(ENOTTY);
    if (request == UVCIOC_CTRL_QUERY && !throughLibv4l2) {
        VirtualChip *x = chip(d->node);
        return x ? x->query(*static_cast<uvc_xu_control_query *>(arg)) : fail(ENOENT);
    }
    return throughLibv4l2 ? c->v4l2Ioctl(request, arg) : c->driverIoctl(request, arg);
}

int VirtualHardware::poll(pollfd *fds, nfds_t nfds, int timeoutMs)
{
    int ready = 0;
    for (nfds_t i = 0; i < nfds; ++i) {
        VirtualCamera *c = cameraForFd(fds[i].fd);
        if (!c)
            return ::poll(fds, nfds, timeoutMs); // nothing of ours: the real call
        if (c->poll(fds[i].events, fds[i].revents) < 0)
            return -1;
        ready += fds[i].revents != 0;
    }
    if (ready == 0 && timeoutMs > 0)
        slept_ += timeoutMs * 1000LL; // the wait passes on the virtual clock
    return ready;
}

void *VirtualHardware::mmap(size_t length, int fd, int64_t offset)
{
    VirtualCamera *c = cameraForFd(fd);
    if (!c) {
        errno = EBADF;
        return MAP_FAILED;
    }
    return c->libv4l2().mmap(length, offset);
}

int VirtualHardware::munmap(void *start, size_t length)
{
    for (auto &c : cameras_)
        if (c && c->munmap(start, length) == 0)
            return 0;
    return fail(EINVAL);
}

int VirtualHardware::getControl(int fd, int cid)
{
    VirtualCamera *c = cameraForFd(fd);
    return c ? c->getControl(cid) : fail(EBADF);
}

int VirtualHardware::setControl(int fd, int cid, int value)
{
    VirtualCamera *c = cameraForFd(fd);
    return c ? c->setControl(cid, value) : fail(EBADF);
}

int VirtualHardware::usleep(unsigned usec)
{
    slept_ += usec;
    for (auto &chip : chips_)
        if (chip)
            chip->elapse(usec);
    return 0;
}

int VirtualHardware::gettimeofday(timeval *tv)
{
    const int result = ::gettimeofday(tv, nullptr);
    const long long usec = tv->tv_usec + slept_;
    tv->tv_sec += usec / 1000000;
    tv->tv_usec = usec % 1000000;
    return result;
}

namespace
{

constexpr const char *kDemoFont = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

// Real English and Chinese text on a demo page, so that automatic crop, the
// searchable PDF and text recognition have words to show; the bars stay
// where the font is missing.
PageScene withDemoText(PageScene page, int sheet = 1)
{
    if (::access(kDemoFont, R_OK) != 0)
        return page;
    const std::string number = std::to_string(sheet);
    page.font = kDemoFont;
    page.textSize = 0.025;
    page.lines = {
        "Document camera demo, page " + number, "",
        "The camera looks down at a page",      "lying on the desk. zqvideo finds",
        "its edges, straightens it and",        "saves it as a picture, or as a PDF",
        "whose text can be searched.",          "",
        "文档摄像头演示，第 " + number + " 页", "摄像头从上方拍下桌上的页面，",
        "程序找出页面的边缘，把它拉正，",       "保存为图片或可以搜索的 PDF。",
    };
    return page;
}

// The demo's document camera with a page lying a little turned on the
// desk.
CameraConfig demoCamera(const PageScene &desk,
                        CameraConfig config = CameraConfig::eightMegapixelCamera())
{
    config.scene = withDemoText(desk);
    config.scene.angleDeg = 7;
    config.scene.centerX = 0.48;
    config.scene.pageWidth = 0.3;
    config.scene.unevenLight = 0.12;
    return config;
}

} // namespace

void installDemo(CameraConfig camera)
{
    VirtualHardware::instance().addCamera(0, demoCamera(PageScene{}, std::move(camera)));
}

void installLightDeskDemo()
{
    PageScene desk = sceneOnDesk(Desk::LightWood);
    desk.clutter = kPen | kMouse;
    desk.shadow = 0.2;
    desk.noise = 2;
    VirtualHardware::instance().addCamera(0, demoCamera(desk));
}

void installLeaningHeadDemo()
{
    PageScene desk;
    desk.tiltDeg = 12;
    desk.noise = 2;
    VirtualHardware::instance().addCamera(0, demoCamera(desk));
}

// A camera on a loose cable: every 30 s its frames stop for 4 s, and
// later it is unplugged for 6 s.
void installComingAndGoingDemo()
{
    CameraConfig camera = demoCamera(PageScene{});
    camera.outages = {{Outage::Stall, 8, 4, 30}, {Outage::Unplug, 20, 6, 30}};
    VirtualHardware::instance().addCamera(0, std::move(camera));
}

void installDemoStack()
{
    CameraConfig config = demoCamera(PageScene{});
    std::vector<DeskShot> shots = DeskScript::demoStack();
    int sheet = 0;
    for (DeskShot &shot : shots)
        if (shot.page)
            shot.page = withDemoText(*shot.page, ++sheet);
    config.script = std::make_shared<DeskScript>(std::move(shots));
    VirtualHardware::instance().addCamera(0, std::move(config));
}

void installBookDemo()
{
    BookScene book;
    book.pageWidth = 0.3; // the book fits the wide frames too
    book.angleDeg = 3;
    book.noise = 2;
    if (::access(kDemoFont, R_OK) == 0)
        book.font = kDemoFont;
    CameraConfig config = CameraConfig::eightMegapixelCamera();
    config.script = std::make_shared<BookScript>(book);
    VirtualHardware::instance().addCamera(0, std::move(config));
}

} // namespace zq::sim

void zq::sim::useVirtualHardware(const char *preset)
{
    setenv(ZQ_VIRTUAL_HARDWARE_ENV, preset, 1);
}

// ---- the seam table ---------------------------------------------------------

namespace
{

using zq::sim::hw;

// Filled field by field, like the real table in libzqscan: the plain and the
// libv4l2 calls share their types and differ only in their names.
zq_seam simCalls()
{
    zq_seam calls{};
    calls.version = ZQ_SEAM_VERSION;
    calls.access = [](const char *path, int mode) { return hw().access(path, mode); };
    calls.open = [](const char *path, int flags) { return hw().open(path, flags, false); };
    calls.close = [](int fd) { return hw().close(fd, false); };
    calls.read = [](int fd, void *buf, size_t count) { return hw().read(fd, buf, count); };
    calls.ioctl = [](int fd, unsigned long request, void *arg) {
        return hw().ioctl(fd, request, arg, false);
    };
    calls.poll = [](pollfd *fds, nfds_t nfds, int timeoutMs) {
        return hw().poll(fds, nfds, timeoutMs);
    };
    calls.v4l2_open = [](const char *path, int flags) { return hw().open(path, flags, true); };
    calls.v4l2_close = [](int fd) { return hw().close(fd, true); };
    calls.v4l2_ioctl = [](int fd, unsigned long request, void *arg) {
        return hw().ioctl(fd, request, arg, true);
    };
    calls.v4l2_mmap = [](void *, size_t length, int, int, int fd, int64_t offset) {
        return hw().mmap(length, fd, offset);
    };
    calls.v4l2_munmap = [](void *start, size_t length) { return hw().munmap(start, length); };
    calls.v4l2_get_control = [](int fd, int cid) { return hw().getControl(fd, cid); };
    calls.v4l2_set_control = [](int fd, int cid, int value) {
        return hw().setControl(fd, cid, value);
    };
    calls.usleep = [](unsigned usec) { return hw().usleep(usec); };
    calls.gettimeofday = [](timeval *tv) { return hw().gettimeofday(tv); };
    return calls;
}

} // namespace

extern "C" __attribute__((visibility("default"))) const zq_seam *zq_sim_seam(void)
{
    // A program started on the virtual hardware arranges nothing itself,
    // so the setting's value chooses the hardware.
    static const bool installed = [] {
        struct Preset {
            const char *name;
            void (*install)();
        };
        static const Preset presets[] = {
            {"demo", [] { zq::sim::installDemo(); }},
            {"demo-13mp",
             [] { zq::sim::installDemo(zq::sim::CameraConfig::thirteenMegapixelCamera()); }},
            {"demo-light-desk", zq::sim::installLightDeskDemo},
            {"demo-leaning", zq::sim::installLeaningHeadDemo},
            {"demo-coming-and-going", zq::sim::installComingAndGoingDemo},
            {"stack", zq::sim::installDemoStack},
            {"book", zq::sim::installBookDemo},
            {"vivid", zq::sim::installVivid},
        };
        const char *wanted = std::getenv(ZQ_VIRTUAL_HARDWARE_ENV);
        if (!wanted)
            return true;
        for (const Preset &preset : presets)
            if (std::strcmp(wanted, preset.name) == 0) {
                preset.install();
                return true;
            }
        zq::sim::installChipPreset(wanted);
        return true;
    }();
    (void)installed;
    static const zq_seam calls = simCalls();
    return &calls;
}
