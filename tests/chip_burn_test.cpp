// Firmware burning, export and the parameter-table update on the virtual
// chip, including every way a transfer can fail half-way.
#include "chip_sdk_fixture.h"

#include <linux/usb/video.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

using namespace zq::sim;

namespace
{

using Bytes = std::vector<uint8_t>;

void recordProgress(void *context, float fraction)
{
    static_cast<std::vector<float> *>(context)->push_back(fraction);
}

// The table update of the image on the MXIC flash, as the parameter-table
// and fault tests run it.
BOOL updateParamTable(Bytes &image, const ChangeParamInfo &info, bool full,
                      const char *log = nullptr, std::vector<float> *progress = nullptr)
{
    return ChipCam_SetParamTableFromFWFile(image.data(), LONG(image.size()), info,
                                           progress ? recordProgress : nullptr, progress, SFT_MXIC,
                                           log, full);
}

TEST(ChecksumTest, ModbusCrcStoredHighByteFirst)
{
    BYTE buffer[32] = {'a', 'b', 'c'};
    ASSERT_TRUE(CheckCRC(buffer, 0, 3, 4));
    EXPECT_EQ(buffer[24], 0x57);
    EXPECT_EQ(buffer[25], 0x49);
    BYTE digits[40] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    ASSERT_TRUE(CheckCRC(digits, 0, 9, 10));
    EXPECT_EQ(digits[30] << 8 | digits[31], 0x4B37);
    EXPECT_FALSE(CheckCRC(nullptr, 0, 3, 0));
}

TEST(ChecksumTest, StringSlot)
{
    BYTE slot[70];
    std::memset(slot, 0, sizeof(slot));
    BYTE text[40] = {'A', 'B'};
    ASSERT_TRUE(SetParamToParamBuffer(slot, 2, text, 2));
    const Bytes head{0x06, 0x03, 0x41, 0x00, 0x42, 0x00};
    EXPECT_EQ(Bytes(slot + 2, slot + 8), head);
    for (int i = 8; i < 66; ++i)
        EXPECT_EQ(slot[i], 0xFF) << i;
    EXPECT_EQ(slot[66], 0) << "the slot ends after 64 bytes";
    EXPECT_TRUE(SetParamToParamBuffer(slot, 0, text, 31));
    EXPECT_FALSE(SetParamToParamBuffer(slot, 0, text, 32)) << "does not fit a slot";
    EXPECT_FALSE(SetParamToParamBuffer(slot, 0, nullptr, 2));
}

class BurnTest : public SdkTest
{
  protected:
    void SetUp() override
    {
        SdkTest::SetUp();
        next_ = makeFirmwareImage(firmware(2));
    }
    // Window reads after the last window write: the verification.
    long verifyReads()
    {
        long reads = 0;
        for (const Transfer &t : transfers(3)) {
            if (t.query == UVC_SET_CUR && !(t.sent[2] & 0x80))
                reads = 0;
            else if (t.query == UVC_GET_CUR)
                ++reads;
        }
        return reads;
    }
    BOOL burn(Bytes &image, bool full, std::vector<float> *progress = nullptr)
    {
        return ChipCam_BurnerFW(image.data(), LONG(image.size()),
                                progress ? recordProgress : nullptr, progress, SFT_MXIC, full);
    }
    // A burn of next_ onto a fresh chip that must succeed: the flash then
    // holds the image, and the progress rises to the end.
    void burnOnFreshChip(bool full, std::vector<float> &progress)
    {
        initOn(firmwareChip());
        ASSERT_TRUE(burn(next_, full, &progress));
        EXPECT_EQ(flash(), next_);
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_FLOAT_EQ(progress.back(), 1.0f);
    }
    Bytes next_;
};

TEST_F(BurnTest, QuickBurnReadsBackSixtyFourGroups)
{
    std::vector<float> progress;
    ASSERT_NO_FATAL_FAILURE(burnOnFreshChip(false, progress));
    EXPECT_EQ(verifyReads(), 64);
    EXPECT_EQ(progress.size(), 0x10000u / 512 + 1);
}

TEST_F(BurnTest, FullBurnReadsBackEveryGroup)
{
    std::vector<float> progress;
    ASSERT_NO_FATAL_FAILURE(burnOnFreshChip(true, progress));
    EXPECT_EQ(verifyReads(), 8192);
    EXPECT_NE(std::find(progress.begin(), progress.end(), 0.5f), progress.end());
}

TEST_F(BurnTest, LayoutBlockIsWrittenLast)
{
    initOn(firmwareChip());
    ASSERT_TRUE(burn(next_, false));
    std::vector<Transfer> writes;
    for (const Transfer &t : transfers(3))
        if (t.query == UVC_SET_CUR && !(t.sent[2] & 0x80))
            writes.push_back(t);
    ASSERT_EQ(writes.size(), 8192u + 1);
    const Transfer &group = writes[0x160 / 8];
    EXPECT_EQ(group.sent[0] | group.sent[1] << 8, 0x160);
    EXPECT_EQ(Bytes(group.sent.begin() + 3, group.sent.begin() + 7), Bytes(4, 0xFF));
    EXPECT_EQ(Bytes(group.sent.begin() + 7, group.sent.end()),
              Bytes(next_.begin() + 0x164, next_.begin() + 0x168));
    EXPECT_EQ(writes.back().sent[0] | writes.back().sent[1] << 8, 0x160);
    EXPECT_EQ(Bytes(writes.back().sent.begin() + 3, writes.back().sent.end()),
              Bytes(next_.begin() + 0x160, next_.begin() + 0x168));
}

TEST_F(BurnTest, RefusedBeforeAnythingIsErased)
{
    initOn(firmwareChip());
    const Bytes before = flash();
    EXPECT_FALSE(
        ChipCam_BurnerFW(next_.data(), LONG(next_.size()), nullptr, nullptr, SFT_UNKNOW, 0));
    EXPECT_FALSE(ChipCam_BurnerFW(next_.data(), 0x167, nullptr, nullptr, SFT_MXIC, 0));
    EXPECT_FALSE(ChipCam_BurnerFW(nullptr, 0x10000, nullptr, nullptr, SFT_MXIC, 0));
    Bytes huge(0x40001, 0);
    EXPECT_FALSE(ChipCam_BurnerFW(huge.data(), LONG(huge.size()), nullptr, nullptr, SFT_MXIC, 0));
    EXPECT_TRUE(chip().log().empty());
    EXPECT_EQ(flash(), before);
}

TEST_F(BurnTest, ProtectionThatStaysOnFailsTheEraseCheck)
{
    ChipConfig c = firmwareChip();
    FirmwareSpec spec = firmware();
    spec.writeProtect = 0x11; // drives GPIO 1 low, and nothing inverts it
    c.flashContents = makeFirmwareImage(spec);
    initOn(c);
    const Bytes before = flash();
    EXPECT_FALSE(burn(next_, false));
    EXPECT_EQ(flash(), before);
}

TEST_F(BurnTest, OddLengthImagesArePadded)
{
    initOn(firmwareChip());
    Bytes image(next_.begin(), next_.begin() + 0x8005);
    ASSERT_TRUE(burn(image, true));
    EXPECT_EQ(Bytes(flash().begin(), flash().begin() + 0x8005), image);
    EXPECT_EQ(flash()[0x8005], 0xFF) << "the last group is padded with 0xFF";
}

TEST_F(BurnTest, UnlockOfChip85)
{
    ChipConfig c = firmwareChip();
    c.chipId = 0x85;
    c.architecture = 1;
    initOn(c);
    chip().clearLog();
    burn(next_, false);
    bool unlocked = false;
    for (const RegisterAccess &a : registerAccesses())
        if (a.write) {
            unlocked = a.addr == 0x5FF && a.value == 0x5A;
            break;
        }
    EXPECT_TRUE(unlocked) << "0x5FF = 0x5A is the first register write";
}

TEST_F(BurnTest, CustomBurnPatchesIdsAndStrings)
{
    initOn(firmwareChip());
    char ids[4] = {0x34, 0x12, 0x78, 0x56};
    char product[] = "Scanner X";
    ChangeParamInfo info{};
    info.pVidPid = ids;
    info.pProduct = product;
    info.ProductLength = 9;
    ASSERT_TRUE(ChipCam_CustomBurnerFW(info, next_.data(), LONG(next_.size()), nullptr, nullptr,
                                       SFT_MXIC, 1));
    BYTE text[32] = {};
    ASSERT_TRUE(ChipCam_GetProduct(text, 32));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(text)), "Scanner X");
    BYTE read[4];
    ASSERT_TRUE(ChipCam_GetVidPid(read, 4));
    EXPECT_EQ(0, std::memcmp(read, ids, 4));
    Bytes expected = next_;
    std::memcpy(&expected[0xC006], ids, 4);
    putStringDescriptor(expected, 0xC040, "Scanner X");
    sealParameterTable(expected, {0xC000, 0xCF00, 0xCF00});
    EXPECT_EQ(flash(), expected);
    EXPECT_EQ(next_, makeFirmwareImage(firmware(2))) << "the caller's image is not changed";
}

