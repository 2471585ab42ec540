#include "chip_fixture.h"

#include <linux/usb/video.h>

#include <algorithm>

using namespace zq::sim;

void ChipTest::TearDown()
{
    if (camera_init)
        XU_CloseCamera();
    camera_init = 0;
    ubSFLib_CmdID = 0;
    g_curExtendUnitID = 3;
    XU_SetAsicArchInfo(DAT_FIRST);
    SimTest::TearDown();
}

VirtualChip &ChipTest::attach(ChipConfig config)
{
    if (camera_init)
        XU_CloseCamera();
    camera_init = 0;
    chip_ = &hw().addChip(0, std::move(config));
    return *chip_;
}

VirtualChip &ChipTest::attachOpened(ChipConfig config)
{
    attach();
    open();
    chip_ = &hw().addChip(0, std::move(config));
    XU_SetAsicArchInfo(DAT_FIRST);
    return *chip_;
}

void ChipTest::open()
{
    testing::internal::CaptureStdout();
    const BOOL opened = XU_OpenCamera("/dev/video0");
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(opened);
    camera_init = 1;
    chip_->clearLog();
}

std::vector<RegisterAccess> ChipTest::registerAccesses() const
{
    std::vector<RegisterAccess> accesses;
    for (const Transfer &t : chip_->log()) {
        if (t.selector != 1 || t.error || t.sent.size() != 4)
            continue;
        const uint16_t addr = uint16_t(t.sent[0] | t.sent[1] << 8);
        if (t.query == UVC_SET_CUR && t.sent[3] != 0xFF)
            accesses.push_back({true, addr, t.sent[2]});
        else if (t.query == UVC_GET_CUR)
            accesses.push_back(
                {false, uint16_t(t.received[0] | t.received[1] << 8), t.received[2]});
    }
    return accesses;
}

std::vector<RegisterAccess> ChipTest::registerWrites(uint16_t addr) const
{
    std::vector<RegisterAccess> writes;
    for (const RegisterAccess &a : registerAccesses())
        if (a.write && a.addr == addr)
            writes.push_back(a);
    return writes;
}

std::vector<std::vector<uint8_t>> ChipTest::spiCommands() const
{
    const ChipRegisterMap &map = ChipConfig::registerMap(chip_->config().architecture);
    std::vector<std::vector<uint8_t>> commands;
    bool selected = false;
    uint8_t data = 0;
    for (const RegisterAccess &a : registerAccesses()) {
        if (!a.write)
            continue;
        if (a.addr == map.sfSelect) {
            selected = a.value == 0;
            if (selected)
                commands.emplace_back();
        } else if (a.addr == map.sfWriteData) {
            data = a.value;
        } else if (a.addr == map.sfTrigger && a.value == 1 && selected) {
            commands.back().push_back(data);
        }
    }
    return commands;
}

std::vector<Transfer> ChipTest::transfers(uint8_t selector) const
{
    std::vector<Transfer> out;
    std::copy_if(chip_->log().begin(), chip_->log().end(), std::back_inserter(out),
                 [selector](const Transfer &t) { return t.selector == selector; });
    return out;
}

ChipConfig ChipTest::romChip(int row, uint8_t chipId)
{
    ChipConfig c;
    c.chipId = chipId;
    c.romStringAddr = RomInfo[row].RomStringAddr;
    std::copy_n(RomInfo[row].RomString, 8, c.romString.begin());
    return c;
}
