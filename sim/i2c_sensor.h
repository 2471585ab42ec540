// An image sensor on the controller's I2C bus: 8- or 16-bit register
// addresses, 8- or 16-bit register values, a register pointer that a
// write of the address alone sets for the next read.
#ifndef ZQ_SIM_I2C_SENSOR_H
#define ZQ_SIM_I2C_SENSOR_H

#include <cstdint>
#include <map>
#include <vector>

namespace zq::sim
{

struct SensorConfig {
    uint8_t slaveId = 0x6C;
    int addressBytes = 2;
    int valueBytes = 1;
    bool answers = true; // false: the sensor never finishes a transfer
    std::map<uint16_t, uint16_t> registers;
};

class I2cSensor
{
  public:
    explicit I2cSensor(SensorConfig config) : config_(std::move(config)) {}

    const SensorConfig &config() const { return config_; }
    uint16_t registerValue(uint16_t addr) const;

    // A write of bytes (address first, then values high byte first);
    // false when the sensor did not acknowledge.
    bool write(uint8_t slaveId, const std::vector<uint8_t> &bytes);
    // Reads count bytes from the register pointer.
    bool read(uint8_t slaveId, int count, std::vector<uint8_t> &bytes);

  private:
    uint8_t byteAt(int index) const;

    SensorConfig config_;
    uint16_t pointer_ = 0;
};

} // namespace zq::sim

#endif
