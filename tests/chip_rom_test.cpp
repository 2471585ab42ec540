// Chip classification, ROM identification with its probes, the
// parameter-table layouts and the USB string settings.
#include "chip_fixture.h"
#include "firmware_image.h"

#include <cstring>
#include <functional>
#include <string>

namespace zq::sim
{
bool operator==(const ParameterTable &a, const ParameterTable &b)
{
    return a.start == b.start && a.end == b.end && a.crc == b.crc;
}
std::ostream &operator<<(std::ostream &os, const ParameterTable &t)
{
    return os << std::hex << t.start << "/" << t.end << "/" << t.crc;
}
} // namespace zq::sim

using namespace zq::sim;

namespace
{

using Bytes = std::vector<uint8_t>;

class ChipIdTest : public ChipTest
{
};

TEST_F(ChipIdTest, EveryIdOfTheTable)
{
    struct Row {
        uint8_t id;
        DSP_ROM_TYPE type;
        int arch;
    };
    std::vector<Row> rows;
    for (uint8_t id :
         {0x15, 0x16, 0x22, 0x23, 0x25, 0x32, 0x33, 0x56, 0x70, 0x71, 0x75, 0x87, 0x88, 0x90})
        rows.push_back({id, DRT_64K, 0});
    rows.insert(rows.end(), {{0x67, DRT_32K, 0},
                             {0x76, DRT_128K, 0},
                             {0x83, DRT_128K, 0},
                             {0x92, DRT_128K, 0},
                             {0x85, DRT_128K, 1},
                             {0x86, DRT_256K, 1}});
    for (const Row &r : rows) {
        ChipConfig c;
        c.chipId = r.id;
        c.architecture = r.arch;
        attachOpened(c);
        XU_SetAsicArchInfo(r.arch ? DAT_FIRST : DAT_SECOND);
        BYTE id = 0;
        DSP_ARCH_TYPE arch = DAT_UNKNOW;
        EXPECT_EQ(XU_GetChipRomType(&id, &arch), r.type) << std::hex << int(r.id);
        EXPECT_EQ(id, r.id);
        EXPECT_EQ(arch, r.arch);
        EXPECT_EQ(dspIdAddr, g_AsicArchInfo[r.arch].asicIdAddr) << "the map follows the chip";
    }
}

TEST_F(ChipIdTest, SecondArchitectureChip)
{
    ChipConfig c;
    c.chipId = 0x86;
    c.architecture = 1;
    attachOpened(c);
    BYTE id = 0;
    DSP_ARCH_TYPE arch = DAT_UNKNOW;
    EXPECT_EQ(XU_GetChipRomType(&id, &arch), DRT_256K);
    EXPECT_EQ(arch, DAT_SECOND);
    EXPECT_EQ(sfRdyAddr, 0x8E04);
}

TEST_F(ChipIdTest, UnknownIdChangesNothing)
{
    ChipConfig c;
    c.chipId = 0x89;
    attachOpened(c);
    BYTE id = 0x11;
    DSP_ARCH_TYPE arch = DAT_FIRST;
    XU_SetAsicArchInfo(DAT_SECOND);
    EXPECT_EQ(XU_GetChipRomType(&id, &arch), DRT_Unknow);
    EXPECT_EQ(id, 0x11);
    EXPECT_EQ(arch, DAT_FIRST);
    EXPECT_EQ(dspIdAddr, 0x80F0);
    // Both id registers were asked.
    std::vector<uint16_t> asked;
    for (const RegisterAccess &a : registerAccesses())
        asked.push_back(a.addr);
    EXPECT_EQ(asked, (std::vector<uint16_t>{0x101F, 0x80F0}));
}

TEST_F(ChipIdTest, ThreeTriesThenGiveUp)
{
    attachOpened();
    chip().failFrom(1);
    testing::internal::CaptureStdout();
    EXPECT_EQ(XU_GetChipRomType(nullptr, nullptr), DRT_Unknow);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(chip().log().size(), 3u) << "three failed reads of 0x101F, none of 0x80F0";

    attachOpened();
    chip().failQuery(1);
    chip().failQuery(4);
    testing::internal::CaptureStdout();
    BYTE id = 0;
    EXPECT_TRUE(XU_GetChipID(0x101F, &id)) << "the third read succeeds";
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(id, 0x76);
}

// ---- ROM version -------------------------------------------------------------

class RomVersionTest : public ChipTest
{
  protected:
    std::string versionText(const BYTE *v)
    {
        return std::string(reinterpret_cast<const char *>(v), 5);
    }
};

TEST_F(RomVersionTest, EveryRowIsFound)
{
    for (int row = 0; row < ROMCOUNT; ++row) {
        attachOpened(romChip(row));
        BYTE version[8] = {};
        uiRomID = 99;
        ASSERT_TRUE(XU_DefGetAsicRomVersion(version)) << row;
        // Row 21 shares row 20's string; the chip id decides later.
        EXPECT_EQ(int(uiRomID), row == ROM289V1 ? ROM288V1 : row);
        EXPECT_EQ(0, std::memcmp(version, RomInfo[row].RomString, 8)) << row;
    }
}

TEST_F(RomVersionTest, NewestVersionRule)
{
    ChipConfig c = romChip(ROM276V1);
    c.romString[5] = 3;
    attachOpened(c);
    BYTE version[8];
    ASSERT_TRUE(XU_DefGetAsicRomVersion(version));
    EXPECT_EQ(uiRomID, unsigned(ROM276V1));
    EXPECT_EQ(version[5], 3);

    c.romString[5] = 0;
    attachOpened(c);
    uiRomID = 7;
    EXPECT_FALSE(XU_DefGetAsicRomVersion(version));
    EXPECT_EQ(uiRomID, 7u) << "kept on failure";

    c = romChip(ROM250V1); // not a newest-version row
    c.romString[5] = 2;
    attachOpened(c);
    ASSERT_TRUE(XU_DefGetAsicRomVersion(version));
    EXPECT_EQ(uiRomID, unsigned(ROM250V2));
    c.romString[5] = 1;
    c.romString[4] = '7'; // the revision digit is not compared
    attachOpened(c);
    ASSERT_TRUE(XU_DefGetAsicRomVersion(version));
    EXPECT_EQ(uiRomID, unsigned(ROM250V1));
}

TEST_F(RomVersionTest, RomWindowBytesAndFailedAddresses)
{
    attachOpened(romChip(ROM292)); // at 0x9FF8, the first address
    BYTE version[8];
    ASSERT_TRUE(XU_DefGetAsicRomVersion(version));
    const auto rom = transfers(4);
    ASSERT_EQ(rom.size(), 2u);
    EXPECT_EQ(rom[0].sent, (Bytes{0xF8, 0x9F, 0x08, 0, 0, 0, 0, 0, 0, 0, 0}));

    attachOpened(romChip(ROM292));
    chip().failOnSelector(4, 2); // the reply at 0x9FF8
    EXPECT_FALSE(XU_DefGetAsicRomVersion(version)) << "the string was only there";
    EXPECT_EQ(transfers(4).size(), 12u) << "all six addresses tried";

    attachOpened(romChip(ROM272V1)); // at 0xAFF8, the last
    chip().failOnSelector(4, 1);
    ASSERT_TRUE(XU_DefGetAsicRomVersion(version));
    EXPECT_EQ(uiRomID, unsigned(ROM272V1));
}

TEST_F(RomVersionTest, Row15RevisionProbe)
{
    ChipConfig c = romChip(ROM276V1);
    attachOpened(c);
    BYTE version[8];
    ASSERT_TRUE(XU_GetAsicRomVersion(version));
    EXPECT_EQ(version[4], '0');
    c.revisionRegister = true;
    attachOpened(c);
    ASSERT_TRUE(XU_GetAsicRomVersion(version));
    EXPECT_EQ(version[4], '1');
    EXPECT_EQ(uiRomID, unsigned(ROM276V1));
}

TEST_F(RomVersionTest, Row20ChipIdAndPullUpProbe)
{
    ChipConfig c = romChip(ROM288V1, 0x89);
    attachOpened(c);
    BYTE version[8];
    ASSERT_TRUE(XU_GetAsicRomVersion(version));
    EXPECT_EQ(versionText(version), "289R0");
    EXPECT_EQ(uiRomID, unsigned(ROM289V1));

    c.chipId = 0x88;
    attachOpened(c);
    ASSERT_TRUE(XU_GetAsicRomVersion(version));
    EXPECT_EQ(versionText(version), "288R1") << "GPIO 5 floats high with its pull-up";
    EXPECT_FALSE(chip().peek(0x1007) & 0x20) << "GPIO 5 is an input";
    EXPECT_TRUE(chip().peek(0x1006) & 0x20);

    c.pinsTiedLow = 0x20;
    attachOpened(c);
    ASSERT_TRUE(XU_GetAsicRomVersion(version));
    EXPECT_EQ(versionText(version), "288R0");
    EXPECT_FALSE(chip().peek(0x1006) & 0x20) << "the pull-up is switched off again";
}

TEST_F(RomVersionTest, Row23SiblingAndPins)
{
    struct Case {
        std::optional<uint8_t> sibling;
        uint8_t tiedLow;
        const char *text;
        int row;
        bool bit3Latch, bit4Latch;
    };
    const Case cases[] = {
        {std::nullopt, 0x00, "271R1", ROM271V1, false, false},
        {std::nullopt, 0x08, "271R0", ROM271V1, true, true},
        {std::nullopt, 0x18, "271R0", ROM271V1, true, true},
        {0x70, 0x00, "270R1", ROM270V1, false, false},
        {0x70, 0x08, "270R0", ROM270V1, true, true},
        {0x70, 0x18, "270R2", ROM270V1, true, false},
    };
    for (const Case &k : cases) {
        ChipConfig c = romChip(ROM271V1, 0x70);
        c.chipId = 0x71;
        c.siblingId = k.sibling;
        c.pinsTiedLow = k.tiedLow;
        attachOpened(c);
        BYTE version[8];
        ASSERT_TRUE(XU_GetAsicRomVersion(version));
        EXPECT_EQ(versionText(version), k.text);
        EXPECT_EQ(int(uiRomID), k.row) << k.text;
        EXPECT_EQ(bool(chip().peek(0x1006) & 0x08), k.bit3Latch) << k.text;
        EXPECT_EQ(bool(chip().peek(0x1006) & 0x10), k.bit4Latch) << k.text;
        EXPECT_EQ(chip().peek(0x100A), 0x10) << "the id select is put back";
    }
}

TEST_F(RomVersionTest, Row25SiblingAndPin)
{
    ChipConfig c = romChip(ROM281V1, 0x83);
    c.siblingId = 0x80;
    attachOpened(c);
    BYTE version[8];
    ASSERT_TRUE(XU_GetAsicRomVersion(version));
    EXPECT_EQ(versionText(version), "280R1");
    EXPECT_EQ(uiRomID, unsigned(ROM280V1));
    EXPECT_FALSE(chip().peek(0x1006) & 0x08);

    c.siblingId.reset();
    c.pinsTiedLow = 0x08;
    attachOpened(c);
    ASSERT_TRUE(XU_GetAsicRomVersion(version));
    EXPECT_EQ(versionText(version), "281R0");
    EXPECT_EQ(uiRomID, unsigned(ROM281V1));
}

// ---- parameter-table layouts ----------------------------------------------------

class LayoutTest : public ChipTest
{
  protected:
    // A chip whose ROM reads as the given family, version and byte 6, with
    // a flash holding the image.
    void attachRom(const char *family, uint8_t version, uint8_t byte6, Bytes flash = {})
    {
        ChipConfig c;
        c.romString = {uint8_t(family[0]),
                       uint8_t(family[1]),
                       uint8_t(family[2]),
                       'R',
                       '0',
                       version,
                       byte6,
                       0};
        c.romStringAddr = addressOf(family, version);
        c.flashContents = std::move(flash);
        attachOpened(c);
    }
    // Where the ROM of a row that accepts the family and version keeps its string.
    static uint16_t addressOf(const char *family, uint8_t version)
    {
        for (const ROM_INFO &row : RomInfo)
            if (std::memcmp(row.RomString, family, 3) == 0 &&
                (version == row.RomString[5] || (row.IsNewestVer && version > row.RomString[5])))
                return row.RomStringAddr;
        ADD_FAILURE() << "no row for " << family;
        return 0;
    }

