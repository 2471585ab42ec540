// The extension-unit transport, controller registers and the I2C engine.

#include <zqscan/XUOptDev.h>
#include <zqscan/ROMData.h>
#include <zqscan/zq_messages.h>
#include "library_log.h"
#include "printable.h"
#include "sdk_internal.h"
#include "sys.h"

#include <fcntl.h>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

extern "C" {

const DSP_ARCH_INFO g_AsicArchInfo[DSP_ARCH_COUNT] = {
    // id      sfRdy   usbRst  gpioIn  gpioOut gpioOE  sfMode  sfCS    sfWr    sfRd    sfTrg
    // i2cDev  i2cMode i2cTrg  i2cScl  i2cSlv  i2cData
    {0x101F, 0x1084, 0x1073, 0x1005, 0x1006, 0x1007, 0x1080, 0x1091, 0x1082, 0x1083, 0x1081, 0x10D0,
     0x10D9, 0x10D7, 0x10D8, 0x10D1, 0x10D2},
    {0x80F0, 0x8E04, 0x8C00, 0x8200, 0x8201, 0x8202, 0x8E00, 0x8E11, 0x8E02, 0x8E03, 0x8E01, 0x8600,
     0x8609, 0x8607, 0x8608, 0x8601, 0x8602},
};

int fd = -1;
BOOL camera_init = 0;
BYTE g_curExtendUnitID = 3;

USHORT dspIdAddr = 0x101F;
USHORT sfRdyAddr = 0x1084;
USHORT usbResetAddr = 0x1073;
USHORT gpioInputAddr = 0x1005;
USHORT gpioOutputAddr = 0x1006;
USHORT gpioOEAddr = 0x1007;
USHORT sfModeAddr = 0x1080;
USHORT sfCSAddr = 0x1091;
USHORT sfWriteDataAddr = 0x1082;
USHORT sfReadDataAddr = 0x1083;
USHORT sfReadWriteTriggerAddr = 0x1081;
USHORT i2cDev = 0x10D0;
USHORT i2cMode = 0x10D9;
USHORT i2cTrg = 0x10D7;
USHORT i2cSclSelOD = 0x10D8;
USHORT i2cSlaveID = 0x10D1;
USHORT i2cDataArrStartAddr = 0x10D2;

} // extern "C"

