// The extension-unit transport, controller registers, unit-id search,
// register maps and the I2C engine, on the virtual chip.
#include "chip_fixture.h"

#include <linux/usb/video.h>

#include <cstring>
#include <string>

using namespace zq::sim;

namespace
{

using Bytes = std::vector<uint8_t>;

class TransportTest : public ChipTest
{
  protected:
    struct Opening {
        bool opened;
        std::string printed; // what the SDK wrote to standard output
    };

    // Opens a chip whose extension unit has the given id (0: none).
    Opening openWithUnit(int unitId)
    {
        ChipConfig config;
        config.unitId = unitId;
        attach(config);
        testing::internal::CaptureStdout();
        const bool opened = XU_OpenCamera("/dev/video0");
        return {opened, testing::internal::GetCapturedStdout()};
    }
};

TEST_F(TransportTest, RegisterReadIsARequestThenARead)
{
    attach();
    open();
    BYTE value = 0;
    ASSERT_TRUE(XU_ReadFromASIC(0x101F, &value));
    EXPECT_EQ(value, 0x76);
    const auto &log = chip().log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].unit, 3);
    EXPECT_EQ(log[0].selector, 1);
    EXPECT_EQ(log[0].query, UVC_SET_CUR);
    EXPECT_EQ(log[0].sent, (Bytes{0x1F, 0x10, 0x00, 0xFF}));
    EXPECT_EQ(log[1].query, UVC_GET_CUR);
    EXPECT_EQ(log[1].sent, (Bytes{0x1F, 0x10, 0x00, 0x00})) << "byte 3 cleared before the read";
}

TEST_F(TransportTest, RegisterWriteIsOneSet)
{
    attach();
    open();
    ASSERT_TRUE(XU_WriteToASIC(0x1006, 0x5A));
    ASSERT_EQ(chip().log().size(), 1u);
    EXPECT_EQ(chip().log()[0].sent, (Bytes{0x06, 0x10, 0x5A, 0x00}));
    EXPECT_EQ(chip().peek(0x1006), 0x5A);
}