    ParameterTable fromFlash()
    {
        ULONG s = 1, e = 1, c = 1;
        EXPECT_TRUE(XU_GetParaTableAndCRCAddrFormSF(&s, &e, &c));
        return {uint32_t(s), uint32_t(e), uint32_t(c)};
    }
    ParameterTable fromImage(Bytes image)
    {
        ULONG s = 1, e = 1, c = 1;
        EXPECT_TRUE(XU_GetParaTableAndCRCAddrFormFW(image.data(), &s, &e, &c));
        return {uint32_t(s), uint32_t(e), uint32_t(c)};
    }
    static Bytes shortTable(uint8_t start, uint8_t pages, uint8_t crc)
    {
        Bytes image(0x10000, 0x00);
        image[0x168] = start;
        image[0x169] = pages;
        image[0x16E] = crc;
        return image;
    }
    static Bytes longTable(uint32_t start, uint32_t length, uint32_t crc)
    {
        Bytes image(0x10000, 0x00);
        for (int i = 0; i < 4; ++i) {
            image[0x16F + i] = uint8_t(start >> (24 - 8 * i));
            image[0x173 + i] = uint8_t(length >> (24 - 8 * i));
            image[0x187 + i] = uint8_t(crc >> (24 - 8 * i));
        }
        return image;
    }
};

// Families by layout, as the ROM version string names them.
TEST_F(LayoutTest, FixedLayout)
{
    const ParameterTable fixed{0xC000, 0xCF00, 0xCF00};
    for (auto [family, byte6] :
         {std::pair<const char *, uint8_t>{"232", 0}, {"275", '0'}, {"276", 0x40}, {"290", 0x60}}) {
        attachRom(family, 1, byte6);
        EXPECT_EQ(fromFlash(), fixed) << family;
        EXPECT_EQ(fromImage(Bytes(0x10000)), fixed) << family;
    }
}

TEST_F(LayoutTest, ShortSectorTable)
{
    const Bytes image = shortTable(0x90, 0x08, 0x98);
    const ParameterTable expected{0x9000, 0x9800, 0x9800};
    for (auto [family, version] : {std::pair<const char *, uint8_t>{"232", 2},
                                   {"290", 2},
                                   {"286", 1},
                                   {"288", 1},
                                   {"270", 1},
                                   {"271", 1},
                                   {"280", 1},
                                   {"281", 1}}) {
        attachRom(family, version, 0, image);
        EXPECT_EQ(fromFlash(), expected) << family;
        EXPECT_EQ(fromImage(image), expected) << family;
    }
    const auto window = transfers(3);
    ASSERT_FALSE(window.empty());
    EXPECT_EQ(window[0].sent[0] | window[0].sent[1] << 8, 0x160) << "read from 0x160";
}

TEST_F(LayoutTest, LongSectorTable)
{
    const Bytes image = longTable(0x9000, 0x1000, 0xA000);
    const ParameterTable expected{0x9000, 0xA000, 0xA000};
    for (auto [family, byte6] : {std::pair<const char *, uint8_t>{"272", 0},
                                 {"273", 0},
                                 {"275", 'F'},
                                 {"283", 'F'},
                                 {"287", 'F'},
                                 {"267", 'F'},
                                 {"292", 0x61}}) {
        attachRom(family, 1, byte6, image);
        EXPECT_EQ(fromFlash(), expected) << family;
        EXPECT_EQ(fromImage(image), expected) << family;
    }
}

TEST_F(LayoutTest, ImageOnlyExceptionsAndDefault)
{
    const Bytes image = longTable(0x9000, 0x1000, 0xA000);
    const ParameterTable fallback{0x8000, 0x8800, 0};
    attachRom("285", 1, 'F', image);
    EXPECT_EQ(fromFlash(), fallback);
    EXPECT_EQ(fromImage(image), (ParameterTable{0x9000, 0xA000, 0xA000}));
    attachRom("216", 2, 0, image);
    EXPECT_EQ(fromFlash(), fallback);
    EXPECT_EQ(fromImage(image), (ParameterTable{0x5800, 0x6700, 0x6700}));
    attachRom("230", 2, 0, image);
    EXPECT_EQ(fromFlash(), fallback);
    attachRom("275", 1, 'X', image);
    EXPECT_EQ(fromFlash(), fallback) << "275 needs byte 6 of 0 or F";
    attachRom("232", 3, 0, image);
    EXPECT_EQ(fromFlash(), fallback) << "the layout lists compare the exact version";
}

TEST_F(LayoutTest, LaterFamily231HasNoTable)
{
    attachRom("231", 2, 0);
    ULONG s = 0;
    EXPECT_FALSE(XU_GetParaTableAndCRCAddrFormSF(&s, &s, &s));
    attachRom("231", 1, 0);
    EXPECT_TRUE(XU_GetParaTableAndCRCAddrFormSF(&s, &s, &s));
}

TEST_F(LayoutTest, UntrustedTablesAreRefused)
{
    ULONG s = 0, e = 0, c = 0;
    // Beyond the 256 KiB the window reaches.
    attachRom("292", 1, 0, longTable(0x3FF00, 0x1000, 0x9000));
    EXPECT_FALSE(XU_GetParaTableAndCRCAddrFormSF(&s, &e, &c));
    attachRom("292", 1, 0, longTable(0x9000, 0xFFFFFFFF, 0x9000));
    EXPECT_FALSE(XU_GetParaTableAndCRCAddrFormSF(&s, &e, &c)) << "an end that wraps";
    attachRom("292", 1, 0, longTable(0x9000, 0x100, 0x3FFF0));
    EXPECT_FALSE(XU_GetParaTableAndCRCAddrFormSF(&s, &e, &c)) << "the CRC bytes lie outside";
    Bytes image = longTable(0x9000, 0x100, 0x80000000);
    EXPECT_FALSE(XU_GetParaTableAndCRCAddrFormFW(image.data(), &s, &e, &c));
    EXPECT_FALSE(XU_GetParaTableAndCRCAddrFormFW(nullptr, &s, &e, &c));

    attachRom("292", 1, 0, longTable(0x9000, 0x100, 0x9100));
    chip().failOnSelector(3, 2);
    EXPECT_FALSE(XU_GetParaTableAndCRCAddrFormSF(&s, &e, &c)) << "the table read failed";
}

// ---- string settings ------------------------------------------------------------

class StringSettingTest : public ChipTest
{
  protected:
    void attachWith(const std::function<void(Bytes &)> &edit)
    {
        FirmwareSpec spec;
        Bytes image = makeFirmwareImage(spec);
        edit(image);
        ChipConfig c;
        c.flashContents = image;
        attachOpened(c);
    }
};

TEST_F(StringSettingTest, DescriptorCharacters)
{
    attachWith([](Bytes &image) { putStringDescriptor(image, 0xC000 + 0x80, "ABCD"); });
    BYTE text[8] = {};
    ASSERT_TRUE(XU_GetStringSettingFormSF(text, 8, 0x80, 1));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(text), 4), "ABCD");
    EXPECT_EQ(text[4], 0) << "no terminator is written";
    EXPECT_TRUE(XU_GetStringSettingFormSF(text, 4, 0x80, 1));
    EXPECT_FALSE(XU_GetStringSettingFormSF(text, 3, 0x80, 1)) << "4 characters do not fit in 3";
    const auto window = transfers(3);
    EXPECT_EQ(window.size() % 16, 0u) << "64 bytes read in 8 pieces";
}

