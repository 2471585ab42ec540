// The virtual chip's flash against what a real SPI NOR flash does, driven
// with raw command sequences and no SDK code: first on the part itself,
// then through the controller's flash engine registers and data window.
#include "sim_fixture.h"
#include "spi_flash.h"
#include "virtual_chip.h"

#include <linux/usb/video.h>

#include <initializer_list>

using namespace zq::sim;

namespace
{

class FlashPartTest : public testing::Test
{
  protected:
    FlashPartTest() : flash_(*findFlashPart("MX25L512")) {}

    void command(std::initializer_list<uint8_t> bytes)
    {
        flash_.select();
        for (uint8_t b : bytes)
            flash_.transfer(b);
        flash_.deselect();
    }
    uint8_t readStatus()
    {
        flash_.select();
        flash_.transfer(0x05);
        const uint8_t status = flash_.transfer(0);
        flash_.deselect();
        return status;
    }
    void program(uint32_t addr, std::initializer_list<uint8_t> data)
    {
        command({0x06});
        flash_.select();
        for (uint8_t b : {uint8_t(0x02), uint8_t(addr >> 16), uint8_t(addr >> 8), uint8_t(addr)})
            flash_.transfer(b);
        for (uint8_t b : data)
            flash_.transfer(b);
        flash_.deselect();
    }
    void waitReady()
    {
        for (int i = 0; i < 100 && (readStatus() & 1); ++i) {
        }
    }
    uint8_t at(uint32_t addr) { return flash_.contents()[addr]; }