namespace
{

constexpr BYTE kReadRequest = 0xFF;
constexpr int kI2cPolls = 10;
constexpr unsigned kPollSleepUs = 1000;
constexpr BYTE kI2cDone = 0x04;
constexpr BYTE kI2cError = 0x08;
constexpr BYTE kI2cStart = 0x80;
constexpr BYTE kI2cRead = 0x02;
constexpr BYTE kI2cTrigger = 0x10;
constexpr int kI2cSlots = 5;

struct ControlName {
    BYTE selector;
    const char *name;
};

const ControlName kControlNames[] = {
    {XU_CS_ASIC_REGISTER, "controller register"},
    {XU_CS_FLASH_WINDOW, "flash window"},
    {XU_CS_ROM_WINDOW, "ROM window"},
    {XU_CS_MEMORY_TYPE, "memory type"},
};

const char *controlName(BYTE selector)
{
    for (const ControlName &control : kControlNames)
        if (control.selector == selector)
            return control.name;
    return "vendor control";
}

int query(BYTE unit, BYTE selector, BYTE code, USHORT size, BYTE *data)
{
    uvc_xu_control_query q{};
    q.unit = unit;
    q.selector = selector;
    q.query = code;
    q.size = size;
    q.data = data;
    const int result = zq::sys::ioctl(fd, UVCIOC_CTRL_QUERY, &q);
    if (result < 0)
        zq::failWithErrno("extension unit %u, control %u (%s): %s of %u bytes on descriptor %d "
                          "failed",
                          unit, selector, controlName(selector),
                          code == UVC_GET_CUR ? "GET_CUR" : "SET_CUR", size, fd);
    return result;
}

// Whether one control transfer carries length bytes from or to data.
bool transferFits(const BYTE *data, unsigned length)
{
    if (length > 0xFFFF)
        zq::failWith("%u bytes are more than one control transfer carries (65535)", length);
    else if (!data && length)
        zq::failWith("no buffer for %u bytes (null pointer)", length);
    else
        return true;
    return false;
}

void closeDevice()
{
    zq::sys::close(fd);
    fd = -1;
}

// Every map field is a USHORT, in the order of the globals above.
USHORT *const kCurrentMap[] = {
    &dspIdAddr,
    &sfRdyAddr,
    &usbResetAddr,
    &gpioInputAddr,
    &gpioOutputAddr,
    &gpioOEAddr,
    &sfModeAddr,
    &sfCSAddr,
    &sfWriteDataAddr,
    &sfReadDataAddr,
    &sfReadWriteTriggerAddr,
    &i2cDev,
    &i2cMode,
    &i2cTrg,
    &i2cSclSelOD,
    &i2cSlaveID,
    &i2cDataArrStartAddr,
};
static_assert(sizeof(kCurrentMap) / sizeof(kCurrentMap[0]) ==
                  sizeof(DSP_ARCH_INFO) / sizeof(USHORT),
              "one global per register-map field");

BOOL selectArch(int type)
{
    if (type != DAT_FIRST && type != DAT_SECOND) {
        zq::failWith("architecture %d is neither DAT_FIRST nor DAT_SECOND", type);
        return 0;
    }
    USHORT row[sizeof(DSP_ARCH_INFO) / sizeof(USHORT)];
    std::memcpy(row, &g_AsicArchInfo[type], sizeof(row));
    for (size_t i = 0; i < sizeof(row) / sizeof(row[0]); ++i)
        *kCurrentMap[i] = row[i];
    return 1;
}

// Sets bits 0 and 1 of the I2C mode when the caller wants SCL polled; the
// results are not looked at, as the engine works without them.
void enableSclPolling(bool pollSCL)
{
    if (!pollSCL)
        return;
    BYTE mode = 0;
    XU_ReadFromASIC(i2cMode, &mode);
    XU_WriteToASIC(i2cMode, mode | 0x03);
}

// Mode, SCL select and the speed bit: the part every I2C transfer shares.
// Returns the speed bit (0 or 1), or -1 when a register access failed.
int prepareI2c(bool pollSCL)
{
    if (!XU_WriteToASIC(i2cMode, 1))
        return -1;
    enableSclPolling(pollSCL);
    if (!XU_WriteToASIC(i2cSclSelOD, 1))
        return -1;
    BYTE dev = 0;
    if (!XU_ReadFromASIC(i2cDev, &dev))
        return -1;
    return dev & 0x01;
}

BOOL fillSlots(const BYTE *bytes, int count)
{
    for (int i = 0; i < kI2cSlots; ++i)
        if (!XU_WriteToASIC(USHORT(i2cDataArrStartAddr + i), i < count ? bytes[i] : 0))
            return 0;
    return 1;
}

// Starts the transfer and waits for the done bit; true when it finished
// without the error bit.
BOOL runI2c()
{
    if (!XU_WriteToASIC(i2cTrg, kI2cTrigger))
        return 0;
    BYTE status = 0;
    for (int i = 0; i < kI2cPolls; ++i) {
        if (!XU_ReadFromASIC(i2cDev, &status))
            return 0;
        if (status & kI2cDone)
            break;
        zq::sys::usleep(kPollSleepUs);
    }
    if (!(status & kI2cDone))
        zq::failWith("the I2C transfer to the image sensor did not finish within %d polls",
                     kI2cPolls);
    else if (status & kI2cError)
        zq::failWith("the image sensor did not acknowledge the I2C transfer (status 0x%02X)",
                     status);
    else
        return 1;
    return 0;
}

BYTE limitWidth(BYTE bytes)
{
    return bytes > 2 ? 2 : bytes;
}

} // namespace

