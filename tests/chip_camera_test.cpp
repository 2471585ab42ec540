// The ChipCam_ entry points on the virtual chip: open state, registers,
// sensor, flash, USB strings and ids, the firmware version record.
#include "chip_sdk_fixture.h"

#include <linux/usb/video.h>

#include <cstring>
#include <string>

using namespace zq::sim;

namespace
{

using Bytes = std::vector<uint8_t>;

TEST_F(SdkTest, EverythingIsRefusedWhileClosed)
{
    attach(firmwareChip());
    BYTE b[64] = {};
    DSP_ROM_TYPE type = DRT_64K;
    ChangeParamInfo info{};
    const Bytes image = makeFirmwareImage(firmware());
    BYTE *fw = const_cast<BYTE *>(image.data());
    const LONG n = LONG(image.size());
    EXPECT_FALSE(ChipCam_UnInit());
    EXPECT_FALSE(ChipCam_AsicRegisterRead(0x1000, b, 1));
    EXPECT_FALSE(ChipCam_AsicRegisterWrite(0x1000, b, 1));
    EXPECT_FALSE(ChipCam_XuRead(b, 4, 3, 1));
    EXPECT_FALSE(ChipCam_XuWrite(b, 4, 3, 1));
    EXPECT_FALSE(ChipCam_SensorRegisterCustomRead(0x6C, 0x10, b, 2, false));
    EXPECT_FALSE(ChipCam_SensorRegisterCustomWrite(0x6C, 0x10, b, 2, false));
    EXPECT_FALSE(ChipCam_SerialFlashRead(0, b, 8));
    EXPECT_FALSE(ChipCam_SerialFlashSectorWrite(0, b, 8, SFT_MXIC));
    EXPECT_FALSE(ChipCam_SerialFlashWrite(0, b, 8));
    EXPECT_FALSE(ChipCam_GetManufacturer(b, 64));
    EXPECT_FALSE(ChipCam_GetProduct(b, 64));
    EXPECT_FALSE(ChipCam_GetSerialNumber(b, 64));
    EXPECT_FALSE(ChipCam_GetString3(b, 64));
    EXPECT_FALSE(ChipCam_GetInterface(b, 64));
    EXPECT_FALSE(ChipCam_GetVidPid(b, 4));
    EXPECT_FALSE(ChipCam_DisableSerialFlashWriteProtect(SFT_MXIC));
    EXPECT_FALSE(ChipCam_EraseSerialFlash(SFT_MXIC));
    EXPECT_FALSE(ChipCam_EraseSectorFlash(0, SFT_MXIC));
    EXPECT_FALSE(ChipCam_EraseBlockFlash(0, SFT_MXIC));
    EXPECT_FALSE(ChipCam_GetAsicRomType(&type));
    EXPECT_FALSE(ChipCam_GetFWVersion(b, 56, 1));
    EXPECT_FALSE(ChipCam_GetFWVersionEx(DRT_64K, b, 56, 1));
    EXPECT_FALSE(ChipCam_BurnerFW(fw, n, nullptr, nullptr, SFT_MXIC, 0));
    EXPECT_FALSE(ChipCam_CustomBurnerFW(info, fw, n, nullptr, nullptr, SFT_MXIC, 0));
    EXPECT_FALSE(ChipCam_WriteFwToFlash(fw, n, nullptr, nullptr, 0));
    EXPECT_FALSE(ChipCam_ExportFW(b, 8, nullptr, nullptr));
    EXPECT_FALSE(
        ChipCam_SetParamTableFromFWFile(fw, n, info, nullptr, nullptr, SFT_MXIC, nullptr, 0));
    EXPECT_EQ(type, DRT_64K);
    EXPECT_TRUE(chip().log().empty());
    // The plain helpers work at any time.
    EXPECT_EQ(GetByteLengthFormAddr(0x10), 1);
    EXPECT_TRUE(CheckCRC(b, 0, 3, 8));
    EXPECT_TRUE(SetParamToParamBuffer(b, 0, b, 0));
}

TEST_F(SdkTest, InitAndUnInit)
{
    attach(firmwareChip());
    testing::internal::CaptureStdout();
    ASSERT_TRUE(ChipCam_Init(0));
    EXPECT_TRUE(ChipCam_Init(5)) << "already open";
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(hw().openDescriptors(), 1);
    EXPECT_TRUE(ChipCam_UnInit());
    EXPECT_EQ(hw().openDescriptors(), 0);
    EXPECT_FALSE(ChipCam_UnInit());

    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ChipCam_Init(7));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Open video device failed\n");
    EXPECT_FALSE(camera_init);
}

