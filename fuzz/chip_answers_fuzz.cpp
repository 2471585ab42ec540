// The chip SDK (chipsdk/) on a hostile controller: every answer the chip
// gives to an extension-unit read (registers, the ROM's bytes, the serial
// flash's id, status and data windows) is the next bytes of the input, and
// a read past the input's end fails, as an unplugged camera's does.  The
// SDK opens the camera, finds its extension unit and ROM, then does what
// "zqchip info" does and reads a little more: the ROM type and version,
// the firmware version record (both forms), the USB strings (their
// descriptors decoded from the flash's parameter table), the USB ids, the
// flash's id and size, a flash window, registers and a sensor register.
// Buffers are heap blocks of exactly the size the interface names, so that
// AddressSanitizer sees any write past one.
#include "trap_unless.h"
#include "fuzz_seam.h"

#include <zqscan/ChipCamera.h>
#include <zqscan/ROMData.h>
#include <zqscan/SFData.h>
#include <zqscan/XUOptDev.h>

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>

namespace
{

const uint8_t *answers = nullptr;
size_t answersLeft = 0;

int chipIoctl(int fd, unsigned long request, void *arg)
{
    if (fd != 5) {
        errno = EBADF;
        return -1;
    }
    if (request == VIDIOC_QUERYCAP) {
        auto *cap = static_cast<v4l2_capability *>(arg);
        std::memset(cap, 0, sizeof(*cap));
        std::strcpy(reinterpret_cast<char *>(cap->card), "hostile chip");
        cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        return 0;
    }
    if (request != UVCIOC_CTRL_QUERY) {
        errno = ENOTTY;
        return -1;
    }
    auto *q = static_cast<uvc_xu_control_query *>(arg);
    if (q->query == UVC_SET_CUR)
        return 0;
    if (q->query != UVC_GET_CUR || answersLeft < q->size) {
        errno = EIO;
        return -1;
    }
    std::memcpy(q->data, answers, q->size);
    answers += q->size;
    answersLeft -= q->size;
    return 0;
}

template <size_t N> struct Exact {
    std::unique_ptr<BYTE[]> bytes{new BYTE[N]()};
    BYTE *get() { return bytes.get(); }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    zq_seam s = zq::fuzz::failingSeam();
    s.open = [](const char *path, int) {
        return std::strcmp(path, "/dev/video0") == 0 ? 5 : (errno = ENOENT, -1);
    };
    s.ioctl = chipIoctl;
    zq::fuzz::setSeam(s);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    answers = data;
    answersLeft = size;
    if (!ChipCam_Init(0))
        return 0;

    DSP_ROM_TYPE romType = DRT_Unknow;
    ChipCam_GetAsicRomType(&romType);
    Exact<ROM_STRING_SIZE + 2> rom;
    XU_GetAsicRomVersion(rom.get());
    for (BOOL normal : {0, 1}) {
        Exact<CHIPCAM_FW_VERSION_SIZE> version;
        ChipCam_GetFWVersion(version.get(), CHIPCAM_FW_VERSION_SIZE, normal);
        ChipCam_GetFWVersionEx(normal ? DRT_64K : DRT_128K, version.get(), CHIPCAM_FW_VERSION_SIZE,
                               normal);
    }
    BOOL(*const strings[])
    (BYTE *, int) = {ChipCam_GetProduct, ChipCam_GetManufacturer, ChipCam_GetSerialNumber,
                     ChipCam_GetString3, ChipCam_GetInterface};
    for (auto get : strings) {
        Exact<32> text; // smaller than the longest descriptor
        get(text.get(), 32);
        Exact<256> large;
        get(large.get(), 256);
    }
    Exact<4> ids;
    ChipCam_GetVidPid(ids.get(), 4);
    Exact<3> jedec;
    XU_ReadSerialFlashID(jedec.get());
    LONG flashSize = -1;
    BOOL byId = 0;
    if (XU_GetSerialFlashSize(&flashSize, &byId))
        trapUnless(flashSize > 0 && flashSize <= SF_WINDOW_LIMIT);
    ULONG start = 0, end = 0, crc = 0;
    if (XU_GetParaTableAndCRCAddrFormSF(&start, &end, &crc))
        trapUnless(start <= end && end <= ULONG(SF_WINDOW_LIMIT) && crc < ULONG(SF_WINDOW_LIMIT));
    Exact<40> window;
    ChipCam_SerialFlashRead(0x100, window.get(), 40);
    Exact<3> registers;
    ChipCam_AsicRegisterRead(0x1000, registers.get(), 3);
    Exact<2> sensor;
    ChipCam_SensorRegisterCustomRead(0x42, 0x300A, sensor.get(), 2, true);
    ChipCam_UnInit();
    return 0;
}