TEST_F(StringSettingTest, LengthByteIsNotTrusted)
{
    attachWith([](Bytes &image) {
        image[0xC000 + 0x40] = 0xFF; // claims 126 characters
        image[0xC000 + 0x80] = 1;    // below the descriptor header
    });
    BYTE text[200];
    EXPECT_FALSE(XU_GetStringSettingFormSF(text, 30, 0x40, 1));
    ASSERT_TRUE(XU_GetStringSettingFormSF(text, 31, 0x40, 1)) << "at most 31 characters";
    BYTE untouched[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    ASSERT_TRUE(XU_GetStringSettingFormSF(untouched, 0, 0x80, 1));
    EXPECT_EQ(untouched[0], 0xEE) << "an empty string";
    EXPECT_FALSE(XU_GetStringSettingFormSF(nullptr, 4, 0x80, 1));
}

TEST_F(StringSettingTest, PlainBytesAfterTheChecksum)
{
    attachWith([](Bytes &image) {
        std::fill_n(image.begin() + 0xCF00 + 0x10, 64, 0xFF);
        std::memcpy(&image[0xCF00 + 0x10], "plain", 5);
    });
    BYTE text[40] = {};
    ASSERT_TRUE(XU_GetStringSettingFormSF(text, 40, 0x10, 0));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(text)), "plain");
    attachWith([](Bytes &image) { std::fill_n(image.begin() + 0xCF00 + 0x10, 64, 'x'); });
    EXPECT_FALSE(XU_GetStringSettingFormSF(text, 31, 0x10, 0));
    EXPECT_TRUE(XU_GetStringSettingFormSF(text, 32, 0x10, 0)) << "at most 32 bytes";
}

} // namespace