    SpiFlash flash_;
};

TEST_F(FlashPartTest, ProgrammingNeedsTheLatchAndClearsIt)
{
    flash_.select();
    for (uint8_t b : {0x02, 0x00, 0x01, 0x00, 0x12})
        flash_.transfer(b);
    flash_.deselect();
    EXPECT_EQ(at(0x100), 0xFF) << "no write enable: nothing changes";

    command({0x06});
    EXPECT_EQ(readStatus() & 0x02, 0x02);
    program(0x100, {0x12});
    EXPECT_EQ(at(0x100), 0x12);
    EXPECT_EQ(readStatus() & 0x02, 0) << "the latch clears after a program";

    command({0x06});
    command({0x04});
    EXPECT_EQ(readStatus() & 0x02, 0) << "write disable";
}

TEST_F(FlashPartTest, ProgrammingOnlyClearsBits)
{
    program(0x10, {0xF0});
    program(0x10, {0x3C});
    EXPECT_EQ(at(0x10), 0x30);
    program(0x10, {0xFF});
    EXPECT_EQ(at(0x10), 0x30) << "a 1 cannot be written back without an erase";
}

TEST_F(FlashPartTest, ProgrammingWrapsWithinItsPage)
{
    program(0x1FE, {1, 2, 3, 4});
    EXPECT_EQ(at(0x1FE), 1);
    EXPECT_EQ(at(0x1FF), 2);
    EXPECT_EQ(at(0x100), 3);
    EXPECT_EQ(at(0x101), 4);
    EXPECT_EQ(at(0x200), 0xFF);
}

TEST_F(FlashPartTest, SectorEraseSetsItsSectorToFFAndStaysBusy)
{
    flash_.contents().assign(flash_.contents().size(), 0x00);
    command({0x06});
    command({0x20, 0x00, 0x1A, 0x34});
    EXPECT_EQ(readStatus() & 1, 1) << "busy while erasing";
    program(0x3000, {0x00}); // ignored while busy
    waitReady();
    EXPECT_EQ(readStatus() & 0x03, 0);
    EXPECT_EQ(at(0x0FFF), 0x00);
    for (uint32_t a : {0x1000u, 0x1A34u, 0x1FFFu})
        EXPECT_EQ(at(a), 0xFF) << a;
    EXPECT_EQ(at(0x2000), 0x00);
    EXPECT_EQ(at(0x3000), 0x00) << "a program sent while busy changes nothing";
}

TEST_F(FlashPartTest, BusyEndsWithTimeToo)
{
    command({0x06});
    command({0x60});
    EXPECT_TRUE(flash_.busy());
    flash_.elapse(1000000);
    EXPECT_FALSE(flash_.busy());
}

TEST_F(FlashPartTest, BlockAndChipErase)
{
    flash_.contents().assign(flash_.contents().size(), 0x00);
    command({0x06});
    command({0xD8, 0x00, 0x80, 0x00}); // 64 KiB block on this part
    waitReady();
    EXPECT_EQ(at(0x0000), 0xFF);
    EXPECT_EQ(at(0xFFFF), 0xFF);

    flash_.contents().assign(flash_.contents().size(), 0x00);
    command({0x60});
    EXPECT_EQ(at(0x0000), 0x00) << "chip erase without the latch";
    command({0x06});
    command({0x60});
    waitReady();
    EXPECT_EQ(at(0x0000), 0xFF);
    EXPECT_EQ(at(0xFFFF), 0xFF);
}

TEST_F(FlashPartTest, UnknownOpcodesAreIgnored)
{
    flash_.contents().assign(flash_.contents().size(), 0x00);
    command({0x06});
    command({0xD7, 0x00, 0x00, 0x00}); // a PMC sector erase, not this part's
    EXPECT_EQ(at(0), 0x00);
    EXPECT_EQ(flash_.erasesDone(), 0);
    EXPECT_EQ(readStatus() & 0x02, 0x02) << "an unknown command leaves the latch";
}

TEST_F(FlashPartTest, BlockProtectionRefusesWrites)
{
    flash_.setStatus(0x0C);
    program(0x20, {0x00});
    command({0x06});
    command({0x20, 0, 0, 0});
    EXPECT_EQ(at(0x20), 0xFF);
    EXPECT_EQ(flash_.erasesDone(), 0);

    command({0x06});
    command({0x01, 0x00});
    EXPECT_EQ(readStatus(), 0x00) << "status written with the latch";
    program(0x20, {0x00});
    EXPECT_EQ(at(0x20), 0x00);
}

TEST_F(FlashPartTest, WriteProtectPinLocksTheStatus)
{
    flash_.setStatus(0x9C);
    flash_.setWriteProtectPin(false);
    command({0x06});
    command({0x01, 0x00});
    EXPECT_EQ(readStatus(), 0x9C) << "WP# low with SRWD: status is read-only";
    flash_.setWriteProtectPin(true);
    command({0x06});
    command({0x01, 0x00});
    EXPECT_EQ(readStatus(), 0x00);
}

TEST_F(FlashPartTest, ReadsAndJedecId)
{
    flash_.contents()[0x1234] = 0xAB;
    flash_.contents()[0x1235] = 0xCD;
    flash_.select();
    for (uint8_t b : {0x03, 0x00, 0x12, 0x34})
        flash_.transfer(b);
    EXPECT_EQ(flash_.transfer(0), 0xAB);
    EXPECT_EQ(flash_.transfer(0), 0xCD);
    flash_.deselect();
    flash_.select();
    flash_.transfer(0x9F);
    EXPECT_EQ(flash_.transfer(0), 0xC2);
    EXPECT_EQ(flash_.transfer(0), 0x20);
    EXPECT_EQ(flash_.transfer(0), 0x10);
    flash_.deselect();
}

// ---- the same through the controller --------------------------------------------

class ChipEngineTest : public SimTest
{
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        ChipConfig config;
        config.flashContents.assign(0x10000, 0x00);
        chip_ = &hw().addChip(0, config);
    }
    int query(uint8_t selector, uint8_t code, std::vector<uint8_t> &bytes)
    {
        uvc_xu_control_query q{3, selector, code, uint16_t(bytes.size()), bytes.data()};
        return chip_->query(q);
    }
    void writeRegister(uint16_t addr, uint8_t value)
    {
        std::vector<uint8_t> b{uint8_t(addr), uint8_t(addr >> 8), value, 0};
        ASSERT_EQ(query(1, UVC_SET_CUR, b), 0);
    }
    uint8_t readRegister(uint16_t addr)
    {
        std::vector<uint8_t> b{uint8_t(addr), uint8_t(addr >> 8), 0, 0xFF};
        EXPECT_EQ(query(1, UVC_SET_CUR, b), 0);
        EXPECT_EQ(query(1, UVC_GET_CUR, b), 0);
        return b[2];
    }
    // One command through the engine: manual mode, select, bytes, release.
    void engineCommand(std::initializer_list<uint8_t> bytes)
    {
        writeRegister(0x1080, 1);
        writeRegister(0x1091, 0);
        for (uint8_t b : bytes) {
            writeRegister(0x1082, b);
            writeRegister(0x1081, 1);
            EXPECT_EQ(readRegister(0x1084) & 1, 1);
        }
        writeRegister(0x1091, 1);
        writeRegister(0x1080, 0);
    }
    uint8_t engineStatus()
    {
        writeRegister(0x1080, 1);
        writeRegister(0x1091, 0);
        writeRegister(0x1082, 0x05);
        writeRegister(0x1081, 1);
        writeRegister(0x1083, 0);
        writeRegister(0x1081, 2);
        const uint8_t status = readRegister(0x1083);
        writeRegister(0x1091, 1);
        writeRegister(0x1080, 0);
        return status;
    }
    VirtualChip *chip_ = nullptr;
};

