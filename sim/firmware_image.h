// Firmware images as the controller family lays them out, to put into a
// virtual chip's flash or to hand to the SDK as a file: code bytes, the
// layout block at 0x160, the parameter table with the USB ids and strings,
// its CRC-16/MODBUS and the write-protect setting.
#ifndef ZQ_SIM_FIRMWARE_IMAGE_H
#define ZQ_SIM_FIRMWARE_IMAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zq::sim
{

struct ParameterTable {
    uint32_t start, end, crc;
};

struct FirmwareSpec {
    // How the ROM finds the table: at a fixed place (0xC000), through a
    // short or long sector table at 0x160, or at the default 0x8000.
    enum class Layout { Fixed, ShortTable, LongTable, Default } layout = Layout::Fixed;
    size_t size = 0x10000;
    ParameterTable table{0x9000, 0x9800, 0x9800}; // for the sector-table layouts
    uint8_t vidPid[4] = {0xC8, 0x0A, 0x70, 0x33};
    std::string product = "Document Camera";
    std::string manufacturer = "ZQ Imaging";
    std::string serialNumber = "SN0001";
    std::string string3 = "Camera";
    std::string interface = "Video";
    uint32_t writeProtectAddr = 0xC034;
    uint8_t writeProtect = 0x12;
    std::vector<std::pair<uint32_t, std::string>> texts; // e.g. version fields
    uint32_t seed = 1;                                   // varies the code bytes
};

// Where the description's layout puts the parameter table.
ParameterTable tableOf(const FirmwareSpec &spec);
std::vector<uint8_t> makeFirmwareImage(const FirmwareSpec &spec);

uint16_t modbusCrc(const uint8_t *data, size_t length);
// A USB string descriptor of 8-bit characters in a 64-byte slot of 0xFF.
void putStringDescriptor(std::vector<uint8_t> &image, uint32_t addr, const std::string &text);
// The checksum over the table, high byte first at crc + 20.
void sealParameterTable(std::vector<uint8_t> &image, const ParameterTable &table);

} // namespace zq::sim

#endif
