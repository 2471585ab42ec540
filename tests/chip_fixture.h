// A fixture with a virtual controller chip behind /dev/video0, and readers
// that turn the chip's transfer log back into register accesses and SPI
// commands.
#ifndef ZQ_TESTS_CHIP_FIXTURE_H
#define ZQ_TESTS_CHIP_FIXTURE_H

#include <zqscan/ROMData.h>
#include <zqscan/SFData.h>
#include <zqscan/XUOptDev.h>
#include "sim_fixture.h"

#include <cstdint>
#include <vector>

struct RegisterAccess {
    bool write;
    uint16_t addr;
    uint8_t value;
    bool operator==(const RegisterAccess &o) const
    {
        return write == o.write && addr == o.addr && value == o.value;
    }
};

class ChipTest : public SimTest
{
  protected:
    void TearDown() override;

    // Places a chip at /dev/video0, closing the SDK if it was open.
    zq::sim::VirtualChip &attach(zq::sim::ChipConfig config = {});
    // Opens the SDK on the chip as ChipCam_Init would, then forgets the
    // transfers that took.
    void open();
    // A chip behind an SDK descriptor that is already open, without the
    // identification an open does: for chips an open would refuse.
    zq::sim::VirtualChip &attachOpened(zq::sim::ChipConfig config = {});

    zq::sim::VirtualChip &chip() { return *chip_; }
    // Selector-1 traffic of the log, as register reads and writes.
    std::vector<RegisterAccess> registerAccesses() const;
    std::vector<RegisterAccess> registerWrites(uint16_t addr) const;
    // The SPI commands the flash engine sent: the bytes written between a
    // select and a release, in the first architecture's map.
    std::vector<std::vector<uint8_t>> spiCommands() const;
    // The log entries of one selector.
    std::vector<zq::sim::Transfer> transfers(uint8_t selector) const;

    // The configuration of a chip whose ROM carries the string of a RomInfo row.
    static zq::sim::ChipConfig romChip(int row, uint8_t chipId = 0x76);

  private:
    zq::sim::VirtualChip *chip_ = nullptr;
};

#endif
