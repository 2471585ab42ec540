#include "i2c_sensor.h"

#include <cstddef>

namespace zq::sim
{

uint16_t I2cSensor::registerValue(uint16_t addr) const
{
    const auto it = config_.registers.find(addr);
    return it == config_.registers.end() ? 0 : it->second;
}

bool I2cSensor::write(uint8_t slaveId, const std::vector<uint8_t> &bytes)
{
    const std::size_t width = std::size_t(config_.addressBytes);
    if (slaveId != config_.slaveId || bytes.size() < width)
        return false;
    pointer_ = width == 2 ? uint16_t(bytes[0] << 8 | bytes[1]) : bytes[0];
    // Values follow high byte first, one register per value, the pointer
    // moving on after each.
    const std::size_t valueBytes = std::size_t(config_.valueBytes);
    for (std::size_t i = width; i + valueBytes <= bytes.size(); i += valueBytes) {
        const uint16_t value = valueBytes == 2 ? uint16_t(bytes[i] << 8 | bytes[i + 1]) : bytes[i];
        config_.registers[pointer_++] = value;
    }
    return true;
}

uint8_t I2cSensor::byteAt(int index) const
{
    if (config_.valueBytes == 1)
        return uint8_t(registerValue(uint16_t(pointer_ + index)));
    const uint16_t value = registerValue(uint16_t(pointer_ + index / 2));
    return index % 2 == 0 ? uint8_t(value >> 8) : uint8_t(value);
}

bool I2cSensor::read(uint8_t slaveId, int count, std::vector<uint8_t> &bytes)
{
    if (slaveId != config_.slaveId)
        return false;
    bytes.clear();
    for (int i = 0; i < count; ++i)
        bytes.push_back(byteAt(i));
    return true;
}

} // namespace zq::sim
