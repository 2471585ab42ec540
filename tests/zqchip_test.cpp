// zqchip as a service technician runs it: a separate process on the
// virtual chip, its flash kept in a file between runs.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace
{

struct ToolRun {
    int status;
    std::string out;
};

class ZqchipTest : public testing::Test
{
  protected:
    void SetUp() override
    {
        // Per process too: the release and sanitizer builds, or two checkouts,
        // may run the same test at the same time.
        dir_ = testing::TempDir() + "zqchip_" + std::to_string(getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
        flash_ = dir_ + "flash.bin";
        std::remove(flash_.c_str());
    }
    void TearDown() override
    {
        for (const char *f : {"flash.bin", "fw.bin", "backup.bin", "backup2.bin", "bad.bin",
                              "dump.bin", "image.bin"})
            std::remove((dir_ + f).c_str());
    }

    // Runs zqchip with the arguments; stdout and stderr together.
    ToolRun zqchip(const std::string &args, const std::string &preset = "chip",
                   const std::string &workDir = ".")
    {
        const std::string command = "cd " + workDir + " && ZQ_VIRTUAL_HARDWARE=" + preset +
                                    " ZQ_VIRTUAL_FLASH=" + flash_ + " " ZQCHIP_PATH " " + args +
                                    " 2>&1";
        ToolRun run{-1, {}};
        FILE *pipe = popen(command.c_str(), "r");
        if (!pipe)
            return run;
        std::array<char, 4096> buffer;
        size_t n;
        while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
            run.out.append(buffer.data(), n);
        const int status = pclose(pipe);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    std::vector<char> file(const std::string &name)
    {
        std::ifstream in(dir_ + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string path(const std::string &name) { return dir_ + name; }
    void put(const std::string &name, const std::vector<char> &bytes)
    {
        std::ofstream(dir_ + name, std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
    }
    // Burns the image and expects a refusal that left the flash as it was.
    void expectRefused(const std::string &image, const std::string &why,
                       const std::string &options = "")
    {
        const std::vector<char> before = file("flash.bin");
        const ToolRun r = zqchip("burn " + image + " --family mxic --yes " + options +
                                 " --backup " + path("backup.bin"));
        EXPECT_EQ(r.status, 5) << r.out;
        EXPECT_NE(r.out.find(why), std::string::npos) << r.out;
        EXPECT_EQ(file("flash.bin"), before) << "nothing was written";
        EXPECT_TRUE(file("backup.bin").empty()) << "refused before the backup";
    }

    std::string dir_, flash_;
};

TEST_F(ZqchipTest, InfoShowsWhatIsAttached)
{
    const ToolRun r = zqchip("info");
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char *line :
         {"chip id:          0x76", "ROM type:         128K", "ROM version:      276R0",
          "firmware version: 1234-20240517-5-V010520_30_45-ZQCAM276", "USB id:           0ac8:3370",
          "product:          Document Camera", "manufacturer:     ZQ Imaging",
          "serial number:    SN0001", "interface:        Video"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

TEST_F(ZqchipTest, DistinctExitCodes)
{
    ToolRun r = zqchip("--device 3 info");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("no camera with a known controller chip at /dev/video3"),
              std::string::npos);
    r = zqchip("info", "chip-unknown-rom");
    EXPECT_EQ(r.status, 4);
    EXPECT_NE(r.out.find("ROM version is not one this tool knows"), std::string::npos);
    EXPECT_EQ(zqchip("frobnicate").status, 2);
    EXPECT_EQ(zqchip("info --family nosuch").status, 2);
    r = zqchip("write-reg 0x101F 0x12");
    EXPECT_EQ(r.status, 7) << "the chip id register cannot be written";
    EXPECT_NE(r.out.find("read back differently"), std::string::npos);
}

TEST_F(ZqchipTest, BadFirmwareFiles)
{
    EXPECT_EQ(zqchip("burn " + path("missing.bin") + " --family mxic --yes").status, 5);
    {
        std::ofstream bad(path("bad.bin"), std::ios::binary);
        bad << std::string(100, 'x');
    }
    const ToolRun r = zqchip("burn " + path("bad.bin") + " --family mxic --yes");
    EXPECT_EQ(r.status, 5);
    EXPECT_NE(r.out.find("not a firmware image"), std::string::npos);
}

TEST_F(ZqchipTest, ErasingNeedsFamilyAndConfirmation)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin")).status, 0);
    ToolRun r = zqchip("burn " + path("fw.bin") + " --family mxic");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("confirm with --yes"), std::string::npos);
    EXPECT_EQ(zqchip("burn " + path("fw.bin") + " --yes").status, 2);
    EXPECT_EQ(zqchip("set --product X --family mxic").status, 2);
    EXPECT_TRUE(file("backup.bin").empty()) << "nothing was read for erasing";
}

TEST_F(ZqchipTest, SetThenBurnBackWithBackups)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin")).status, 0);
    const std::vector<char> original = file("fw.bin");
    ASSERT_EQ(original.size(), 0x10000u);

    ToolRun r =
        zqchip("set --ids 0ac8:3590 --product \"Desk Scanner\" --family mxic --yes --backup " +
               path("backup.bin"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("writing 100%"), std::string::npos) << "plain progress lines";
    EXPECT_EQ(file("backup.bin"), original);
    r = zqchip("info");
    EXPECT_NE(r.out.find("product:          Desk Scanner"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("USB id:           0ac8:3590"), std::string::npos) << r.out;

    // An existing backup may be the only good copy: it is kept, nothing erased.
    r = zqchip("burn " + path("fw.bin") + " --family mxic --full --yes --backup " +
               path("backup.bin"));
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("already exists"), std::string::npos) << r.out;
    EXPECT_EQ(file("backup.bin"), original);
    EXPECT_NE(zqchip("info").out.find("product:          Desk Scanner"), std::string::npos);

    r = zqchip("burn " + path("fw.bin") + " --family mxic --full --yes --backup " +
               path("backup2.bin"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("burning 100%"), std::string::npos);
    EXPECT_NE(file("backup2.bin"), original) << "the backup holds the changed flash";
    ASSERT_EQ(zqchip("dump " + path("dump.bin")).status, 0);
    EXPECT_EQ(file("dump.bin"), original);
    EXPECT_NE(zqchip("info").out.find("product:          Document Camera"), std::string::npos);
}

// A flash that stays locked refuses the erase: nothing changed, and the tool
// says so instead of asking for the backup to be written back.
TEST_F(ZqchipTest, LockedFlashIsAWriteFailureThatChangesNothing)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin"), "chip-locked").status, 0);
    for (const std::string &command : {"burn " + path("fw.bin"), std::string("set --product X")}) {
        SCOPED_TRACE(command);
        std::remove(path("backup.bin").c_str());
        const ToolRun r =
            zqchip(command + " --family mxic --yes --backup " + path("backup.bin"), "chip-locked");
        EXPECT_EQ(r.status, 6) << r.out;
        EXPECT_NE(r.out.find("nothing was changed: the flash reads as before (as " +
                             path("backup.bin") + " holds it)"),
                  std::string::npos)
            << r.out;
        EXPECT_EQ(r.out.find("write it back"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("--force"), std::string::npos) << r.out;
        EXPECT_EQ(file("flash.bin"), file("fw.bin"));
        EXPECT_EQ(file("backup.bin"), file("fw.bin"));
    }
}

// A flash that erases but takes no data: the write failed after the erase.
TEST_F(ZqchipTest, WriteFailedAfterTheEraseGivesTheCommandThatWritesTheBackupBack)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin")).status, 0);
    ToolRun r = zqchip("set --product X --family mxic --yes --backup " + path("backup2.bin"),
                       "chip-writes-lost");
    EXPECT_EQ(r.status, 6) << r.out;
    EXPECT_NE(r.out.find("rewriting the parameter table failed; the earlier flash is in"),
              std::string::npos)
        << r.out;
    EXPECT_NE(file("flash.bin"), file("fw.bin")) << "the table's sector was erased";
    put("flash.bin", file("fw.bin"));
    r = zqchip("burn " + path("fw.bin") + " --family mxic --yes --backup " + path("backup.bin"),
               "chip-writes-lost");
    EXPECT_EQ(r.status, 6) << r.out;
    EXPECT_NE(r.out.find("the earlier flash is in"), std::string::npos);
    EXPECT_EQ(file("backup.bin"), file("fw.bin"));

    // The command it gives puts the backup back, here once the lock is gone.
    const std::string hint = "to write it back: zqchip ";
    const size_t at = r.out.find(hint);
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string restore =
        r.out.substr(at + hint.size(), r.out.find('\n', at) - at - hint.size());
    EXPECT_EQ(restore, "--device 0 burn " + path("backup.bin") + " --family mxic --full --yes");
    std::remove(path("backup2.bin").c_str());
    const ToolRun back = zqchip(restore + " --backup " + path("backup2.bin"));
    EXPECT_EQ(back.status, 0) << back.out;
    EXPECT_EQ(file("flash.bin"), file("backup.bin"));
}

std::vector<char> withByte(std::vector<char> image, size_t at, char value)
{
    image[at] = value;
    return image;
}

// Images that are no firmware, or not for this chip and flash (a 64 KiB
// MXIC flash and a ROM that keeps the parameter table at 0xC000).
TEST_F(ZqchipTest, BadImagesAreRefusedBeforeAnythingChanges)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin")).status, 0);
    const std::vector<char> good = file("fw.bin");
    std::vector<char> noise(good.size());
    uint32_t x = 3;
    for (char &c : noise)
        c = char((x = x * 1103515245 + 12345) >> 24);
    std::vector<char> twice = good;
    twice.insert(twice.end(), good.begin(), good.end());
    std::vector<char> byteLonger = good;
    byteLonger.push_back(0);
    const std::pair<std::vector<char>, const char *> images[] = {
        {noise, "does not match its parameter table at 0xC000"},
        {std::vector<char>(good.size(), '\xff'), "checksum stored at 0xCF14 (0xFFFF)"},
        {std::vector<char>(good.size(), 0), "checksum stored at 0xCF14 (0x0000)"},
        {withByte(good, 0xCF14, char(good[0xCF14] ^ 0x40)), "does not match"},
        {withByte(good, 0xC045, char(good[0xC045] ^ 1)), "does not match"},
        {byteLonger, "65537 bytes do not fit the 65536-byte flash"},
        {twice, "131072 bytes do not fit the 65536-byte flash"},
        {std::vector<char>(good.begin(), good.begin() + 0xC100), "no parameter table"},
    };
    for (const auto &[image, why] : images) {
        SCOPED_TRACE(why);
        put("image.bin", image);
        expectRefused(path("image.bin"), why);
    }
    expectRefused(testing::TempDir(), "is a directory, not a firmware image");
    expectRefused("/dev/zero", "is not a regular file");
    std::vector<char> large(0x40001);
    put("image.bin", large);
    expectRefused(path("image.bin"), "larger than the largest flash (262144 bytes)", "--force");
}

TEST_F(ZqchipTest, ForceBurnsAFullImageWhoseTableIsBadButNothingLarger)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin")).status, 0);
    const std::vector<char> good = file("fw.bin");
    std::vector<char> byteLonger = good;
    byteLonger.push_back(0);
    put("image.bin", byteLonger);
    expectRefused(path("image.bin"), "do not fit", "--force");
    put("image.bin", withByte(std::vector<char>(good.begin(), good.begin() + 0xD000), 0xC045, 'x'));
    expectRefused(path("image.bin"), "burnt only when it passes the checks", "--force");

    const std::vector<char> badTable = withByte(good, 0xC045, 'x');
    put("image.bin", badTable);
    const ToolRun r = zqchip("burn " + path("image.bin") +
                             " --family mxic --force --yes --backup " + path("backup.bin"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("burning all the same, as --force asks"), std::string::npos) << r.out;
    EXPECT_EQ(file("flash.bin"), badTable);
}

// An EON flash of 128 KiB, a part the SDK knows no size for: measured by
// where its addresses wrap.
TEST_F(ZqchipTest, ShorterImageLeavesTheRestOfALargerFlashErased)
{
    ToolRun r = zqchip("info", "chip-eon-flash");
    EXPECT_NE(r.out.find("flash:            id 1C 31 11, 128 KiB (an unknown part"),
              std::string::npos)
        << r.out;
    ASSERT_EQ(zqchip("export " + path("fw.bin"), "chip-eon-flash").status, 0);
    const std::vector<char> image = file("fw.bin");
    r = zqchip("burn " + path("fw.bin") + " --family eon --yes --backup " + path("backup.bin"),
               "chip-eon-flash");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("the image fills 65536 of the flash's 131072 bytes; the 65536 bytes "
                         "from 0x10000 on stay erased"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(file("backup.bin").size(), 0x20000u) << "the backup holds the whole flash";
    std::vector<char> expected = image;
    expected.resize(0x20000, '\xff');
    EXPECT_EQ(file("flash.bin"), expected);
}

TEST_F(ZqchipTest, UsbIdsAreFourHexDigitsEach)
{
    for (const char *ids :
         {"-1:-2", "ac8:3370", "0ac8:33700", "0x0a:3370", "0ac8-3370", "0ac8:337g"}) {
        const ToolRun r = zqchip(std::string("set --ids ") + ids +
                                 " --family mxic --yes --backup " + path("backup.bin"));
        EXPECT_EQ(r.status, 2) << ids;
        EXPECT_NE(r.out.find("--ids takes VVVV:PPPP, four hex digits each"), std::string::npos);
    }
    EXPECT_TRUE(file("backup.bin").empty());
}

TEST_F(ZqchipTest, ExportAndDumpKeepAnExistingFile)
{
    put("fw.bin", {'o', 'l', 'd'});
    for (const char *command : {"export ", "dump "}) {
        ToolRun r = zqchip(command + path("fw.bin"));
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find("already exists: name another file, or replace it with --force"),
                  std::string::npos);
        EXPECT_EQ(file("fw.bin"), (std::vector<char>{'o', 'l', 'd'}));
    }
    EXPECT_EQ(zqchip("export " + path("fw.bin") + " --force").status, 0);
    EXPECT_EQ(file("fw.bin").size(), 0x10000u);
}

TEST_F(ZqchipTest, BackupsAreNamedByTheTime)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin")).status, 0);
    const std::string work = dir_ + "work";
    ASSERT_EQ(system(("rm -rf " + work + " && mkdir " + work).c_str()), 0);
    const ToolRun r = zqchip("burn " + path("fw.bin") + " --family mxic --yes", "chip", work);
    ASSERT_EQ(r.status, 0) << r.out;
    const std::regex written(
        "backup of 65536 bytes written to (zqchip-backup-[0-9]{8}-[0-9]{6}\\.bin)");
    std::smatch name;
    ASSERT_TRUE(std::regex_search(r.out, name, written)) << r.out;
    std::ifstream backup(work + "/" + name[1].str(), std::ios::binary);
    EXPECT_TRUE(backup.good());
    EXPECT_EQ(system(("rm -rf " + work).c_str()), 0);
}

// A camera whose name, strings and version carry escape sequences: none of
// them reaches the terminal, each is shown escaped; valid UTF-8 stays.
TEST_F(ZqchipTest, DeviceTextIsEscaped)
{
    const ToolRun r = zqchip("info", "chip-hostile");
    EXPECT_EQ(r.status, 0) << r.out;
    for (char raw : {'\x1b', '\x07', '\x9b', '\x7f', '\x01'})
        EXPECT_EQ(r.out.find(raw), std::string::npos) << int(raw) << "\n" << r.out;
    for (const char *line :
         {"opened: Virtual \\x1b]0;owned\\x07Camera\\x1b[0m.\n",
          "product:          \\x1b]0;owned\\x07Doc Cam\n",
          "manufacturer:     \\x1b[2J\\x1b[31mZQ\n", "serial number:    SN\\x9b31m01\n",
          "string 3:         Cam\xc3\xa9ra\\xc2\\x9b2J\n",
          "interface:        Vid\\x7f\\x01eo\\\\x1b\n", "-ZQ\\x1b[5mCAM"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line << "\n" << r.out;
}

// A link that damages 0.1 % of the bytes read: every read of the flash is
// made twice, and a difference leaves no file and erases nothing.
TEST_F(ZqchipTest, FlashReadsThatDisagreeLeaveNoFileAndEraseNothing)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin")).status, 0);
    const std::vector<char> flash = file("flash.bin");
    put("image.bin", {'o', 'l', 'd'});
    for (const std::string &command :
         {"export " + path("dump.bin"), "dump " + path("dump.bin") + " --offset 0x100",
          "export " + path("image.bin") + " --force"}) {
        SCOPED_TRACE(command);
        const ToolRun r = zqchip(command, "chip-flaky-reads");
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.out.find("the flash read differently twice, first at 0x"), std::string::npos)
            << r.out;
        EXPECT_NE(r.out.find(" was not written"), std::string::npos) << r.out;
    }
    EXPECT_TRUE(file("dump.bin").empty());
    EXPECT_EQ(file("image.bin"), (std::vector<char>{'o', 'l', 'd'}));
    const ToolRun r =
        zqchip("burn " + path("fw.bin") + " --family mxic --yes --backup " + path("backup.bin"),
               "chip-flaky-reads");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("no backup was written, nothing was erased"), std::string::npos) << r.out;
    EXPECT_TRUE(file("backup.bin").empty());
    EXPECT_EQ(file("flash.bin"), flash);
}

TEST_F(ZqchipTest, SensorRegisters)
{
    ToolRun r = zqchip("write-sensor 0x6C 0x3012 0xAB 0xCD");
    EXPECT_EQ(r.status, 0) << r.out;
    r = zqchip("read-sensor 0x6C 0x10000 1");
    EXPECT_EQ(r.status, 2) << "addresses have two bytes";
}

} // namespace
