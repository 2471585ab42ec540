// Serial-flash access on the virtual chip: the data window's bytes, reads
// in pieces, erase commands per family, and the write-protect sequence in
// each of its branches.
#include "chip_fixture.h"
#include "firmware_image.h"

#include <linux/usb/video.h>

using namespace zq::sim;

namespace
{

using Bytes = std::vector<uint8_t>;

class FlashTest : public ChipTest
{
  protected:
    // An unprotected 256 KiB flash holding a counting pattern.
    void attachPattern()
    {
        ChipConfig config;
        config.flashPart = "GD25Q20";
        config.flashContents.resize(0x40000);
        for (size_t i = 0; i < config.flashContents.size(); ++i)
            config.flashContents[i] = uint8_t(i * 7 + (i >> 8));
        attach(config);
        open();
    }
    uint8_t pattern(size_t i) { return uint8_t(i * 7 + (i >> 8)); }
};

TEST_F(FlashTest, WindowReadBytes)
{
    attachPattern();
    BYTE data[8] = {};
    ASSERT_TRUE(XU_ReadDataFormFlash(0x12345, data, 8));
    const auto window = transfers(3);
    ASSERT_EQ(window.size(), 2u);
    EXPECT_EQ(window[0].query, UVC_SET_CUR);
    EXPECT_EQ(window[0].sent, (Bytes{0x45, 0x23, 0x98, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(window[1].query, UVC_GET_CUR);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(data[i], pattern(0x12345 + i));
}

TEST_F(FlashTest, WindowBanks)
{
    attachPattern();
    BYTE data[8];
    for (auto [addr, bank] :
         {std::pair<LONG, int>{0xFFFF, 0}, {0x10000, 1}, {0x2ABCD, 2}, {0x3FFF8, 3}}) {
        chip().clearLog();
        ASSERT_TRUE(XU_ReadDataFormFlash(addr, data, 1));
        EXPECT_EQ((transfers(3)[0].sent[2] >> 4) & 3, bank) << addr;
        EXPECT_EQ(data[0], pattern(size_t(addr)));
    }
    chip().clearLog();
    EXPECT_FALSE(XU_ReadDataFormFlash(0x40000, data, 1)) << "beyond the window's reach";
    EXPECT_FALSE(XU_ReadDataFormFlash(-1, data, 1));
    EXPECT_FALSE(XU_WriteDataToFlash(0x40000, data, 1));
    EXPECT_TRUE(chip().log().empty());
}

TEST_F(FlashTest, WindowReadLengthAndBufferChecks)
{
    attachPattern();
    BYTE data[9] = {};
    EXPECT_FALSE(XU_ReadDataFormFlash(0, data, 0));
    EXPECT_FALSE(XU_ReadDataFormFlash(0, data, 9));
    EXPECT_FALSE(XU_ReadDataFormFlash(0, nullptr, 4));
    EXPECT_FALSE(XU_WriteDataToFlash(0, nullptr, 4));
    EXPECT_FALSE(XU_WriteDataToFlash(0, data, 0));
    EXPECT_FALSE(XU_ReadFormSF(0, nullptr, 4));
    EXPECT_FALSE(XU_ReadFormSF(0, data, -1));
    EXPECT_TRUE(chip().log().empty());
    EXPECT_TRUE(XU_ReadFormSF(0, nullptr, 0));
}

TEST_F(FlashTest, WindowWriteIsOneSetOfAtMostEight)
{
    attachPattern();
    chip().flash().contents().assign(0x40000, 0xFF);
    BYTE data[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(XU_WriteDataToFlash(0x8000, data, 12));
    ASSERT_EQ(chip().log().size(), 1u);
    EXPECT_EQ(chip().log()[0].sent, (Bytes{0x00, 0x80, 0x08, 1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(chip().flash().contents()[0x8007], 8);
    EXPECT_EQ(chip().flash().contents()[0x8008], 0xFF);
    chip().failQuery(1);
    EXPECT_FALSE(XU_WriteDataToFlash(0x9000, data, 3));
}

TEST_F(FlashTest, ReadInPiecesOfEight)
{
    attachPattern();
    BYTE data[20];
    ASSERT_TRUE(XU_ReadFormSF(0x100, data, 20));
    const auto window = transfers(3);
    ASSERT_EQ(window.size(), 6u);
    EXPECT_EQ(window[0].sent[0], 0x00);
    EXPECT_EQ(window[0].sent[1], 0x01);
    EXPECT_EQ(window[0].sent[2], 0x88);
    EXPECT_EQ(window[2].sent[0], 0x08);
    EXPECT_EQ(window[4].sent[0], 0x10);
    EXPECT_EQ(window[4].sent[2], 0x84) << "the last piece is 4 bytes";
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(data[i], pattern(0x100 + i));
}

TEST_F(FlashTest, FailedPieceEndsTheRead)
{
    attachPattern();
    BYTE data[24];
    std::fill(std::begin(data), std::end(data), 0xEE);
    chip().failQuery(4); // the second piece's reply
    EXPECT_FALSE(XU_ReadFormSF(0, data, 24));
    EXPECT_EQ(data[7], pattern(7)) << "the pieces before stay copied";
    EXPECT_EQ(data[8], 0xEE);
    EXPECT_EQ(transfers(3).size(), 4u);
}

// ---- the flash engine --------------------------------------------------------------

TEST_F(FlashTest, EraseCommandsByFamily)
{
    attachPattern();
    struct Row {
        SERIAL_FLASH_TYPE sft;
        uint8_t sector, block, chip;
    };
    const Row rows[] = {
        {SFT_MXIC, 0x20, 0x52, 0x60}, {SFT_ST, 0xD8, 0xD8, 0xC7},
        {SFT_SST, 0x20, 0x52, 0x60},  {SFT_WINBOND, 0x20, 0x52, 0xC7},
        {SFT_PMC, 0xD7, 0x52, 0xC7},  {SFT_AMIC, 0x20, 0x52, 0xC7},
        {SFT_GIGA, 0x20, 0xD8, 0x60}, {SFT_FENTECH, 0x20, 0xD8, 0x60},
        {SFT_EON, 0x20, 0x52, 0x60},
    };
    for (const Row &r : rows) {
        chip().clearLog();
        ASSERT_TRUE(XU_EraseSectorForSerialFlash(0x12345, r.sft));
        auto commands = spiCommands();
        ASSERT_EQ(commands.size(), 2u);
        EXPECT_EQ(commands[0], Bytes{0x06});
        EXPECT_EQ(commands[1], (Bytes{r.sector, 0x01, 0x23, 0x45})) << r.sft;

        chip().clearLog();
        ASSERT_TRUE(XU_EraseBlockForSerialFlash(0x20000, r.sft));
        commands = spiCommands();
        ASSERT_EQ(commands.size(), 2u);
        EXPECT_EQ(commands[1], (Bytes{r.block, 0x02, 0x00, 0x00})) << r.sft;

        chip().clearLog();
        ASSERT_TRUE(XU_SerialFlashErase(r.sft));
        commands = spiCommands();
        const size_t first = r.sft == SFT_SST ? 2 : 0;
        ASSERT_GE(commands.size(), first + 3);
        EXPECT_EQ(commands[first], Bytes{0x06});
        EXPECT_EQ(commands[first + 1], Bytes{r.chip}) << r.sft;
        EXPECT_EQ(commands[first + 2], Bytes{0x05}) << "then the status poll";
    }
}

TEST_F(FlashTest, SstChipEraseClearsTheStatusFirst)
{
    attachPattern();
    ASSERT_TRUE(XU_SerialFlashErase(SFT_SST));
    const auto commands = spiCommands();
    EXPECT_EQ(commands[0], Bytes{0x50});
    EXPECT_EQ(commands[1], (Bytes{0x01, 0x00}));
    EXPECT_EQ(registerWrites(0x1080).front().value, 1);
    EXPECT_EQ(registerWrites(0x1080).back().value, 0);
}

TEST_F(FlashTest, UnknownFamilyErasesNothing)
{
    attachPattern();
    EXPECT_FALSE(XU_EraseSectorForSerialFlash(0, SFT_UNKNOW));
    EXPECT_FALSE(XU_EraseBlockForSerialFlash(0, SFT_UNKNOW));
    EXPECT_TRUE(chip().log().empty());
    EXPECT_TRUE(XU_SerialFlashErase(SFT_UNKNOW));
    EXPECT_EQ(spiCommands()[1], Bytes{0x60});
    EXPECT_EQ(chip().flash().contents()[0], 0xFF) << "0x60 is this part's chip erase";
    EXPECT_EQ(chip().flash().contents()[0x3FFFF], 0xFF);
}

TEST_F(FlashTest, SectorEraseErasesItsSector)
{
    attachPattern();
    ASSERT_TRUE(XU_EraseSectorForSerialFlash(0x3456, SFT_GIGA));
    const auto &memory = chip().flash().contents();
    EXPECT_EQ(memory[0x2FFF], pattern(0x2FFF));
    EXPECT_EQ(memory[0x3000], 0xFF);
    EXPECT_EQ(memory[0x3FFF], 0xFF);
    EXPECT_EQ(memory[0x4000], pattern(0x4000));
}

// Known parts by their JEDEC id; others by where their addresses wrap,
// with an erased one counting as the smallest size.
TEST_F(FlashTest, FlashSizeByIdOrByAddressWrap)
{
    struct Case {
        const char *part;
        size_t filled; // bytes of data from address 0
        LONG size;
        BOOL byId;
    };
    for (const Case &c :
         {Case{"MX25L512", 0, 0x10000, 1}, Case{"GD25Q20", 0, 0x40000, 1},
          Case{"EN25F10", 0x10000, 0x20000, 0}, Case{"EN25F10", 0x100, 0x20000, 0},
          Case{"EN25F10", 0, 0x10000, 0}, Case{"SST25VF512", 0x10000, 0x10000, 0}}) {
        SCOPED_TRACE(std::string(c.part) + " with " + std::to_string(c.filled) + " bytes");
        ChipConfig config;
        config.flashPart = c.part;
        config.flashContents = makeFirmwareImage(FirmwareSpec{});
        config.flashContents.resize(c.filled);
        attach(config);
        open();
        LONG size = 0;
        BOOL byId = 2;
        ASSERT_TRUE(XU_GetSerialFlashSize(&size, &byId));
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(byId, c.byId);
    }
    BYTE id[3] = {};
    ASSERT_TRUE(XU_ReadSerialFlashID(id));
    EXPECT_EQ(Bytes(id, id + 3), (Bytes{0xBF, 0x48, 0xBF}));
}

TEST_F(FlashTest, WaitReadyGivesUpAfterFiftyPolls)
{
    ChipConfig config;
    config.engineBusyPolls = -1;
    attach(config);
    open();
    ASSERT_TRUE(XU_WriteToASIC(0x1081, 1)); // a byte cycle; the ready flag drops
    chip().clearLog();
    const long long before = hw().sleptMicroseconds();
    EXPECT_FALSE(XU_SFWaitReady());
    EXPECT_EQ(transfers(1).size(), 100u) << "50 register reads";
    EXPECT_EQ(hw().sleptMicroseconds() - before, 50 * 1000);

    config.engineBusyPolls = 3;
    attach(config);
    open();
    ASSERT_TRUE(XU_WriteToASIC(0x1081, 1));
    chip().clearLog();
    EXPECT_TRUE(XU_SFWaitReady());
    EXPECT_EQ(transfers(1).size(), 8u) << "ready on the fourth read";
}

TEST_F(FlashTest, StatusPollWaitsForTheErase)
{
    ChipConfig config;
    config.flashTiming.busyPolls = 5;
    config.flashTiming.busyMicros = 1000000000;
    attach(config);
    open();
    ASSERT_TRUE(XU_SerialFlashErase(SFT_MXIC));
    EXPECT_FALSE(chip().flash().busy());
    int statusCommands = 0;
    for (const auto &c : spiCommands())
        statusCommands += c == Bytes{0x05};
    EXPECT_EQ(statusCommands, 6) << "five busy answers, then ready";
}

// ---- write protection --------------------------------------------------------------

class WriteProtectTest : public ChipTest
{
  protected:
    // A chip of the given ROM row and id whose flash holds the setting at
    // the chip's setting address, protected, WP# on the setting's pin.
    ChipConfig protectedChip(int row, uint8_t chipId, uint8_t setting, uint32_t settingAddr)
    {
        ChipConfig c = romChip(row, chipId);
        c.flashContents.assign(0x10000, 0x00);
        c.flashContents[settingAddr] = setting;
        c.flashStatus = flash_status::kWriteDisable | flash_status::kBlockProtect;
        c.writeProtectGpio = (setting >> 4) & 7;
        return c;
    }
    bool unprotected() { return chip().flash().status() == 0; }

    // Opens the chip and asks it to lift its flash's write protection, the
    // flash taken to be of the given kind; whether the chip says it did.
    bool liftProtection(const ChipConfig &c, SERIAL_FLASH_TYPE flashKind = SFT_MXIC)
    {
        attach(c);
        open();
        return XU_DisableSerialFlashWriteProtect(flashKind);
    }
};

TEST_F(WriteProtectTest, OlderSettingDrivesThePinHigh)
{
    ASSERT_TRUE(liftProtection(protectedChip(ROM276V1, 0x76, 0x12, 0xC034)));
    EXPECT_TRUE(chip().peek(0x1007) & 0x02);
    EXPECT_TRUE(chip().pinLevel(1));
    EXPECT_TRUE(unprotected());
    // The status clear: write enable, poll, then the status write.
    const auto commands = spiCommands();
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands[0], Bytes{0x06});
    EXPECT_EQ(commands[1], Bytes{0x05});
    EXPECT_EQ(commands[2], (Bytes{0x01, 0x00}));
}

TEST_F(WriteProtectTest, SettingOneDrivesThePinLow)
{
    ChipConfig c = protectedChip(ROM276V1, 0x76, 0x11, 0xC034);
    ASSERT_TRUE(liftProtection(c));
    EXPECT_FALSE(chip().pinLevel(1));
    EXPECT_FALSE(unprotected()) << "WP# held low keeps the status locked";

    c.writeProtectInverted = true; // a board with an inverter on WP#
    ASSERT_TRUE(liftProtection(c));
    EXPECT_TRUE(unprotected());
}

TEST_F(WriteProtectTest, NewerSettingKeepsItsByte)
{
    // 0x29: bits 2-3 are 10, so the newer kind; bits 0-1 are 01: the byte
    // stays 0x29 and pin 2 goes high.
    ASSERT_TRUE(liftProtection(protectedChip(ROM276V1, 0x76, 0x29, 0xC034)));
    EXPECT_TRUE(chip().pinLevel(2));
    EXPECT_TRUE(chip().peek(0x1007) & 0x04);
    EXPECT_TRUE(unprotected());
    // Newer kind: the firmware gets the command row's opcodes (row 0 unless
    // a client chose one).
    EXPECT_EQ(chip().peek(0x05F3), cbSFLib_Cmd[0][1]);
    EXPECT_EQ(chip().peek(0x05F5), cbSFLib_Cmd[0][2]);
}

TEST_F(WriteProtectTest, NewerSettingsTwoAndThree)
{
    // Bits 0-1 of the setting: 2 drives the pin low, 3 drives it high.
    ASSERT_TRUE(liftProtection(protectedChip(ROM276V1, 0x76, 0x2A, 0xC034)));
    EXPECT_FALSE(chip().pinLevel(2));
    ASSERT_TRUE(liftProtection(protectedChip(ROM276V1, 0x76, 0x2B, 0xC034)));
    EXPECT_TRUE(chip().pinLevel(2));
}

TEST_F(WriteProtectTest, FirmwareCommandRegisters)
{
    ASSERT_TRUE(liftProtection(protectedChip(ROM276V1, 0x76, 0x12, 0xC034), SFT_SST));
    EXPECT_EQ(chip().peek(0x05F3), 0x06);
    EXPECT_EQ(chip().peek(0x05F5), 0xAF);
    for (auto [addr, key] : {std::pair<uint16_t, uint8_t>{0x05F8, 0x12},
                             {0x05F9, 0x12},
                             {0x05FA, 0xED},
                             {0x05FB, 0xED}})
        EXPECT_EQ(chip().peek(addr), key);
    ASSERT_TRUE(XU_DisableSerialFlashWriteProtect(SFT_MXIC));
    EXPECT_EQ(chip().peek(0x05F5), 0x02);

    ubSFLib_CmdID = 4;
    ASSERT_TRUE(liftProtection(protectedChip(ROM276V1, 0x76, 0x28, 0xC034), SFT_SST));
    EXPECT_EQ(chip().peek(0x05F5), 0xAF) << "row 4's program command";
}

TEST_F(WriteProtectTest, RomWithoutFirmwareCommandsLeavesThemAlone)
{
    ASSERT_TRUE(liftProtection(protectedChip(ROM225, 0x76, 0x12, 0xC034)));
    EXPECT_TRUE(registerWrites(0x05F3).empty());
    EXPECT_TRUE(unprotected());
}

TEST_F(WriteProtectTest, SettingAddressByChip)
{
    struct Row {
        uint8_t chipId;
        uint32_t addr;
    };
    for (const Row &r : {Row{0x16, 0x5834}, Row{0x32, 0xC034}, Row{0x33, 0x000F}, Row{0x75, 0xB034},
                         Row{0x90, 0x8034}}) {
        ASSERT_TRUE(liftProtection(protectedChip(ROM225, r.chipId, 0x12, r.addr)));
        EXPECT_TRUE(unprotected()) << std::hex << int(r.chipId);
        bool readSetting = false;
        for (const Transfer &t : transfers(3))
            readSetting |= t.query == UVC_SET_CUR && uint32_t(t.sent[0] | t.sent[1] << 8) == r.addr;
        EXPECT_TRUE(readSetting) << std::hex << int(r.chipId);
    }
}

TEST_F(WriteProtectTest, ChipsWithoutSettingTakeFF)
{
    // 0xFF: older kind, setting 3, pin 7 driven high.
    ChipConfig c = protectedChip(ROM225, 0x71, 0x00, 0x8034);
    c.writeProtectGpio = 7;
    ASSERT_TRUE(liftProtection(c));
    EXPECT_TRUE(transfers(3).empty()) << "no setting read from flash";
    EXPECT_TRUE(chip().pinLevel(7));
    EXPECT_TRUE(unprotected());
}

TEST_F(WriteProtectTest, SixtyFourKRomPreparesFivePins)
{
    ChipConfig c = protectedChip(ROM225, 0x90, 0x00, 0x8034);
    c.writeProtectGpio = -1;
    attach(c);
    open();
    chip().poke(0x1006, 0x40);
    ASSERT_TRUE(XU_DisableSerialFlashWriteProtect(SFT_MXIC));
    EXPECT_EQ(registerWrites(0x1006).front().value, 0x5F) << "bits 0-4 added";
    EXPECT_EQ(registerWrites(0x1007).front().value, 0x1F);

    ASSERT_TRUE(liftProtection(protectedChip(ROM225, 0x76, 0x00, 0xC034)));
    EXPECT_EQ(registerWrites(0x1006).front().value, 0xFF);
    EXPECT_EQ(registerWrites(0x1007).front().value, 0xFF);
}

TEST_F(WriteProtectTest, RomsThirtyToThirtyThree)
{
    // ROM 292 (32) drives the pin with plain writes and sets the extra bits.
    ChipConfig c = protectedChip(ROM292, 0x76, 0x19, 0xC034); // older: setting 1, pin 1
    c.writeProtectInverted = true;
    ASSERT_TRUE(liftProtection(c));
    EXPECT_EQ(registerWrites(0x1007).at(1).value, 0x02);
    EXPECT_EQ(registerWrites(0x1006).at(1).value, 0xFD);
    EXPECT_TRUE(chip().peek(0x17C1) & 1);
    EXPECT_TRUE(chip().peek(0x17C2) & 1);
    EXPECT_TRUE(unprotected());

    // ROMs 30, 31 and 33 set bit 2 once more after the status clear.
    // Setting 0x04 is of the older kind and drives no pin.
    for (auto [row, writes] :
         {std::pair<int, size_t>{ROM276V1, 1}, {ROM275V2, 2}, {ROM283, 2}, {ROM287, 2}}) {
        ASSERT_TRUE(liftProtection(protectedChip(row, 0x76, 0x04, 0xC034))) << row;
        EXPECT_EQ(registerWrites(0x1006).size(), writes) << row;
        EXPECT_EQ(registerWrites(0x1007).size(), writes) << row;
        EXPECT_TRUE(unprotected());
    }
    // 0x28 would be of the newer kind; on ROMs 30 to 33 it is setting 0.
    ASSERT_TRUE(liftProtection(protectedChip(ROM283, 0x76, 0x28, 0xC034)));
    EXPECT_EQ(chip().peek(0x05F3), 0x06);
    EXPECT_EQ(registerWrites(0x1006).size(), 2u) << "setting 0 drives no pin";
}

TEST_F(WriteProtectTest, CompactRomWithMemoryTypeTwoStopsBeforeTheStatus)
{
    ChipConfig c = protectedChip(ROM283, 0x76, 0x12, 0xC034);
    c.memoryType = 2;
    ASSERT_TRUE(liftProtection(c));
    EXPECT_TRUE(spiCommands().empty());
    EXPECT_FALSE(unprotected());
    EXPECT_EQ(transfers(5).size(), 1u);
}

TEST_F(WriteProtectTest, FailuresAndUnknowns)
{
    EXPECT_FALSE(liftProtection(protectedChip(ROM276V1, 0x76, 0x12, 0xC034), SFT_UNKNOW));
    EXPECT_TRUE(chip().log().empty());

    ChipConfig unknownRom = protectedChip(ROM276V1, 0x76, 0x12, 0xC034);
    unknownRom.romString[0] = '9';
    EXPECT_FALSE(liftProtection(unknownRom));

    ChipConfig stuck = protectedChip(ROM276V1, 0x76, 0x12, 0xC034);
    stuck.engineBusyPolls = -1;
    EXPECT_FALSE(liftProtection(stuck)) << "the engine never gets ready";
}

TEST_F(WriteProtectTest, FailedSettingReadCountsAsFF)
{
    ChipConfig c = protectedChip(ROM225, 0x76, 0x11, 0xC034);
    c.writeProtectGpio = 7;
    attach(c);
    open();
    chip().failOnSelector(3, 1); // the setting read is the only window query
    testing::internal::CaptureStdout();
    ASSERT_TRUE(XU_DisableSerialFlashWriteProtect(SFT_MXIC));
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(chip().pinLevel(7)) << "0xFF: pin 7 high";
    EXPECT_TRUE(unprotected());
}

} // namespace