TEST_F(ChipEngineTest, EngineErasesOnlyWithTheLatch)
{
    engineCommand({0x20, 0x00, 0x20, 0x00});
    EXPECT_EQ(chip_->flash().contents()[0x2000], 0x00);
    engineCommand({0x06});
    engineCommand({0x20, 0x00, 0x20, 0x00});
    EXPECT_EQ(engineStatus() & 1, 1);
    for (int i = 0; i < 10 && (engineStatus() & 1); ++i) {
    }
    EXPECT_EQ(chip_->flash().contents()[0x2000], 0xFF);
    EXPECT_EQ(chip_->flash().contents()[0x1FFF], 0x00);
}

TEST_F(ChipEngineTest, EngineIgnoresBytesOutsideManualMode)
{
    writeRegister(0x1091, 0); // select without manual mode: the pin stays put
    writeRegister(0x1082, 0x06);
    writeRegister(0x1081, 1);
    writeRegister(0x1091, 1);
    EXPECT_EQ(chip_->flash().status() & 0x02, 0);
}

TEST_F(ChipEngineTest, DataWindowProgramsAndReadsBack)
{
    engineCommand({0x06});
    engineCommand({0x20, 0x00, 0x10, 0x00});
    chip_->elapse(1000000);
    std::vector<uint8_t> w{0x08, 0x10, 0x04, 0xA1, 0xB2, 0xC3, 0xD4, 0, 0, 0, 0};
    ASSERT_EQ(query(3, UVC_SET_CUR, w), 0);
    std::vector<uint8_t> r{0x08, 0x10, 0x88, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(query(3, UVC_SET_CUR, r), 0);
    ASSERT_EQ(query(3, UVC_GET_CUR, r), 0);
    EXPECT_EQ(r, (std::vector<uint8_t>{0x08, 0x10, 0x88, 0xA1, 0xB2, 0xC3, 0xD4, 0xFF, 0xFF, 0xFF,
                                       0xFF}));
    // Programming over programmed bytes only clears bits.
    std::vector<uint8_t> again{0x08, 0x10, 0x01, 0xFF, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(query(3, UVC_SET_CUR, again), 0);
    EXPECT_EQ(chip_->flash().contents()[0x1008], 0xA1);
}

TEST_F(ChipEngineTest, DriverChecksComeFirst)
{
    std::vector<uint8_t> small(3);
    errno = 0;
    EXPECT_EQ(query(1, UVC_GET_CUR, small), -1);
    EXPECT_EQ(errno, ENOBUFS);
    std::vector<uint8_t> eleven(11);
    EXPECT_EQ(query(2, UVC_GET_CUR, eleven), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(query(5, UVC_SET_CUR, eleven), -1) << "the memory type is read-only";
    EXPECT_EQ(query(3, UVC_SET_CUR, eleven), -1) << "a window transfer of 0 bytes stalls";
    EXPECT_EQ(errno, EPIPE);
    uvc_xu_control_query other{4, 1, UVC_GET_CUR, 4, eleven.data()};
    EXPECT_EQ(chip_->query(other), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(chip_->queries(), 5);
    EXPECT_EQ(chip_->queries(3, UVC_SET_CUR), 1);
}

TEST_F(ChipEngineTest, InjectedFaults)
{
    chip_->failQuery(2);
    std::vector<uint8_t> b{0, 0x10, 0, 0xFF};
    EXPECT_EQ(query(1, UVC_SET_CUR, b), 0);
    EXPECT_EQ(query(1, UVC_GET_CUR, b), -1);
    EXPECT_EQ(query(1, UVC_GET_CUR, b), 0) << "only the second query failed";
    chip_->failFrom(1, EIO);
    EXPECT_EQ(query(1, UVC_SET_CUR, b), -1);
    EXPECT_EQ(errno, EIO);
    EXPECT_EQ(query(1, UVC_GET_CUR, b), -1);
    chip_->unplug();
    EXPECT_EQ(query(1, UVC_GET_CUR, b), -1);
    EXPECT_EQ(errno, ENODEV);
    EXPECT_EQ(chip_->log().back().error, ENODEV);
}

} // namespace
