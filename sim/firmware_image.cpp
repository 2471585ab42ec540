#include "firmware_image.h"

#include <algorithm>
#include <cstring>

namespace zq::sim
{
namespace
{

constexpr uint32_t kLayoutBlock = 0x160;
constexpr uint32_t kSlot = 64;

void putBigEndian(std::vector<uint8_t> &image, uint32_t addr, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        image[addr + i] = uint8_t(value >> (24 - 8 * i));
}

void fillCode(std::vector<uint8_t> &image, uint32_t seed)
{
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t &b : image) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = uint8_t(x);
    }
}

void writeLayoutBlock(std::vector<uint8_t> &image, const FirmwareSpec &spec)
{
    const ParameterTable &t = spec.table;
    const uint32_t b = kLayoutBlock;
    if (spec.layout == FirmwareSpec::Layout::ShortTable) {
        image[b + 8] = uint8_t(t.start >> 8);
        image[b + 9] = uint8_t((t.end - t.start) >> 8);
        image[b + 14] = uint8_t(t.crc >> 8);
    } else if (spec.layout == FirmwareSpec::Layout::LongTable) {
        putBigEndian(image, b + 15, t.start);
        putBigEndian(image, b + 19, t.end - t.start);
        putBigEndian(image, b + 39, t.crc);
    }
}

} // namespace

ParameterTable tableOf(const FirmwareSpec &spec)
{
    switch (spec.layout) {
    case FirmwareSpec::Layout::Fixed:
        return {0xC000, 0xCF00, 0xCF00};
    case FirmwareSpec::Layout::Default:
        return {0x8000, 0x8800, 0};
    default:
        return spec.table;
    }
}

uint16_t modbusCrc(const uint8_t *data, size_t length)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

void putStringDescriptor(std::vector<uint8_t> &image, uint32_t addr, const std::string &text)
{
    std::fill_n(image.begin() + addr, kSlot, 0xFF);
    image[addr] = uint8_t((text.size() + 1) * 2);
    image[addr + 1] = 3;
    for (size_t i = 0; i < text.size() && i < 31; ++i) {
        image[addr + 2 + 2 * i] = uint8_t(text[i]);
        image[addr + 3 + 2 * i] = 0;
    }
}

void sealParameterTable(std::vector<uint8_t> &image, const ParameterTable &table)
{
    const uint16_t crc = modbusCrc(image.data() + table.start, table.end - table.start);
    image[table.crc + 20] = uint8_t(crc >> 8);
    image[table.crc + 21] = uint8_t(crc);
}

std::vector<uint8_t> makeFirmwareImage(const FirmwareSpec &spec)
{
    std::vector<uint8_t> image(spec.size);
    fillCode(image, spec.seed);
    writeLayoutBlock(image, spec);
    const ParameterTable t = tableOf(spec);
    std::fill(image.begin() + t.start, image.begin() + t.end, 0xFF);
    std::copy_n(spec.vidPid, 4, image.begin() + t.start + 6);
    putStringDescriptor(image, t.start + 0x40, spec.product);
    putStringDescriptor(image, t.start + 0x80, spec.manufacturer);
    putStringDescriptor(image, t.start + 0xC0, spec.serialNumber);
    putStringDescriptor(image, t.start + 0x100, spec.string3);
    putStringDescriptor(image, t.start + 0x140, spec.interface);
    for (const auto &[addr, text] : spec.texts)
        std::copy(text.begin(), text.end(), image.begin() + addr);
    if (spec.writeProtectAddr < image.size())
        image[spec.writeProtectAddr] = spec.writeProtect;
    sealParameterTable(image, t);
    return image;
}

} // namespace zq::sim
