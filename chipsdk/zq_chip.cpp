// The chip handle: the C front door of zq_chip.h over the SDK's ChipCam_
// and XU_ functions, with each failure's words kept on its handle.

#include <zqscan/zq_chip.h>
#include <zqscan/ChipCamera.h>
#include "sdk_internal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

static_assert(ZQ_CHIP_MIN_FIRMWARE_LENGTH == CHIPCAM_MIN_FW_LENGTH);
static_assert(ZQ_CHIP_TABLE_MIN_LENGTH == PARAM_INTERFACE_OFFSET + 64);
static_assert(ZQ_CHIP_FLASH_WINDOW == SF_WINDOW_LIMIT);
static_assert(ZQ_CHIP_ROM_VERSION_SIZE == ROM_STRING_SIZE);
static_assert(ZQ_CHIP_FIRMWARE_VERSION_SIZE == CHIPCAM_FW_VERSION_SIZE);
static_assert(ZQ_CHIP_MAX_STRING == CHIPCAM_MAX_STRING);

struct zq_chip {
    std::string error;
    bool open = false;
};

namespace
{

// A failure on its way to the C boundary, where it becomes the result and
// the handle's error text.
struct ChipFailure : std::runtime_error {
    zq_chip_result result;
    ChipFailure(zq_chip_result r, const std::string &what) : std::runtime_error(what), result(r) {}
};

[[noreturn]] void fail(zq_chip_result result, const std::string &what)
{
    throw ChipFailure(result, what);
}

// Runs one call of the interface: clears the handle's error, traps every
// exception and keeps its words on the handle, with the reason the SDK
// recorded on the way where it recorded one.
template <typename F> zq_chip_result guarded(zq_chip *chip, F body)
{
    if (!chip)
        return ZQ_CHIP_ERR_ARGUMENT;
    const unsigned long failuresBefore = zq::failuresRecorded();
    try {
        chip->error.clear();
        body();
        return ZQ_CHIP_OK;
    } catch (const ChipFailure &e) {
        chip->error = e.what();
        if (zq::failuresRecorded() != failuresBefore)
            chip->error += std::string(" (") + zq::lastError() + ")";
        return e.result;
    } catch (const std::bad_alloc &) {
        chip->error = "out of memory";
        return ZQ_CHIP_ERR_MEMORY;
    } catch (...) {
        chip->error = "unexpected failure inside the chip SDK";
        return ZQ_CHIP_ERR_READ;
    }
}

void needOpen(const zq_chip *chip)
{
    if (!chip->open)
        fail(ZQ_CHIP_ERR_NOT_OPEN, "no chip is open on this handle");
}

void needBuffer(const void *data, long length)
{
    if (length < 0 || (!data && length > 0))
        fail(ZQ_CHIP_ERR_ARGUMENT, "no buffer for " + std::to_string(length) + " bytes");
}

std::string hexAddress(long addr)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%lX", addr);
    return text;
}

// Opens the chip at path with open(), unless the handle holds it already.
template <typename Open> void openWith(zq_chip *chip, const std::string &path, Open open)
{
    if (chip->open)
        return;
    if (camera_init)
        fail(ZQ_CHIP_ERR_BUSY, "another handle holds the chip open");
    if (!open())
        fail(ZQ_CHIP_ERR_NO_DEVICE, "no camera with a controller chip at " + path);
    chip->open = true;
}

// ---- identity -----------------------------------------------------------------------

// The parameter table's USB strings: how the SDK reads each, where a
// change of it goes, and what it is called.
struct UsbString {
    zq_chip_string which;
    const char *label;
    BOOL (*read)(BYTE *, int);
    char *ChangeParamInfo::*text;
    unsigned int ChangeParamInfo::*length;
};

const UsbString kUsbStrings[] = {
    {ZQ_CHIP_PRODUCT, "product", ChipCam_GetProduct, &ChangeParamInfo::pProduct,
     &ChangeParamInfo::ProductLength},
    {ZQ_CHIP_MANUFACTURER, "manufacturer", ChipCam_GetManufacturer, &ChangeParamInfo::pManufacture,
     &ChangeParamInfo::ManufactureLength},
    {ZQ_CHIP_SERIAL_NUMBER, "serial number", ChipCam_GetSerialNumber,
     &ChangeParamInfo::pSerialNumber, &ChangeParamInfo::SerialNumberLength},
    {ZQ_CHIP_STRING3, "string 3", ChipCam_GetString3, &ChangeParamInfo::pString3,
     &ChangeParamInfo::String3Length},
    {ZQ_CHIP_INTERFACE, "interface", ChipCam_GetInterface, &ChangeParamInfo::pInterface,
     &ChangeParamInfo::InterfaceLength},
};

struct RomSize {
    DSP_ROM_TYPE type;
    unsigned kib;
};

