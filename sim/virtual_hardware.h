// The virtual hardware behind libzqscan's seam: up to ten video nodes with
// their sysfs entries, each possibly a virtual camera, and a virtual clock.
//
// Tests link libzqsim, set ZQ_VIRTUAL_HARDWARE before the first library
// call, and arrange cameras here; the unmodified program uses the same
// library when started with ZQ_VIRTUAL_HARDWARE=demo.
#ifndef ZQ_SIM_VIRTUAL_HARDWARE_H
#define ZQ_SIM_VIRTUAL_HARDWARE_H

#include "virtual_camera.h"
#include "virtual_chip.h"

#include <poll.h>
#include <sys/time.h>

#include <memory>

namespace zq::sim
{

class VirtualHardware
{
  public:
    static VirtualHardware &instance();

    // Forgets every camera and every open descriptor.
    void reset();

    // Places a camera at /dev/videoN with its sysfs modalias entry.
    VirtualCamera &addCamera(int node, CameraConfig config);
    VirtualCamera *camera(int node);
    // The camera behind an open descriptor, or null.
    VirtualCamera *cameraForFd(int fd);
    // Gives the camera at /dev/videoN (placed if missing) a controller chip
    // behind its extension unit.
    VirtualChip &addChip(int node, ChipConfig config);
    VirtualChip *chip(int node);

    int openDescriptors() const { return int(descriptors_.size()); }
    // Microseconds slept through the seam since the last reset.
    long long sleptMicroseconds() const { return slept_; }

    // Seam entry points.
    int access(const char *path, int mode);
    int open(const char *path, int flags, bool throughLibv4l2);
    int close(int fd, bool throughLibv4l2);
    ssize_t read(int fd, void *buf, size_t count);
    int ioctl(int fd, unsigned long request, void *arg, bool throughLibv4l2);
    int poll(pollfd *fds, nfds_t nfds, int timeoutMs);
    void *mmap(size_t length, int fd, int64_t offset);
    int munmap(void *start, size_t length);
    int getControl(int fd, int cid);
    int setControl(int fd, int cid, int value);
    int usleep(unsigned usec);
    int gettimeofday(timeval *tv);

    static constexpr int kNodes = 16; // video0..video15; the library looks at 0..9

  private:
    struct Descriptor {
        int node;
        bool sysfs;    // a modalias file rather than the device node
        size_t offset; // read position in the modalias file
        bool libv4l2;
    };

    VirtualHardware() = default;
    Descriptor *descriptor(int fd);
    VirtualCamera *plugged(int node);

    std::unique_ptr<VirtualCamera> cameras_[kNodes];
    std::unique_ptr<VirtualChip> chips_[kNodes];
    std::map<int, Descriptor> descriptors_;
    long long slept_ = 0;
};

// The process's virtual hardware: shorthand for VirtualHardware::instance().
inline VirtualHardware &hw()
{
    return VirtualHardware::instance();
}

// Binds libzqscan to the virtual hardware: call it before the first call
// into the library.  A program that arranges nothing itself finds what
// `preset` names (the presets below); any other name leaves the hardware
// empty for the caller to arrange.
void useVirtualHardware(const char *preset);

// The configuration the demo runs: one document camera with a page on the
// desk (ZQ_VIRTUAL_HARDWARE=demo: 8 MP, demo-13mp: 13 MP).
void installDemo(CameraConfig camera = CameraConfig::eightMegapixelCamera());
// The same camera with the page on a light wooden desk beside a pen and a
// mouse, in a soft shadow.
void installLightDeskDemo();
// The same camera with its head leaning 12 degrees forward: the page looks
// trapezoidal.
void installLeaningHeadDemo();
// The same camera looking at a stack of pages laid one after another.
void installDemoStack();
void installComingAndGoingDemo();
// The same camera looking at an open book whose pages are turned now and
// then, its text in the Debian font of fonts-wqy-microhei (bars when that
// is not installed).
void installBookDemo();
// The kernel's virtual video driver with its default options: colour bars
// at video0 and three nodes that do not capture at video1 to video3.
void installVivid();
// Camera-chip configurations for the service tool, by name (see
// chip_presets.cpp); false when the name is none of them.
bool installChipPreset(const std::string &name);

} // namespace zq::sim

#endif