TEST_F(BurnTest, CustomBurnRefusals)
{
    initOn(firmwareChip());
    const Bytes before = flash();
    char longText[40];
    std::memset(longText, 'x', sizeof(longText));
    ChangeParamInfo info{};
    info.pSerialNumber = longText;
    info.SerialNumberLength = 32;
    EXPECT_FALSE(ChipCam_CustomBurnerFW(info, next_.data(), LONG(next_.size()), nullptr, nullptr,
                                        SFT_MXIC, 0));
    info = {};
    Bytes shortImage(next_.begin(), next_.begin() + 0xC100); // table cut off
    EXPECT_FALSE(ChipCam_CustomBurnerFW(info, shortImage.data(), LONG(shortImage.size()), nullptr,
                                        nullptr, SFT_MXIC, 0));
    EXPECT_FALSE(ChipCam_CustomBurnerFW(info, next_.data(), LONG(next_.size()), nullptr, nullptr,
                                        SFT_UNKNOW, 0));
    EXPECT_TRUE(spiCommands().empty()) << "nothing erased";
    EXPECT_EQ(flash(), before);
}

TEST_F(BurnTest, WriteWithoutEraseNeedsAnErasedFlash)
{
    initOn(firmwareChip());
    EXPECT_FALSE(ChipCam_WriteFwToFlash(next_.data(), LONG(next_.size()), nullptr, nullptr, 1))
        << "programming cannot set bits back";
    ubSFLib_CmdID = 1;
    ASSERT_TRUE(ChipCam_EraseSerialFlash(SFT_MXIC));
    chip().elapse(10000000);
    chip().clearLog();
    ASSERT_TRUE(ChipCam_WriteFwToFlash(next_.data(), LONG(next_.size()), nullptr, nullptr, 0));
    EXPECT_EQ(flash(), next_);
    EXPECT_TRUE(spiCommands().empty()) << "no erase, no protection change";
}