TEST_F(SdkTest, RegistersInRuns)
{
    initOn(firmwareChip());
    BYTE values[3] = {0x11, 0x22, 0x33};
    ASSERT_TRUE(ChipCam_AsicRegisterWrite(0x2000, values, 3));
    EXPECT_EQ(chip().peek(0x2002), 0x33);
    BYTE read[3] = {};
    ASSERT_TRUE(ChipCam_AsicRegisterRead(0x2000, read, 3));
    EXPECT_EQ(0, std::memcmp(read, values, 3));
    chip().clearLog();
    chip().failQuery(3); // the second register's request
    testing::internal::CaptureStdout();
    EXPECT_FALSE(ChipCam_AsicRegisterRead(0x2000, read, 3));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(chip().log().size(), 3u) << "stops at the first failure";
    EXPECT_FALSE(ChipCam_AsicRegisterRead(0x2000, nullptr, 3));
    EXPECT_FALSE(ChipCam_AsicRegisterWrite(0x2000, values, -1));
}

TEST_F(SdkTest, SensorRegistersTwoBytesAnAccess)
{
    ChipConfig c = firmwareChip();
    c.sensor.addressBytes = 2;
    c.sensor.valueBytes = 1;
    initOn(c);
    BYTE data[5] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
    ASSERT_TRUE(ChipCam_SensorRegisterCustomWrite(0x6C, 0x3012, data, 5, false));
    std::vector<uint8_t> slots;
    for (const RegisterAccess &a : registerAccesses())
        if (a.write && a.addr >= 0x10D2 && a.addr <= 0x10D6)
            slots.push_back(a.value);
    EXPECT_EQ(slots, (Bytes{0x30, 0x12, 0xA1, 0xA2, 0, 0x30, 0x14, 0xA3, 0xA4, 0, 0x30, 0x16, 0xA5,
                            0, 0}));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(chip().sensor().registerValue(uint16_t(0x3012 + i)), data[i]);
    BYTE read[5] = {};
    ASSERT_TRUE(ChipCam_SensorRegisterCustomRead(0x6C, 0x3012, read, 5, true));
    EXPECT_EQ(0, std::memcmp(read, data, 5));
    chip().clearLog();
    EXPECT_FALSE(ChipCam_SensorRegisterCustomWrite(0x6C, 0xFFFE, data, 4, false))
        << "0x10000 needs three address bytes";
    EXPECT_FALSE(ChipCam_SensorRegisterCustomRead(0x6C, -2, read, 2, false));
    EXPECT_TRUE(chip().log().empty());
}

TEST_F(SdkTest, AddressWidths)
{
    for (auto [addr, width] : {std::pair<LONG, int>{0xFF, 1},
                               {0x100, 2},
                               {0xFFFF, 2},
                               {0x10000, 3},
                               {0xFFFFFF, 3},
                               {0x1000000, 4}})
        EXPECT_EQ(GetByteLengthFormAddr(addr), width) << addr;
}

TEST_F(SdkTest, FlashWriteInGroupsOfEight)
{
    ChipConfig c = firmwareChip();
    c.firmwareGuardsFlash = false;
    c.flashStatus = 0;
    c.flashContents.assign(0x10000, 0xFF);
    initOn(c);
    BYTE data[13];
    for (int i = 0; i < 13; ++i)
        data[i] = BYTE(i + 1);
    ASSERT_TRUE(ChipCam_SerialFlashWrite(0x100, data, 13));
    const auto window = transfers(3);
    ASSERT_EQ(window.size(), 2u);
    EXPECT_EQ(window[0].sent[2], 0x08);
    EXPECT_EQ(window[1].sent, (Bytes{0x08, 0x01, 0x05, 9, 10, 11, 12, 13, 0, 0, 0}));
    EXPECT_EQ(flash()[0x10C], 13);
    EXPECT_EQ(flash()[0x10D], 0xFF);
    BYTE read[13] = {};
    ASSERT_TRUE(ChipCam_SerialFlashRead(0x100, read, 13));
    EXPECT_EQ(0, std::memcmp(read, data, 13));
}

