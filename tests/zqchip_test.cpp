// zqchip as a service technician runs it: a separate process on the
// virtual chip, its flash kept in a file between runs.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
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
        dir_ = testing::TempDir() + "zqchip_" +
               testing::UnitTest::GetInstance()->current_test_info()->name() + "_";
        flash_ = dir_ + "flash.bin";
        std::remove(flash_.c_str());
    }
    void TearDown() override
    {
        for (const char *f :
             {"flash.bin", "fw.bin", "backup.bin", "backup2.bin", "bad.bin", "dump.bin"})
            std::remove((dir_ + f).c_str());
    }

    // Runs zqchip with the arguments; stdout and stderr together.
    ToolRun zqchip(const std::string &args, const std::string &preset = "chip")
    {
        const std::string command = "ZQ_VIRTUAL_HARDWARE=" + preset +
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

TEST_F(ZqchipTest, LockedFlashIsAWriteFailure)
{
    ASSERT_EQ(zqchip("export " + path("fw.bin"), "chip-locked").status, 0);
    const ToolRun r =
        zqchip("burn " + path("fw.bin") + " --family mxic --yes --backup " + path("backup.bin"),
               "chip-locked");
    EXPECT_EQ(r.status, 6) << r.out;
    EXPECT_NE(r.out.find("the earlier flash is in"), std::string::npos);
    EXPECT_EQ(file("backup.bin"), file("fw.bin"));
}

TEST_F(ZqchipTest, SensorRegisters)
{
    ToolRun r = zqchip("write-sensor 0x6C 0x3012 0xAB 0xCD");
    EXPECT_EQ(r.status, 0) << r.out;
    r = zqchip("read-sensor 0x6C 0x10000 1");
    EXPECT_EQ(r.status, 2) << "addresses have two bytes";
}

} // namespace