TEST_F(BurnTest, ExportFillsOnlyTheBuffer)
{
    initOn(firmwareChip());
    Bytes out(0x10000);
    ASSERT_TRUE(ChipCam_ExportFW(out.data(), LONG(out.size()), nullptr, nullptr));
    EXPECT_EQ(out, flash());
    EXPECT_EQ(transfers(3).size(), 2u * 8192);
    Bytes small(13 + 16, 0xEE);
    ASSERT_TRUE(ChipCam_ExportFW(small.data(), 13, nullptr, nullptr));
    EXPECT_EQ(Bytes(small.begin(), small.begin() + 13),
              Bytes(flash().begin(), flash().begin() + 13));
    EXPECT_EQ(small[13], 0xEE) << "a length that is not a multiple of 8 stores what fits";
    chip().failOnSelector(3, 6);
    EXPECT_FALSE(ChipCam_ExportFW(out.data(), 64, nullptr, nullptr));
}

// ---- parameter-table update ---------------------------------------------------------

class ParamTableTest : public SdkTest
{
  protected:
    // One file per test process: CTest runs the tests side by side.
    std::string logPath()
    {
        return testing::TempDir() + "zq_param_log_" + std::to_string(getpid()) + ".txt";
    }
    std::string readLog()
    {
        std::ifstream in(logPath());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void TearDown() override
    {
        std::remove(logPath().c_str());
        SdkTest::TearDown();
    }
};

TEST_F(ParamTableTest, OneSectorWhenTheChecksumSharesIt)
{
    initOn(firmwareChip());
    Bytes image = makeFirmwareImage(firmware());
    char serial[] = "NEW-42";
    ChangeParamInfo info{};
    info.pSerialNumber = serial;
    info.SerialNumberLength = 6;
    std::vector<float> progress;
    ASSERT_TRUE(updateParamTable(image, info, true, logPath().c_str(), &progress));
    EXPECT_EQ(readLog(), "1.Set param table\n"
                         "2.Start CRC Check\n"
                         "3.Start disable flash write protect\n"
                         "4.Start erase flash\n"
                         "Erase flash success\n"
                         "6.Start burn param table data\n"
                         "Burn param table data success\n"
                         "7.Start check param table data\n"
                         "Check param table data success\n");
    BYTE text[32] = {};
    ASSERT_TRUE(ChipCam_GetSerialNumber(text, 32));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(text)), "NEW-42");
    int sectorErases = 0;
    for (const auto &c : spiCommands())
        sectorErases += !c.empty() && c[0] == 0x20;
    EXPECT_EQ(sectorErases, 1);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_FLOAT_EQ(progress.back(), 1.0f);
    Bytes expected = image;
    putStringDescriptor(expected, 0xC0C0, "NEW-42");
    sealParameterTable(expected, {0xC000, 0xCF00, 0xCF00});
    EXPECT_EQ(flash(), expected) << "only that sector changed";
}