TEST_F(SdkTest, SectorWriteErasesFirst)
{
    initOn(firmwareChip());
    const long long slept = hw().sleptMicroseconds();
    BYTE data[16];
    std::memset(data, 0x5A, sizeof(data));
    EXPECT_FALSE(ChipCam_SerialFlashSectorWrite(0x2000, data, 16, SFT_UNKNOW));
    EXPECT_TRUE(chip().log().empty());
    ubSFLib_CmdID = 1; // the firmware needs this flash's opcodes
    ASSERT_TRUE(ChipCam_SerialFlashSectorWrite(0x2010, data, 16, SFT_MXIC));
    EXPECT_EQ(flash()[0x2010], 0x5A);
    EXPECT_EQ(flash()[0x2000], 0xFF) << "the rest of the sector is erased";
    EXPECT_EQ(flash()[0x3000], makeFirmwareImage(firmware())[0x3000]);
    EXPECT_GE(hw().sleptMicroseconds() - slept, 1000000) << "a second for the erase";
}

TEST_F(SdkTest, UsbStringsAndIds)
{
    initOn(firmwareChip());
    const struct {
        BOOL (*get)(BYTE *, int);
        const char *text;
    } strings[] = {{ChipCam_GetProduct, "Document Camera"},
                   {ChipCam_GetManufacturer, "ZQ Imaging"},
                   {ChipCam_GetSerialNumber, "SN0001"},
                   {ChipCam_GetString3, "Camera"},
                   {ChipCam_GetInterface, "Video"}};
    BYTE text[32] = {};
    for (const auto &string : strings) {
        std::memset(text, 0, sizeof(text));
        ASSERT_TRUE(string.get(text, 32)) << string.text;
        EXPECT_EQ(std::string(reinterpret_cast<char *>(text)), string.text);
    }
    EXPECT_FALSE(ChipCam_GetProduct(text, 14)) << "15 characters";
    EXPECT_FALSE(ChipCam_GetProduct(text, -1));
    BYTE ids[4] = {};
    ASSERT_TRUE(ChipCam_GetVidPid(ids, 4));
    EXPECT_EQ(Bytes(ids, ids + 4), (Bytes{0xC8, 0x0A, 0x70, 0x33}));
    EXPECT_FALSE(ChipCam_GetVidPid(ids, 3)) << "the buffer must hold the four bytes";
    DSP_ROM_TYPE type = DRT_Unknow;
    ASSERT_TRUE(ChipCam_GetAsicRomType(&type));
    EXPECT_EQ(type, DRT_128K);
}

TEST_F(SdkTest, ErasesNeedTheProtectionLifted)
{
    initOn(firmwareChip());
    EXPECT_FALSE(ChipCam_EraseSerialFlash(SFT_UNKNOW));
    EXPECT_FALSE(ChipCam_EraseSectorFlash(0, SFT_UNKNOW));
    EXPECT_FALSE(ChipCam_EraseBlockFlash(0, SFT_UNKNOW));
    EXPECT_TRUE(spiCommands().empty());
    ASSERT_TRUE(ChipCam_EraseSectorFlash(0x1000, SFT_MXIC));
    EXPECT_EQ(flash()[0x1000], 0xFF);
    EXPECT_NE(flash()[0x10000 - 1], 0xFF);
    ASSERT_TRUE(ChipCam_EraseSerialFlash(SFT_MXIC));
    EXPECT_EQ(flash()[0xFFFF], 0xFF);
}

// ---- firmware version -------------------------------------------------------------

// Texts placed in the firmware: where, and what.
using VersionFields = std::vector<std::pair<uint32_t, std::string>>;

class VersionTest : public SdkTest
{
  protected:
    // Starts c on firmware whose version fields are these instead of the usual ones.
    void initWithVersionFields(ChipConfig &c, const VersionFields &fields)
    {
        FirmwareSpec spec = firmware();
        spec.texts = fields;
        c.flashContents = makeFirmwareImage(spec);
        initOn(c);
    }
};