const RomSize kRomSizes[] = {
    {DRT_32K, 32},
    {DRT_64K, 64},
    {DRT_128K, 128},
    {DRT_256K, 256},
};

unsigned romKib(DSP_ROM_TYPE type)
{
    for (const RomSize &r : kRomSizes)
        if (r.type == type)
            return r.kib;
    return 0;
}

bool readString(const UsbString &s, char (&into)[ZQ_CHIP_MAX_STRING + 1])
{
    std::memset(into, 0, sizeof into);
    return s.read(reinterpret_cast<BYTE *>(into), ZQ_CHIP_MAX_STRING) != 0;
}

void readChipPart(zq_chip_identity &id)
{
    BYTE chipId = 0;
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    const DSP_ROM_TYPE romType = XU_GetChipRomType(&chipId, &arch);
    id.chip_id = chipId;
    id.rom_kib = romKib(romType);
    if (romType == DRT_Unknow || !XU_GetAsicRomVersion(id.rom_version))
        fail(ZQ_CHIP_ERR_UNKNOWN_CHIP, "the controller (id " + hexAddress(chipId) +
                                           ") or its ROM version is not one the SDK knows");
}

void readFlashPart(zq_chip_identity &id)
{
    BYTE version[CHIPCAM_FW_VERSION_SIZE] = {};
    id.has_firmware_version = ChipCam_GetFWVersion(version, CHIPCAM_FW_VERSION_SIZE, 0);
    if (id.has_firmware_version)
        std::memcpy(id.firmware_version, version, sizeof version);
    id.has_usb_ids = ChipCam_GetVidPid(id.usb_ids, 4);
    if (id.has_usb_ids) {
        id.vendor_id = unsigned(id.usb_ids[1] << 8 | id.usb_ids[0]);
        id.product_id = unsigned(id.usb_ids[3] << 8 | id.usb_ids[2]);
    }
    for (const UsbString &s : kUsbStrings)
        id.has_string[s.which] = readString(s, id.strings[s.which]);
}

// ---- writing ------------------------------------------------------------------------

// The SDK's progress, a fraction, as done of total.
struct ProgressBridge {
    zq_chip_progress callback;
    void *user;
    long total;

    static void report(void *self, float fraction)
    {
        const auto *b = static_cast<const ProgressBridge *>(self);
        if (!b->callback)
            return;
        const double clamped = fraction < 0 ? 0 : fraction > 1 ? 1 : fraction;
        b->callback(int(std::lround(clamped * double(b->total))), int(b->total), b->user);
    }
};

constexpr long kSettingsProgressTotal = 1000;

SERIAL_FLASH_TYPE writableFamily(int family)
{
    if (family <= SFT_UNKNOW || family > SFT_FENTECH)
        fail(ZQ_CHIP_ERR_ARGUMENT, "name the flash's family to write it");
    ubSFLib_CmdID = zq::chip::commandSetFor(SERIAL_FLASH_TYPE(family));
    return SERIAL_FLASH_TYPE(family);
}

void needImage(const unsigned char *image, long length)
{
    needBuffer(image, length);
    if (length < ZQ_CHIP_MIN_FIRMWARE_LENGTH || length > ZQ_CHIP_FLASH_WINDOW)
        fail(ZQ_CHIP_ERR_ARGUMENT, std::to_string(length) + " bytes are no firmware image for "
                                                            "the flash window");
}

void verifyFlash(const unsigned char *image, long length)
{
    std::vector<BYTE> back(size_t(length), 0);
    if (!ChipCam_ExportFW(back.data(), length, nullptr, nullptr))
        fail(ZQ_CHIP_ERR_VERIFY, "the flash could not be read back to verify it");
    for (long i = 0; i < length; ++i)
        if (back[size_t(i)] != image[i])
            fail(ZQ_CHIP_ERR_VERIFY, "the flash differs from the image at " + hexAddress(i));
}

// The SDK's change record of the settings; it points into settings.
ChangeParamInfo changeOf(const zq_chip_settings &settings)
{
    ChangeParamInfo info{};
    for (const UsbString &s : kUsbStrings) {
        const char *text = settings.strings[s.which];
        if (!text)
            continue;
        if (std::strlen(text) > ZQ_CHIP_MAX_STRING)
            fail(ZQ_CHIP_ERR_ARGUMENT, std::string("the ") + s.label + " is longer than " +
                                           std::to_string(ZQ_CHIP_MAX_STRING) + " characters");
        info.*s.text = const_cast<char *>(text); // the SDK only reads it
        info.*s.length = unsigned(std::strlen(text));
    }
    if (settings.usb_ids) {
        info.pVidPid = reinterpret_cast<char *>(const_cast<unsigned char *>(settings.usb_ids));
        info.VidPidLength = 4;
    }
    return info;
}

