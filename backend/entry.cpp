// The SANE entry points.  The dll backend looks them up as
// sane_zqscan_NAME; a program linking the backend alone calls sane_NAME,
// the same functions by another name.  Nothing may throw across them.
#include "device.h"

#include <zqscan/zq_opencv.h>
#include <zqscan/zq_scanner.h>

#include <sane/sane.h>

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace
{

using zq::sane::Device;

constexpr SANE_Int kBuild = 1;

// libzqscan knows its cameras by index, each by its USB id.
struct KnownCamera {
    int index;
    const char *name; // stable across runs and plugs
    const char *model;
};
const KnownCamera kCameras[] = {
    {1, "0ac8:3370", "Document camera 0AC8:3370"},
    {2, "0ac8:3580", "Document camera 0AC8:3580"},
    {3, "0ac8:3590", "Document camera 0AC8:3590"},
};
const char kVendor[] = "Z-Star Microelectronics";
const char kType[] = "document camera";

std::vector<SANE_Device> devices;
std::vector<const SANE_Device *> deviceList;
// libzqscan streams one camera a process: one handle at a time.
Device *openDevice = nullptr;

Device *handleDevice(SANE_Handle handle)
{
    return handle && handle == openDevice ? static_cast<Device *>(handle) : nullptr;
}

// Runs an entry point's work: out of memory, or anything else thrown,
// becomes a status instead of crossing into C.
template <typename Work> SANE_Status guarded(Work &&work)
{
    try {
        return work();
    } catch (const std::bad_alloc &) {
        return SANE_STATUS_NO_MEM;
    } catch (...) {
        return SANE_STATUS_IO_ERROR;
    }
}

} // namespace

extern "C" {

SANE_Status sane_zqscan_init(SANE_Int *version_code, SANE_Auth_Callback)
{
    if (version_code)
        *version_code = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, kBuild);
    zq_scanner_dllinit();
    return SANE_STATUS_GOOD;
}

void sane_zqscan_exit(void)
{
    delete openDevice;
    openDevice = nullptr;
    devices.clear();
    deviceList.clear();
    zq_scanner_dllunit();
}

SANE_Status sane_zqscan_get_devices(const SANE_Device ***device_list, SANE_Bool)
{
    return guarded([&] {
        devices.clear();
        deviceList.clear();
        for (const KnownCamera &camera : kCameras)
            if (zq_scanner_present(camera.index) == 1)
                devices.push_back({camera.name, kVendor, camera.model, kType});
        for (const SANE_Device &d : devices)
            deviceList.push_back(&d);
        deviceList.push_back(nullptr);
        *device_list = deviceList.data();
        return SANE_STATUS_GOOD;
    });
}

SANE_Status sane_zqscan_open(SANE_String_Const name, SANE_Handle *handle)
{
    return guarded([&] {
        const KnownCamera *camera = nullptr;
        for (const KnownCamera &c : kCameras)
            if (!camera && (name[0] == '\0' ? zq_scanner_present(c.index) == 1
                                            : std::strcmp(name, c.name) == 0))
                camera = &c;
        if (!camera)
            return SANE_STATUS_INVAL;
        if (openDevice)
            return SANE_STATUS_DEVICE_BUSY;
        std::unique_ptr<Device> device;
        const SANE_Status status = Device::open(camera->index, device);
        if (status == SANE_STATUS_GOOD)
            *handle = openDevice = device.release();
        return status;
    });
}

void sane_zqscan_close(SANE_Handle handle)
{
    if (!handleDevice(handle))
        return;
    delete openDevice;
    openDevice = nullptr;
}

const SANE_Option_Descriptor *sane_zqscan_get_option_descriptor(SANE_Handle handle, SANE_Int option)
{
    Device *device = handleDevice(handle);
    return device ? device->options().descriptor(option) : nullptr;
}

SANE_Status sane_zqscan_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action,
                                       void *value, SANE_Int *info)
{
    return guarded([&] {
        Device *device = handleDevice(handle);
        if (info)
            *info = 0;
        if (!device)
            return SANE_STATUS_INVAL;
        if (action == SANE_ACTION_GET_VALUE)
            return device->options().get(option, value);
        if (device->scanning())
            return SANE_STATUS_DEVICE_BUSY;
        if (action == SANE_ACTION_SET_VALUE)
            return device->options().set(option, value, info);
        return SANE_STATUS_UNSUPPORTED; // no option is set automatically
    });
}

SANE_Status sane_zqscan_get_parameters(SANE_Handle handle, SANE_Parameters *params)
{
    Device *device = handleDevice(handle);
    if (!device || !params)
        return SANE_STATUS_INVAL;
    return device->parameters(*params);
}

SANE_Status sane_zqscan_start(SANE_Handle handle)
{
    return guarded([&] {
        Device *device = handleDevice(handle);
        return device ? device->start() : SANE_STATUS_INVAL;
    });
}

SANE_Status sane_zqscan_read(SANE_Handle handle, SANE_Byte *data, SANE_Int max_length,
                             SANE_Int *length)
{
    Device *device = handleDevice(handle);
    if (!device || !data || !length || max_length < 0)
        return SANE_STATUS_INVAL;
    return device->read(data, max_length, length);
}

void sane_zqscan_cancel(SANE_Handle handle)
{
    if (Device *device = handleDevice(handle))
        device->cancel();
}

// Every read returns with data at once; a start may wait for a page, and
// front ends call it on a thread of their own.
SANE_Status sane_zqscan_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking)
{
    if (!handleDevice(handle))
        return SANE_STATUS_INVAL;
    return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

SANE_Status sane_zqscan_get_select_fd(SANE_Handle, SANE_Int *)
{
    return SANE_STATUS_UNSUPPORTED;
}

} // extern "C"
