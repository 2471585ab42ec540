// Virtual cameras with a controller chip, chosen by the value of
// ZQ_VIRTUAL_HARDWARE, for running the service tool without hardware:
//
//   chip              a 0x76 controller with ROM 276R0 01, a 64 KiB MXIC flash
//                     holding a firmware image, write-protected through GPIO 1
//   chip-unknown-rom  the same chip with a ROM version no table knows
//   chip-locked       the same chip on a board that inverts the write-protect
//                     line, so that the firmware's setting keeps the flash locked
//   chip-eon-flash    the same chip with a 128 KiB EON flash, a part the SDK
//                     does not know by its id
//   chip-hostile      the same chip whose camera name, USB strings and
//                     firmware version carry terminal escape sequences
//   chip-flaky-reads  the same chip on a link that flips a bit in 0.1 % of
//                     the bytes read from the flash (the flash stays intact)
//   chip-writes-lost  the same chip whose flash erases but never takes the
//                     data written to it
//
// With ZQ_VIRTUAL_FLASH=<file> the flash starts from that file when it
// exists and is saved back to it at exit, so that one run sees what an
// earlier one wrote.
#include "firmware_image.h"
#include "virtual_hardware.h"

#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zq::sim
{
namespace
{

constexpr const char *kFlashFileEnv = "ZQ_VIRTUAL_FLASH";

FirmwareSpec presetFirmware()
{
    FirmwareSpec spec;
    spec.layout = FirmwareSpec::Layout::Fixed;
    spec.texts = {
        {0x3FD0, "ZQ-CAM-276"}, {0x3FDA, "2024-05-17"}, {0x3FE4, "0105203045"}, {0x0153, "12345"}};
    return spec;
}

// Strings a hostile camera could send: an OSC window title, a cleared screen
// and colours, an 8-bit CSI and one in UTF-8, DEL and a C0 control, a
// backslash; and valid UTF-8.
FirmwareSpec hostileFirmware()
{
    FirmwareSpec spec = presetFirmware();
    spec.product = "\x1b]0;owned\x07"
                   "Doc Cam";
    spec.manufacturer = "\x1b[2J\x1b[31mZQ";
    spec.serialNumber = "SN\x9b"
                        "31m01";
    spec.string3 = "Cam\xc3\xa9"
                   "ra\xc2\x9b"
                   "2J";
    spec.interface = "Vid\x7f\x01"
                     "eo\\x1b";
    spec.texts[0] = {0x3FD0, "ZQ\x1b[5mCAM"};
    return spec;
}

ChipConfig presetChip()
{
    ChipConfig c;
    c.chipId = 0x76;
    c.romStringAddr = 0xBFF8;
    c.romString = {'2', '7', '6', 'R', '0', 0x01, 0x40, 0x06};
    c.firmwareGuardsFlash = true;
    c.flashPart = "MX25L512";
    c.flashStatus = flash_status::kWriteDisable | flash_status::kBlockProtect;
    c.writeProtectGpio = 1;
    c.flashContents = makeFirmwareImage(presetFirmware());
    return c;
}

std::vector<uint8_t> readFile(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

bool installChipPreset(const std::string &name)
{
    ChipConfig config = presetChip();
    if (name == "chip-unknown-rom")
        config.romString = {'9', '9', '9', 'R', '0', 0x01, 0x00, 0x00};
    else if (name == "chip-locked")
        config.writeProtectInverted = true;
    else if (name == "chip-eon-flash")
        config.flashPart = "EN25F10";
    else if (name == "chip-hostile")
        config.flashContents = makeFirmwareImage(hostileFirmware());
    else if (name == "chip-flaky-reads")
        config.readFlips = 0.001;
    else if (name == "chip-writes-lost")
        config.windowWritesLost = true;
    else if (name != "chip")
        return false;
    const char *flashFile = std::getenv(kFlashFileEnv);
    if (flashFile && *flashFile) {
        std::vector<uint8_t> saved = readFile(flashFile);
        if (!saved.empty())
            config.flashContents = std::move(saved);
    }
    if (name == "chip-hostile") {
        CameraConfig camera = CameraConfig::documentCamera();
        camera.card = "Virtual \x1b]0;owned\x07"
                      "Camera\x1b[0m";
        VirtualHardware::instance().addCamera(0, std::move(camera));
    }
    VirtualChip &chip = VirtualHardware::instance().addChip(0, std::move(config));
    chip.keepLog(false);
    if (flashFile && *flashFile)
        chip.persistTo(flashFile);
    return true;
}

} // namespace zq::sim