TEST_F(TransportTest, ReadBitGivesTheMaskedValue)
{
    attach();
    open();
    chip().poke(0x1234, 0x0C);
    EXPECT_EQ(XU_ReadBitFormAsic(0x1234, 2), 4);
    EXPECT_EQ(XU_ReadBitFormAsic(0x1234, 3), 8);
    EXPECT_EQ(XU_ReadBitFormAsic(0x1234, 0), 0);
    chip().clearLog();
    EXPECT_EQ(XU_ReadBitFormAsic(0x1234, 8), 0);
    EXPECT_TRUE(chip().log().empty()) << "no bit 8 in a byte";
    chip().failQuery(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(XU_ReadBitFormAsic(0x1234, 2), 0) << "a failed read counts as 0";
    testing::internal::GetCapturedStdout();
}

TEST_F(TransportTest, FailedRequestsPrintTheirResult)
{
    attach();
    open();
    BYTE value = 0x77;
    chip().failQuery(1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(XU_ReadFromASIC(0x1000, &value));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ioctl(UVCIOC_CTRL_SET) FAILED (-1) \n");
    chip().failQuery(2);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(XU_ReadFromASIC(0x1000, &value));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ioctl(UVCIOC_CTRL_GET) FAILED (-1)\n");
    EXPECT_EQ(value, 0x77);
    chip().failQuery(1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(XU_WriteToASIC(0x1000, 1));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ioctl(UVCIOC_CTRL_SET) FAILED (-1) \n");
    chip().failQuery(1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(XU_GetMemType(&value));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ioctl(UVCIOC_CTRL_GET) FAILED (-1)\n");
}

TEST_F(TransportTest, MemoryTypeIsOneRead)
{
    ChipConfig config;
    config.memoryType = 2;
    attach(config);
    open();
    BYTE type = 0;
    ASSERT_TRUE(XU_GetMemType(&type));
    EXPECT_EQ(type, 2);
    ASSERT_EQ(chip().log().size(), 1u);
    EXPECT_EQ(chip().log()[0].selector, 5);
    EXPECT_EQ(chip().log()[0].query, UVC_GET_CUR);
    EXPECT_EQ(chip().log()[0].size, 11);
}

TEST_F(TransportTest, RawQueriesPassTheDriversAnswer)
{
    attach();
    open();
    Bytes control{0x1F, 0x10, 0, 0xFF};
    EXPECT_EQ(XU_Set_Cur(3, 1, 4, control.data()), 0);
    EXPECT_EQ(XU_Get_Cur(3, 1, 4, control.data()), 0);
    EXPECT_EQ(control[2], 0x76);
    errno = 0;
    EXPECT_EQ(XU_Get_Cur(3, 1, 3, control.data()), -1);
    EXPECT_EQ(errno, ENOBUFS);
    EXPECT_EQ(XU_Get_Cur(9, 1, 4, control.data()), -1);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_TRUE(XU_Read(control.data(), 4, 3, 1));
    EXPECT_FALSE(XU_Write(control.data(), 4, 3, 2)) << "no selector 2";
    chip().clearLog();
    EXPECT_FALSE(XU_Read(nullptr, 4, 3, 1));
    EXPECT_FALSE(XU_Write(control.data(), 0x10000, 3, 1)) << "longer than a control can be";
    EXPECT_TRUE(chip().log().empty());
}

// ---- open, close and the unit search ---------------------------------------------

TEST_F(TransportTest, OpenFindsUnitFourAfterThree)
{
    const Opening opening = openWithUnit(4);
    ASSERT_TRUE(opening.opened);
    // Unit 3 answers nothing: three tries at the chip id, each reported.
    EXPECT_EQ(opening.printed, "Device /dev/video0 opened: Virtual Document Camera.\n"
                               "ioctl(UVCIOC_CTRL_SET) FAILED (-1) \n"
                               "ioctl(UVCIOC_CTRL_SET) FAILED (-1) \n"
                               "ioctl(UVCIOC_CTRL_SET) FAILED (-1) \n");
    camera_init = 1;
    EXPECT_EQ(g_curExtendUnitID, 4);
    EXPECT_EQ(chip().log().front().unit, 3);
    EXPECT_EQ(chip().log().front().error, ENOENT);
    EXPECT_EQ(chip().log().back().unit, 4);
    EXPECT_EQ(XU_GetUVCExtendUnitID(), 4);
}

TEST_F(TransportTest, NoExtensionUnitFailsTheOpen)
{
    const Opening opening = openWithUnit(0);
    EXPECT_FALSE(opening.opened);
    EXPECT_NE(opening.printed.find("Get uvc extend unit id fail\n"), std::string::npos);
    EXPECT_EQ(g_curExtendUnitID, 4);
    EXPECT_EQ(hw().openDescriptors(), 0) << "the descriptor is closed again";
}

TEST_F(TransportTest, OpenFailures)
{
    testing::internal::CaptureStdout();
    EXPECT_FALSE(XU_OpenCamera("/dev/video3")) << "no such node";
    EXPECT_FALSE(XU_OpenCamera(nullptr));
    attach().flash();
    hw().camera(0)->failRequest(VIDIOC_QUERYCAP, 1, EIO);
    EXPECT_FALSE(XU_OpenCamera("/dev/video0"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error opening device /dev/video0 : unable to query device.\n");
    EXPECT_EQ(hw().openDescriptors(), 0);

    ChipConfig unknown;
    unknown.chipId = 0x42;
    attach(unknown);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(XU_OpenCamera("/dev/video0"));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(hw().openDescriptors(), 0);
}

TEST_F(TransportTest, CloseActsOnlyWhileInitialised)
{
    attach();
    open();
    camera_init = 0;
    EXPECT_FALSE(XU_CloseCamera());
    EXPECT_EQ(hw().openDescriptors(), 1) << "the descriptor is kept";
    camera_init = 1;
    EXPECT_TRUE(XU_CloseCamera());
    EXPECT_EQ(hw().openDescriptors(), 0);
    camera_init = 0;
}

// ---- register maps -----------------------------------------------------------------

TEST_F(TransportTest, ArchitectureSelectsTheMap)
{
    ASSERT_TRUE(XU_SetAsicArchInfo(DAT_SECOND));
    EXPECT_EQ(dspIdAddr, 0x80F0);
    EXPECT_EQ(sfRdyAddr, 0x8E04);
    EXPECT_EQ(i2cDataArrStartAddr, 0x8602);
    EXPECT_FALSE(XU_SetAsicArchInfo(DSP_ARCH_TYPE(2)));
    EXPECT_FALSE(LibUsb_SetAsicArchInfo(DAT_UNKNOW));
    EXPECT_EQ(dspIdAddr, 0x80F0) << "a refused type keeps the map";
    ASSERT_TRUE(LibUsb_SetAsicArchInfo(DAT_FIRST));
    const USHORT first[] = {
        dspIdAddr,  sfRdyAddr, usbResetAddr,    gpioInputAddr,  gpioOutputAddr,         gpioOEAddr,
        sfModeAddr, sfCSAddr,  sfWriteDataAddr, sfReadDataAddr, sfReadWriteTriggerAddr, i2cDev,
        i2cMode,    i2cTrg,    i2cSclSelOD,     i2cSlaveID,     i2cDataArrStartAddr};
    EXPECT_EQ(0, std::memcmp(first, &g_AsicArchInfo[0], sizeof(first)));
}

// ---- the I2C engine ------------------------------------------------------------------

class SensorTest : public ChipTest
{
  protected:
    void attachSensor(int addressBytes, int valueBytes, bool answers = true)
    {
        ChipConfig config;
        config.sensor.addressBytes = addressBytes;
        config.sensor.valueBytes = valueBytes;
        config.sensor.answers = answers;
        config.sensor.registers = {{0x30, 0x5A}, {0x3012, 0xBEEF}, {0x3013, 0x1234}};
        attach(config);
        open();
    }
    std::vector<uint8_t> slotWrites()
    {
        std::vector<uint8_t> values;
        for (const RegisterAccess &a : registerAccesses())
            if (a.write && a.addr >= 0x10D2 && a.addr <= 0x10D6)
                values.push_back(a.value);
        return values;
    }
};

TEST_F(SensorTest, ByteWriteFillsTheSlots)
{
    attachSensor(1, 1);
    chip().poke(0x10D0, 0x01); // the fast-speed bit
    ASSERT_TRUE(XU_CustomWriteToSensor(0x6C, 0x31, 1, 0xA7, 1, false));
    EXPECT_EQ(slotWrites(), (std::vector<uint8_t>{0x31, 0xA7, 0, 0, 0}));
    const auto control = registerWrites(0x10D0);
    ASSERT_EQ(control.size(), 1u);
    EXPECT_EQ(control[0].value, 0x80 | 0x20 | 0x01);
    EXPECT_EQ(registerWrites(0x10D7).at(0).value, 0x10);
    EXPECT_EQ(registerWrites(0x10D1).at(0).value, 0x6C);
    EXPECT_EQ(chip().sensor().registerValue(0x31), 0xA7);
    EXPECT_EQ(registerWrites(0x10D9).at(0).value, 1);
    EXPECT_EQ(registerWrites(0x10D8).at(0).value, 1);
}

TEST_F(SensorTest, WordRegistersRoundTrip)
{
    attachSensor(2, 2);
    ASSERT_TRUE(XU_CustomWriteToSensor(0x6C, 0x3020, 2, 0xCAFE, 2, false));
    EXPECT_EQ(slotWrites(), (std::vector<uint8_t>{0x30, 0x20, 0xCA, 0xFE, 0}));
    EXPECT_EQ(chip().sensor().registerValue(0x3020), 0xCAFE);
    USHORT value = 0;
    ASSERT_TRUE(XU_CustomReadFromSensor(0x6C, 0x3012, 2, &value, 2, false));
    EXPECT_EQ(value, 0xBEEF);
}

TEST_F(SensorTest, ReadSendsTheAddressThenReads)
{
    attachSensor(1, 1);
    USHORT value = 0;
    chip().clearLog();
    ASSERT_TRUE(XU_CustomReadFromSensor(0x6C, 0x30, 1, &value, 1, false));
    EXPECT_EQ(value, 0x5A);
    const auto control = registerWrites(0x10D0);
    ASSERT_EQ(control.size(), 2u);
    EXPECT_EQ(control[0].value, 0x80 | 0x10) << "the address alone";
    EXPECT_EQ(control[1].value, 0x80 | 0x10 | 0x02) << "one byte read";
    // The five slots are read back in order after the transfer.
    std::vector<uint16_t> slotReads;
    for (const RegisterAccess &a : registerAccesses())
        if (!a.write && a.addr >= 0x10D2 && a.addr <= 0x10D6)
            slotReads.push_back(a.addr);
    EXPECT_EQ(slotReads, (std::vector<uint16_t>{0x10D2, 0x10D3, 0x10D4, 0x10D5, 0x10D6}));
}

TEST_F(SensorTest, ByteCountsAreLimited)
{
    attachSensor(2, 2);
    USHORT value = 0;
    chip().clearLog();
    EXPECT_FALSE(XU_CustomReadFromSensor(0x6C, 0x3012, 2, &value, 0, false));
    EXPECT_TRUE(chip().log().empty());
    ASSERT_TRUE(XU_CustomReadFromSensor(0x6C, 0x3012, 2, &value, 3, false));
    EXPECT_EQ(value, 0xBEEF);
    EXPECT_EQ(registerWrites(0x10D0).back().value, 0x80 | 0x20 | 0x02) << "3 is taken as 2";
}

TEST_F(SensorTest, SilentSensorFailsAfterTenPolls)
{
    attachSensor(1, 1, false);
    const long long sleptBefore = hw().sleptMicroseconds();
    EXPECT_FALSE(XU_CustomWriteToSensor(0x6C, 0x31, 1, 0x01, 1, false));
    int statusReads = 0;
    for (const RegisterAccess &a : registerAccesses())
        statusReads += !a.write && a.addr == 0x10D0;
    EXPECT_EQ(statusReads, 1 + 10) << "the speed bit, then ten polls";
    EXPECT_EQ(hw().sleptMicroseconds() - sleptBefore, 10 * 1000);
}

TEST_F(SensorTest, SlowSensorAndWrongSlave)
{
    ChipConfig config;
    config.sensor.addressBytes = 1;
    config.i2cBusyPolls = 3;
    attach(config);
    open();
    EXPECT_TRUE(XU_CustomWriteToSensor(0x6C, 0x31, 1, 0x01, 1, false)) << "done on the 4th poll";
    config.i2cBusyPolls = 10;
    attach(config);
    open();
    EXPECT_FALSE(XU_CustomWriteToSensor(0x6C, 0x31, 1, 0x01, 1, false)) << "not done in 10";
    EXPECT_FALSE(XU_CustomWriteToSensor(0x42, 0x31, 1, 0x01, 1, false)) << "no acknowledge";
    USHORT value = 0;
    EXPECT_FALSE(XU_CustomReadFromSensor(0x42, 0x31, 1, &value, 1, false));
}

TEST_F(SensorTest, SclPollingSetsTheModeBits)
{
    attachSensor(1, 1);
    ASSERT_TRUE(XU_CustomWriteToSensor(0x6C, 0x31, 1, 0x01, 1, true));
    const auto mode = registerWrites(0x10D9);
    ASSERT_EQ(mode.size(), 2u);
    EXPECT_EQ(mode[0].value, 1);
    EXPECT_EQ(mode[1].value, 0x03);
}

TEST_F(SensorTest, RequiredAccessFailureStopsTheTransfer)
{
    attachSensor(1, 1);
    chip().failQuery(1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(XU_CustomWriteToSensor(0x6C, 0x31, 1, 0x01, 1, false));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(chip().log().size(), 1u) << "nothing after the failed mode write";
}

} // namespace