TEST_F(ParamTableTest, TwoSectorsWhenTheChecksumLiesElsewhere)
{
    FirmwareSpec spec = firmware();
    spec.layout = FirmwareSpec::Layout::LongTable;
    spec.table = {0x9000, 0x9400, 0xA100};
    spec.writeProtectAddr = 0x8034;
    ChipConfig c = firmwareChip(spec);
    c.romStringAddr = RomInfo[ROM272V1].RomStringAddr;
    std::copy_n(RomInfo[ROM272V1].RomString, 8, c.romString.begin());
    initOn(c);
    Bytes image = makeFirmwareImage(spec);
    std::vector<float> progress;
    ASSERT_TRUE(updateParamTable(image, ChangeParamInfo{}, false, nullptr, &progress));
    int sectorErases = 0;
    for (const auto &cmd : spiCommands())
        sectorErases += !cmd.empty() && cmd[0] == 0x20;
    EXPECT_EQ(sectorErases, 2);
    EXPECT_EQ(flash(), image);
    EXPECT_FLOAT_EQ(progress.back(), 1.0f);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(ParamTableTest, NullEntriesStillRewriteTheChecksum)
{
    FirmwareSpec spec = firmware();
    Bytes image = makeFirmwareImage(spec);
    image[0xCF14] ^= 0xFF; // a stale checksum in the image
    ChipConfig c = firmwareChip();
    initOn(c);
    ASSERT_TRUE(updateParamTable(image, ChangeParamInfo{}, false));
    EXPECT_EQ(flash(), makeFirmwareImage(spec));
}

TEST_F(ParamTableTest, FailureLogLines)
{
    ChipConfig c = firmwareChip();
    FirmwareSpec spec = firmware();
    spec.writeProtect = 0x11;
    c.flashContents = makeFirmwareImage(spec);
    initOn(c);
    Bytes image = makeFirmwareImage(firmware());
    EXPECT_FALSE(updateParamTable(image, ChangeParamInfo{}, false, logPath().c_str()));
    EXPECT_EQ(readLog(), "1.Set param table\n2.Start CRC Check\n"
                         "3.Start disable flash write protect\n4.Start erase flash\n"
                         "Erase flash fail!\n");

    c.romString[0] = '9'; // unknown ROM: the protection cannot be lifted
    initOn(c);
    std::remove(logPath().c_str());
    EXPECT_FALSE(updateParamTable(image, ChangeParamInfo{}, false, logPath().c_str()));
    EXPECT_EQ(readLog(), "");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(updateParamTable(image, ChangeParamInfo{}, false, "/nonexistent/dir/log.txt"));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can't open the Log.txt file\n");
}

TEST_F(ParamTableTest, UntrustedImagesAreRefused)
{
    initOn(firmwareChip());
    const Bytes before = flash();
    Bytes image = makeFirmwareImage(firmware());
    Bytes cut(image.begin(), image.begin() + 0xC800); // the table's sector is cut off
    EXPECT_FALSE(updateParamTable(cut, ChangeParamInfo{}, false));
    char longText[33];
    std::memset(longText, 'y', sizeof(longText));
    ChangeParamInfo info{};
    info.pInterface = longText;
    info.InterfaceLength = 33;
    EXPECT_FALSE(updateParamTable(image, info, false));
    EXPECT_TRUE(spiCommands().empty());
    EXPECT_EQ(flash(), before);
}

// ---- faults on the wire ----------------------------------------------------------------

// The queries of one successful run, and where its writes begin and end.
struct RunShape {
    long queries = 0, firstWrite = 0, lastWrite = 0;
};

RunShape shapeOf(const std::vector<Transfer> &log)
{
    RunShape s;
    s.queries = long(log.size());
    for (long i = 0; i < s.queries; ++i)
        if (log[size_t(i)].selector == 3 && log[size_t(i)].query == UVC_SET_CUR &&
            !(log[size_t(i)].sent[2] & 0x80)) {
            if (!s.firstWrite)
                s.firstWrite = i + 1;
            s.lastWrite = i + 1;
        }
    return s;
}

// Indexes to fail: every one around the phases' edges, every 23rd between.
std::vector<long> faultIndexes(const RunShape &s)
{
    std::vector<long> indexes;
    for (long i = 1; i <= s.queries; ++i)
        if (i < s.firstWrite + 64 || i > s.lastWrite - 64 || i % 23 == 0)
            indexes.push_back(i);
    return indexes;
}

class BurnFaultTest : public BurnTest
{
  protected:
    // What `attempt` returns on a fresh chip that fails query i; what the
    // SDK prints about the failure is kept out of the test's output.
    template <typename Attempt> BOOL withFailedQuery(long i, Attempt attempt)
    {
        initOn(firmwareChip());
        chip().keepLog(false);
        chip().failQuery(int(i));
        testing::internal::CaptureStdout();
        const BOOL ok = attempt();
        testing::internal::GetCapturedStdout();
        return ok;
    }
};

TEST_F(BurnFaultTest, EveryFailedQueryFailsTheBurnOrLeavesTheImage)
{
    initOn(firmwareChip());
    ASSERT_TRUE(burn(next_, false));
    const RunShape shape = shapeOf(chip().log());
    const std::vector<long> indexes = faultIndexes(shape);
    ASSERT_GT(indexes.size(), 300u);
    for (long i : indexes) {
        const BOOL ok = withFailedQuery(i, [&] { return burn(next_, false); });
        if (ok) {
            ASSERT_EQ(flash(), next_) << "query " << i << " failed, success reported";
        } else if (i >= shape.firstWrite && i <= shape.lastWrite) {
            ASSERT_EQ(Bytes(flash().begin() + 0x160, flash().begin() + 0x164), Bytes(4, 0xFF))
                << "query " << i << ": the layout block looks valid";
        }
    }
}

TEST_F(BurnFaultTest, EveryFailedQueryOfTheTableUpdate)
{
    Bytes image = makeFirmwareImage(firmware());
    char product[] = "Changed";
    ChangeParamInfo info{};
    info.pProduct = product;
    info.ProductLength = 7;
    const auto update = [&] { return updateParamTable(image, info, true); };
    initOn(firmwareChip());
    ASSERT_TRUE(update());
    const Bytes expected = flash();
    const long queries = long(chip().log().size());
    for (long i = 1; i <= queries; ++i) {
        const BOOL ok = withFailedQuery(i, update);
        if (ok) {
            ASSERT_EQ(flash(), expected) << "query " << i << " failed, success reported";
        }
    }
}

} // namespace