void verifySettings(const zq_chip_settings &settings)
{
    if (settings.usb_ids) {
        BYTE back[4] = {};
        if (!ChipCam_GetVidPid(back, 4) || std::memcmp(back, settings.usb_ids, 4) != 0)
            fail(ZQ_CHIP_ERR_VERIFY, "the USB id reads back differently");
    }
    for (const UsbString &s : kUsbStrings) {
        const char *wanted = settings.strings[s.which];
        char back[ZQ_CHIP_MAX_STRING + 1];
        if (wanted && (!readString(s, back) || std::strcmp(back, wanted) != 0))
            fail(ZQ_CHIP_ERR_VERIFY, std::string("the ") + s.label + " reads back differently");
    }
}

} // namespace

extern "C" {

zq_chip *zq_chip_new(void)
{
    return new (std::nothrow) zq_chip;
}

void zq_chip_free(zq_chip *chip)
{
    zq_chip_close(chip);
    delete chip;
}

zq_chip_result zq_chip_open(zq_chip *chip, int video_index)
{
    return guarded(chip, [&] {
        if (video_index < 0)
            fail(ZQ_CHIP_ERR_ARGUMENT, "no camera has a negative index");
        openWith(chip, "/dev/video" + std::to_string(video_index),
                 [&] { return ChipCam_Init(video_index) != 0; });
    });
}

zq_chip_result zq_chip_open_device(zq_chip *chip, const char *device_path)
{
    return guarded(chip, [&] {
        if (!device_path)
            fail(ZQ_CHIP_ERR_ARGUMENT, "no device named");
        openWith(chip, device_path, [&] { return zq::chip::openCamera(device_path); });
    });
}

zq_chip_result zq_chip_close(zq_chip *chip)
{
    return guarded(chip, [&] {
        if (!chip->open)
            return;
        chip->open = false;
        if (!ChipCam_UnInit())
            fail(ZQ_CHIP_ERR_READ, "the camera did not close cleanly");
    });
}

const char *zq_chip_last_error(const zq_chip *chip)
{
    return chip ? chip->error.c_str() : "no chip handle";
}

zq_chip_result zq_chip_identify(zq_chip *chip, zq_chip_identity *identity)
{
    return guarded(chip, [&] {
        needOpen(chip);
        if (!identity)
            fail(ZQ_CHIP_ERR_ARGUMENT, "nowhere to put the identity");
        *identity = zq_chip_identity{};
        readChipPart(*identity);
    });
}

zq_chip_result zq_chip_read_identity(zq_chip *chip, zq_chip_identity *identity)
{
    const zq_chip_result identified = zq_chip_identify(chip, identity);
    if (identified != ZQ_CHIP_OK)
        return identified;
    return guarded(chip, [&] { readFlashPart(*identity); });
}

zq_chip_result zq_chip_flash_size(zq_chip *chip, long *size, int *size_from_id)
{
    return guarded(chip, [&] {
        needOpen(chip);
        if (!size)
            fail(ZQ_CHIP_ERR_ARGUMENT, "nowhere to put the flash's size");
        LONG measured = 0;
        BOOL byId = 0;
        if (!XU_GetSerialFlashSize(&measured, &byId))
            fail(ZQ_CHIP_ERR_READ, "could not tell the flash's size");
        *size = measured;
        if (size_from_id)
            *size_from_id = byId != 0;
    });
}

zq_chip_result zq_chip_flash_id(zq_chip *chip, unsigned char jedec_id[3])
{
    return guarded(chip, [&] {
        needOpen(chip);
        needBuffer(jedec_id, 3);
        if (!XU_ReadSerialFlashID(jedec_id))
            fail(ZQ_CHIP_ERR_READ, "could not read the flash's id");
    });
}

zq_chip_result zq_chip_read_flash(zq_chip *chip, long offset, unsigned char *buffer, long length)
{
    return guarded(chip, [&] {
        needOpen(chip);
        needBuffer(buffer, length);
        if (offset < 0 || !zq::chip::fitsWithin(ULONG(offset), ULONG(length), SF_WINDOW_LIMIT))
            fail(ZQ_CHIP_ERR_ARGUMENT, std::to_string(length) + " bytes from " +
                                           hexAddress(offset) + " lie beyond the flash window (" +
                                           hexAddress(SF_WINDOW_LIMIT) + ")");
        if (!ChipCam_SerialFlashRead(offset, buffer, length))
            fail(ZQ_CHIP_ERR_READ, "reading the flash from " + hexAddress(offset) + " failed");
    });
}

zq_chip_result zq_chip_find_table(zq_chip *chip, const unsigned char *rom_version,
                                  const unsigned char *image, long length,
                                  zq_chip_image_table *table)
{
    return guarded(chip, [&] {
        needBuffer(rom_version, ZQ_CHIP_ROM_VERSION_SIZE);
        needBuffer(image, length);
        if (!table)
            fail(ZQ_CHIP_ERR_ARGUMENT, "nowhere to put the table's place");
        ULONG start = 0, end = 0, crc = 0;
        if (!XU_GetParaTableAndCRCAddrFormImage(rom_version, image, ULONG(length), &start, &end,
                                                &crc))
            fail(ZQ_CHIP_ERR_ARGUMENT,
                 "the image holds no parameter table where this ROM looks for one");
        std::vector<BYTE> sealed(image, image + length);
        CheckCRC(sealed.data(), LONG(start), LONG(end - start), LONG(crc));
        const ULONG at = crc + zq::chip::kCrcOffset;
        *table = {start, end, at, unsigned(image[at] << 8 | image[at + 1]),
                  unsigned(sealed[at] << 8 | sealed[at + 1])};
    });
}

zq_chip_result zq_chip_burn(zq_chip *chip, const unsigned char *image, long length,
                            int flash_family, unsigned flags, zq_chip_progress progress, void *user)
{
    return guarded(chip, [&] {
        needOpen(chip);
        needImage(image, length);
        const SERIAL_FLASH_TYPE family = writableFamily(flash_family);
        const bool everyGroup = flags & ZQ_CHIP_CHECK_EVERY_GROUP;
        ProgressBridge bridge{progress, user, length};
        // The SDK copies the image before it writes; it never changes it.
        if (!ChipCam_BurnerFW(const_cast<BYTE *>(image), length, ProgressBridge::report, &bridge,
                              family, everyGroup))
            fail(ZQ_CHIP_ERR_WRITE, "erasing or writing the flash failed, or a group read back "
                                    "differently as it was written");
        if (!everyGroup)
            verifyFlash(image, length);
    });
}

zq_chip_result zq_chip_write_settings(zq_chip *chip, const unsigned char *image, long length,
                                      const zq_chip_settings *settings, int flash_family,
                                      unsigned flags, const char *log_path,
                                      zq_chip_progress progress, void *user)
{
    return guarded(chip, [&] {
        needOpen(chip);
        needImage(image, length);
        if (!settings)
            fail(ZQ_CHIP_ERR_ARGUMENT, "no settings to write");
        const ChangeParamInfo change = changeOf(*settings);
        const SERIAL_FLASH_TYPE family = writableFamily(flash_family);
        ProgressBridge bridge{progress, user, kSettingsProgressTotal};
        // The SDK patches a copy of the image.
        if (!ChipCam_SetParamTableFromFWFile(const_cast<BYTE *>(image), length, change,
                                             ProgressBridge::report, &bridge, family, log_path,
                                             flags & ZQ_CHIP_CHECK_EVERY_GROUP))
            fail(ZQ_CHIP_ERR_WRITE, "rewriting the parameter table failed");
        verifySettings(*settings);
    });
}

zq_chip_result zq_chip_read_registers(zq_chip *chip, unsigned addr, unsigned char *data, long count)
{
    return guarded(chip, [&] {
        needOpen(chip);
        needBuffer(data, count);
        if (!ChipCam_AsicRegisterRead(USHORT(addr), data, count))
            fail(ZQ_CHIP_ERR_READ, "reading registers from " + hexAddress(long(addr)) + " failed");
    });
}

zq_chip_result zq_chip_write_registers(zq_chip *chip, unsigned addr, const unsigned char *data,
                                       long count)
{
    return guarded(chip, [&] {
        needOpen(chip);
        needBuffer(data, count);
        // The SDK only reads what it writes.
        if (!ChipCam_AsicRegisterWrite(USHORT(addr), const_cast<BYTE *>(data), count))
            fail(ZQ_CHIP_ERR_WRITE, "writing registers from " + hexAddress(long(addr)) + " failed");
    });
}

zq_chip_result zq_chip_read_sensor(zq_chip *chip, unsigned slave_id, long addr, unsigned char *data,
                                   long count)
{
    return guarded(chip, [&] {
        needOpen(chip);
        needBuffer(data, count);
        if (!ChipCam_SensorRegisterCustomRead(BYTE(slave_id), addr, data, count, false))
            fail(ZQ_CHIP_ERR_READ, "reading sensor registers from " + hexAddress(addr) + " failed");
    });
}

zq_chip_result zq_chip_write_sensor(zq_chip *chip, unsigned slave_id, long addr,
                                    const unsigned char *data, long count)
{
    return guarded(chip, [&] {
        needOpen(chip);
        needBuffer(data, count);
        // The SDK only reads what it writes.
        if (!ChipCam_SensorRegisterCustomWrite(BYTE(slave_id), addr, const_cast<BYTE *>(data),
                                               count, false))
            fail(ZQ_CHIP_ERR_WRITE,
                 "writing sensor registers from " + hexAddress(addr) + " failed");
    });
}

} // extern "C"