extern "C" {

int XU_Get_Cur(BYTE xu_unit, BYTE xu_selector, USHORT xu_size, BYTE *xu_data)
{
    return query(xu_unit, xu_selector, UVC_GET_CUR, xu_size, xu_data);
}

int XU_Set_Cur(BYTE xu_unit, BYTE xu_selector, USHORT xu_size, BYTE *xu_data)
{
    return query(xu_unit, xu_selector, UVC_SET_CUR, xu_size, xu_data);
}

BOOL XU_Read(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs)
{
    if (!transferFits(pData, length))
        return 0;
    return XU_Get_Cur(unitID, cs, USHORT(length), pData) == 0;
}

BOOL XU_Write(BYTE *pData, unsigned int length, BYTE unitID, BYTE cs)
{
    if (!transferFits(pData, length))
        return 0;
    return XU_Set_Cur(unitID, cs, USHORT(length), pData) == 0;
}

BOOL XU_ReadFromASIC(USHORT addr, BYTE *pValue)
{
    BYTE control[XU_ASIC_CONTROL_SIZE] = {BYTE(addr & 0xFF), BYTE(addr >> 8), 0x00, kReadRequest};
    int result = XU_Set_Cur(g_curExtendUnitID, XU_CS_ASIC_REGISTER, sizeof(control), control);
    if (result < 0) {
        zq::log(ZQ_LOG_ERROR, zq::Console::Out, "ioctl(UVCIOC_CTRL_SET) FAILED (%i) ", result);
        return 0;
    }
    control[3] = 0x00;
    result = XU_Get_Cur(g_curExtendUnitID, XU_CS_ASIC_REGISTER, sizeof(control), control);
    if (result < 0) {
        zq::log(ZQ_LOG_ERROR, zq::Console::Out, "ioctl(UVCIOC_CTRL_GET) FAILED (%i)", result);
        return 0;
    }
    if (pValue)
        *pValue = control[2];
    return 1;
}

BOOL XU_WriteToASIC(USHORT addr, BYTE value)
{
    BYTE control[XU_ASIC_CONTROL_SIZE] = {BYTE(addr & 0xFF), BYTE(addr >> 8), value, 0x00};
    const int result = XU_Set_Cur(g_curExtendUnitID, XU_CS_ASIC_REGISTER, sizeof(control), control);
    if (result < 0) {
        zq::log(ZQ_LOG_ERROR, zq::Console::Out, "ioctl(UVCIOC_CTRL_SET) FAILED (%i) ", result);
        return 0;
    }
    return 1;
}

BYTE XU_ReadBitFormAsic(LONG addr, BYTE bit)
{
    if (bit > 7) {
        zq::failWith("bit %u lies beyond a register's eight", bit);
        return 0;
    }
    BYTE value = 0;
    if (!XU_ReadFromASIC(USHORT(addr), &value))
        value = 0;
    return value & BYTE(1u << bit);
}

BOOL XU_GetMemType(BYTE *pMemType)
{
    BYTE control[XU_WINDOW_CONTROL_SIZE] = {};
    const int result = XU_Get_Cur(g_curExtendUnitID, XU_CS_MEMORY_TYPE, sizeof(control), control);
    if (result < 0) {
        zq::log(ZQ_LOG_ERROR, zq::Console::Out, "ioctl(UVCIOC_CTRL_GET) FAILED (%i)", result);
        return 0;
    }
    if (pMemType)
        *pMemType = control[2];
    return 1;
}

BYTE XU_GetUVCExtendUnitID(void)
{
    for (BYTE unit : {BYTE(3), BYTE(4)}) {
        g_curExtendUnitID = unit;
        BYTE chipId = 0;
        DSP_ARCH_TYPE arch = DAT_UNKNOW;
        if (XU_GetChipRomType(&chipId, &arch) != DRT_Unknow)
            return unit;
    }
    zq::failWith("neither extension unit 3 nor 4 identifies a controller chip the SDK knows");
    zq::log(ZQ_LOG_ERROR, zq::Console::Out, "Get uvc extend unit id fail");
    return 0;
}

BOOL XU_OpenCamera(const char *devPath)
{
    if (!devPath) {
        zq::failWith("XU_OpenCamera: no device path (null pointer)");
        return 0;
    }
    fd = zq::sys::open(devPath, O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        zq::failWithErrno("cannot open %s", devPath);
        return 0;
    }
    v4l2_capability cap;
    std::memset(&cap, 0, sizeof(cap));
    if (zq::sys::ioctl(fd, VIDIOC_QUERYCAP, &cap) < 0) {
        zq::failWithErrno("%s answers no VIDIOC_QUERYCAP", devPath);
        zq::log(ZQ_LOG_ERROR, zq::Console::Out, "Error opening device %s : unable to query device.",
                devPath);
        closeDevice();
        return 0;
    }
    // The name is the camera's own (its USB product string): escaped.
    const std::string card(reinterpret_cast<const char *>(cap.card),
                           strnlen(reinterpret_cast<const char *>(cap.card), sizeof cap.card));
    zq::log(ZQ_LOG_INFO, zq::Console::Out, "Device %s opened: %s.", devPath,
            zq::printable(card).c_str());
    const BYTE unit = XU_GetUVCExtendUnitID();
    if (unit == 0) {
        closeDevice();
        return 0;
    }
    g_curExtendUnitID = unit;
    BYTE chipId = 0;
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    if (XU_GetChipRomType(&chipId, &arch) == DRT_Unknow) {
        closeDevice();
        return 0;
    }
    return 1;
}

BOOL XU_CloseCamera(void)
{
    if (!camera_init) {
        zq::failWith("XU_CloseCamera: no chip is open");
        return 0;
    }
    if (zq::sys::close(fd) != 0) {
        zq::failWithErrno("cannot close descriptor %d", fd);
        char reason[256];
        zq::log(ZQ_LOG_ERROR, zq::Console::Err, "Fail to close fd: %s",
                strerror_r(errno, reason, sizeof reason));
        return 0;
    }
    fd = -1;
    return 1;
}

BOOL XU_SetAsicArchInfo(DSP_ARCH_TYPE asicArchType)
{
    return selectArch(asicArchType);
}

BOOL LibUsb_SetAsicArchInfo(DSP_ARCH_TYPE dspArchType)
{
    return selectArch(dspArchType);
}

BOOL XU_CustomWriteToSensor(BYTE slaveID, USHORT addr, BYTE addrByteNum, USHORT data,
                            BYTE dataByteNum, bool pollSCL)
{
    addrByteNum = limitWidth(addrByteNum);
    dataByteNum = limitWidth(dataByteNum);
    const int speed = prepareI2c(pollSCL);
    if (speed < 0)
        return 0;
    const BYTE control = BYTE(kI2cStart | ((addrByteNum + dataByteNum) << 4) | speed);
    if (!XU_WriteToASIC(i2cDev, control) || !XU_WriteToASIC(i2cSlaveID, slaveID))
        return 0;
    BYTE bytes[4];
    int count = 0;
    if (addrByteNum > 1)
        bytes[count++] = BYTE(addr >> 8);
    bytes[count++] = BYTE(addr & 0xFF);
    if (dataByteNum > 1)
        bytes[count++] = BYTE(data >> 8);
    bytes[count++] = BYTE(data & 0xFF);
    return fillSlots(bytes, count) && runI2c();
}

BOOL XU_CustomReadFromSensor(BYTE slaveID, USHORT addr, BYTE addrByteNum, USHORT *pData,
                             BYTE dataByteNum, bool pollSCL)
{
    if (dataByteNum == 0 || !pData) {
        zq::failWith("XU_CustomReadFromSensor: no place for the data, or none asked");
        return 0;
    }
    addrByteNum = limitWidth(addrByteNum);
    dataByteNum = limitWidth(dataByteNum);
    if (!XU_CustomWriteToSensor(slaveID, addr, addrByteNum, 0, 0, pollSCL))
        return 0;
    const int speed = prepareI2c(pollSCL);
    if (speed < 0)
        return 0;
    const BYTE control = BYTE(kI2cStart | (dataByteNum << 4) | kI2cRead | speed);
    if (!XU_WriteToASIC(i2cDev, control) || !XU_WriteToASIC(i2cSlaveID, slaveID) ||
        !fillSlots(nullptr, 0) || !runI2c())
        return 0;
    BYTE slots[kI2cSlots];
    for (int i = 0; i < kI2cSlots; ++i)
        if (!XU_ReadFromASIC(USHORT(i2cDataArrStartAddr + i), &slots[i]))
            return 0;
    // The bytes read arrive at the end of the slots.
    *pData = dataByteNum == 2 ? USHORT(slots[3] << 8 | slots[4]) : slots[4];
    return 1;
}

} // extern "C"