TEST_F(VersionTest, RawAndTextRecords)
{
    initOn(firmwareChip());
    BYTE record[100];
    std::memset(record, 0xEE, sizeof(record));
    ASSERT_TRUE(ChipCam_GetFWVersion(record, 100, 1));
    const std::string raw(reinterpret_cast<char *>(record), 35);
    EXPECT_EQ(raw, std::string("12345") + "2024-05-17" + "ZQ-CAM-276" + "0105203045");
    for (int i = 35; i < 100; ++i)
        EXPECT_EQ(record[i], 0) << i;

    std::memset(record, 0xEE, sizeof(record));
    ASSERT_TRUE(ChipCam_GetFWVersion(record, 100, 0));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record)),
              "1234-20240517-5-V010520_30_45-ZQCAM276");

    std::memset(record, 0xEE, sizeof(record));
    ASSERT_TRUE(ChipCam_GetFWVersion(record, 10, 0));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record), 10), "1234-20240");
    EXPECT_EQ(record[10], 0xEE) << "nothing past len";
}

TEST_F(VersionTest, RomTwoTwentyLeavesOutTheCodeDigit)
{
    ChipConfig c = firmwareChip();
    c.chipId = 0x16;
    c.romStringAddr = RomInfo[ROM220].RomStringAddr;
    std::copy_n(RomInfo[ROM220].RomString, 8, c.romString.begin());
    const VersionFields fields = {
        {0x0FD0, "AAAA-BBBBB"}, {0x0FDA, "2023-01-02"}, {0x0FE4, "0203040506"}, {0x0153, "98765"}};
    initWithVersionFields(c, fields);
    BYTE record[56];
    ASSERT_TRUE(ChipCam_GetFWVersion(record, 56, 0));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record)),
              "9876-20230102-V020304_05_06-AAAABBBBB");
}

TEST_F(VersionTest, ChipsAndConditions)
{
    // 0x32 with ROM version byte 2 takes the second row's addresses.
    ChipConfig c = firmwareChip();
    c.chipId = 0x32;
    c.romString[5] = 2; // still row 15 (newest-version row)
    const VersionFields fields = {
        {0x0FD0, "A234567890"}, {0x0FE2, "B234567890"}, {0x0FEC, "C234567890"}, {0x0FDA, "DDDDD"}};
    initWithVersionFields(c, fields);
    BYTE record[56];
    ASSERT_TRUE(ChipCam_GetFWVersion(record, 56, 1));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record), 15), "DDDDDB234567890");

    c.chipId = 0x76; // needs ROM version byte 1
    initOn(c);
    EXPECT_FALSE(ChipCam_GetFWVersion(record, 56, 1));
    c.chipId = 0x87; // a known chip with no version fields
    initOn(c);
    EXPECT_FALSE(ChipCam_GetFWVersion(record, 56, 1));
}

TEST_F(VersionTest, ExVariantFollowsTheCallersRomType)
{
    ChipConfig c = firmwareChip();
    c.chipId = 0x75;
    const VersionFields fields = {
        {0x4E00, "A64K------"}, {0x4E12, "B64K------"}, {0x4E1C, "C64K------"}, {0x4E0A, "D64K-"},
        {0x2000, "A128K-----"}, {0x2012, "B128K-----"}, {0x201C, "C128K-----"}, {0x200A, "D128K"}};
    initWithVersionFields(c, fields);
    BYTE record[56];
    ASSERT_TRUE(ChipCam_GetFWVersionEx(DRT_64K, record, 56, 1));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record), 9), "D64K-B64K");
    ASSERT_TRUE(ChipCam_GetFWVersionEx(DRT_128K, record, 56, 1));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record), 10), "D128KB128K");
    EXPECT_FALSE(ChipCam_GetFWVersionEx(DRT_256K, record, 56, 1));
    ASSERT_TRUE(ChipCam_GetFWVersion(record, 56, 1));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(record), 10), "D128KB128K");
}

TEST_F(VersionTest, FailedFieldReadFails)
{
    initOn(firmwareChip());
    chip().failOnSelector(3, 3);
    BYTE record[56];
    EXPECT_FALSE(ChipCam_GetFWVersion(record, 56, 1));
    EXPECT_FALSE(ChipCam_GetFWVersion(nullptr, 56, 1));
}

} // namespace
