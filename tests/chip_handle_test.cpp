// The chip handle of zq_chip.h on the virtual chip: what it reads agrees
// with the chip and the SDK, what it writes reaches the flash, and every
// failure comes back as a result with its words on the handle it hit.
#include <zqscan/zq_chip.h>
#include "chip_sdk_fixture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace zq::sim;

namespace
{

using Bytes = std::vector<uint8_t>;
using Handle = std::unique_ptr<zq_chip, decltype(&zq_chip_free)>;

Handle newHandle()
{
    return Handle(zq_chip_new(), zq_chip_free);
}

std::string errorOf(const Handle &h)
{
    return zq_chip_last_error(h.get());
}

void recordProgress(int done, int total, void *user)
{
    static_cast<std::vector<std::pair<int, int>> *>(user)->emplace_back(done, total);
}

class ChipHandleTest : public SdkTest
{
  protected:
    Handle openOn(ChipConfig config)
    {
        attach(std::move(config));
        Handle h = newHandle();
        testing::internal::CaptureStdout(); // the SDK names the camera it opens
        EXPECT_EQ(zq_chip_open(h.get(), 0), ZQ_CHIP_OK) << errorOf(h);
        testing::internal::GetCapturedStdout();
        chip().clearLog();
        return h;
    }
    Bytes readAll(const Handle &h)
    {
        Bytes out(flash().size());
        EXPECT_EQ(zq_chip_read_flash(h.get(), 0, out.data(), long(out.size())), ZQ_CHIP_OK)
            << errorOf(h);
        return out;
    }
};

TEST_F(ChipHandleTest, OpenIdentifyClose)
{
    const FirmwareSpec spec = firmware();
    Handle h = openOn(firmwareChip(spec));
    zq_chip_identity id;
    ASSERT_EQ(zq_chip_identify(h.get(), &id), ZQ_CHIP_OK) << errorOf(h);
    EXPECT_EQ(id.chip_id, chip().config().chipId);
    EXPECT_FALSE(id.has_usb_ids || id.has_firmware_version);
    EXPECT_TRUE(transfers(3).empty()) << "the controller's part needs no flash";
    ASSERT_EQ(zq_chip_read_identity(h.get(), &id), ZQ_CHIP_OK) << errorOf(h);
    EXPECT_EQ(errorOf(h), "");
    EXPECT_EQ(id.chip_id, chip().config().chipId);
    EXPECT_EQ(Bytes(id.rom_version, id.rom_version + 5), Bytes({'2', '7', '6', 'R', '0'}));
    BYTE sdkVersion[CHIPCAM_FW_VERSION_SIZE + 1] = {};
    ASSERT_TRUE(ChipCam_GetFWVersion(sdkVersion, CHIPCAM_FW_VERSION_SIZE, 0));
    ASSERT_TRUE(id.has_firmware_version);
    EXPECT_STREQ(id.firmware_version, reinterpret_cast<char *>(sdkVersion));
    ASSERT_TRUE(id.has_usb_ids);
    EXPECT_EQ(Bytes(id.usb_ids, id.usb_ids + 4), Bytes(spec.vidPid, spec.vidPid + 4));
    EXPECT_EQ(id.vendor_id, unsigned(spec.vidPid[1] << 8 | spec.vidPid[0]));
    EXPECT_EQ(id.product_id, unsigned(spec.vidPid[3] << 8 | spec.vidPid[2]));
    const std::pair<zq_chip_string, std::string> texts[] = {
        {ZQ_CHIP_PRODUCT, spec.product},
        {ZQ_CHIP_MANUFACTURER, spec.manufacturer},
        {ZQ_CHIP_SERIAL_NUMBER, spec.serialNumber},
        {ZQ_CHIP_STRING3, spec.string3},
        {ZQ_CHIP_INTERFACE, spec.interface},
    };
    for (const auto &[which, text] : texts) {
        EXPECT_TRUE(id.has_string[which]) << text;
        EXPECT_EQ(id.strings[which], text);
    }

    long size = 0;
    int fromId = 0;
    unsigned char jedec[3] = {};
    ASSERT_EQ(zq_chip_flash_size(h.get(), &size, &fromId), ZQ_CHIP_OK);
    EXPECT_EQ(size, long(flash().size()));
    EXPECT_TRUE(fromId) << "an MXIC part the SDK knows";
    ASSERT_EQ(zq_chip_flash_id(h.get(), jedec), ZQ_CHIP_OK);
    EXPECT_EQ(Bytes(jedec, jedec + 3), Bytes({0xC2, 0x20, 0x10}));

    EXPECT_EQ(zq_chip_close(h.get()), ZQ_CHIP_OK);
    EXPECT_FALSE(camera_init) << "the SDK's chip is let go";
    EXPECT_EQ(zq_chip_read_identity(h.get(), &id), ZQ_CHIP_ERR_NOT_OPEN);
    EXPECT_NE(errorOf(h), "");
    EXPECT_EQ(zq_chip_open_device(h.get(), "/dev/video0"), ZQ_CHIP_OK) << errorOf(h);
    EXPECT_EQ(zq_chip_read_identity(h.get(), &id), ZQ_CHIP_OK) << errorOf(h);
}

TEST_F(ChipHandleTest, UnknownRomAndMissingCamera)
{
    ChipConfig unknown = firmwareChip();
    unknown.romString = {'9', '9', '9', 'R', '0', 0x01, 0x00, 0x00};
    Handle h = openOn(unknown);
    zq_chip_identity id;
    for (auto read : {zq_chip_identify, zq_chip_read_identity}) {
        EXPECT_EQ(read(h.get(), &id), ZQ_CHIP_ERR_UNKNOWN_CHIP);
        EXPECT_NE(errorOf(h).find("not one the SDK knows"), std::string::npos) << errorOf(h);
    }
    ASSERT_EQ(zq_chip_close(h.get()), ZQ_CHIP_OK);

    testing::internal::CaptureStderr();
    EXPECT_EQ(zq_chip_open(h.get(), 5), ZQ_CHIP_ERR_NO_DEVICE);
    testing::internal::GetCapturedStderr();
    EXPECT_NE(errorOf(h).find("/dev/video5"), std::string::npos) << errorOf(h);
    EXPECT_EQ(zq_chip_open_device(h.get(), "/dev/video7"), ZQ_CHIP_ERR_NO_DEVICE);
    EXPECT_NE(errorOf(h).find("/dev/video7"), std::string::npos) << errorOf(h);
    EXPECT_NE(errorOf(h).find("(cannot open /dev/video7: "), std::string::npos)
        << "the SDK's own reason: " << errorOf(h);
    EXPECT_EQ(zq_chip_identify(h.get(), &id), ZQ_CHIP_ERR_NOT_OPEN);
    EXPECT_EQ(errorOf(h).find("cannot open"), std::string::npos)
        << "an earlier call's reason is not this one's: " << errorOf(h);
}

TEST_F(ChipHandleTest, FlashRangesAndRegisters)
{
    Handle h = openOn(firmwareChip());
    Bytes part(13);
    ASSERT_EQ(zq_chip_read_flash(h.get(), 0xC001, part.data(), long(part.size())), ZQ_CHIP_OK);
    EXPECT_EQ(part, Bytes(flash().begin() + 0xC001, flash().begin() + 0xC001 + 13));

    chip().clearLog();
    const std::pair<long, long> outside[] = {
        {-1, 8}, {0, -1}, {ZQ_CHIP_FLASH_WINDOW - 4, 8}, {ZQ_CHIP_FLASH_WINDOW, 1}};
    for (const auto &[offset, length] : outside) {
        EXPECT_EQ(zq_chip_read_flash(h.get(), offset, part.data(), length), ZQ_CHIP_ERR_ARGUMENT)
            << offset << " " << length;
        EXPECT_NE(errorOf(h), "");
    }
    EXPECT_EQ(zq_chip_read_flash(h.get(), 0, nullptr, 8), ZQ_CHIP_ERR_ARGUMENT);
    EXPECT_TRUE(chip().log().empty()) << "a bad range is refused before the chip is asked";
    chip().failOnSelector(3, 1);
    EXPECT_EQ(zq_chip_read_flash(h.get(), 0, part.data(), 8), ZQ_CHIP_ERR_READ);

    unsigned char id = 0;
    ASSERT_EQ(zq_chip_read_registers(h.get(), 0x101F, &id, 1), ZQ_CHIP_OK);
    EXPECT_EQ(id, chip().config().chipId);
    const unsigned char gpio[] = {0x5A};
    ASSERT_EQ(zq_chip_write_registers(h.get(), 0x1006, gpio, 1), ZQ_CHIP_OK);
    EXPECT_EQ(chip().peek(0x1006), 0x5A);
}

TEST_F(ChipHandleTest, BurnReportsProgressToTheTotalAndVerifies)
{
    for (unsigned flags : {0u, unsigned(ZQ_CHIP_CHECK_EVERY_GROUP)}) {
        SCOPED_TRACE(flags);
        Handle h = openOn(firmwareChip());
        const Bytes image = makeFirmwareImage(firmware(2 + flags));
        std::vector<std::pair<int, int>> progress;
        ASSERT_EQ(zq_chip_burn(h.get(), image.data(), long(image.size()), SFT_MXIC, flags,
                               recordProgress, &progress),
                  ZQ_CHIP_OK)
            << errorOf(h);
        EXPECT_EQ(flash(), image);
        EXPECT_EQ(readAll(h), image);
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), std::make_pair(int(image.size()), int(image.size())));
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(ubSFLib_CmdID, 1) << "MXIC's command set";
    }
}

TEST_F(ChipHandleTest, BurnFailuresSayWhatFailed)
{
    const Bytes image = makeFirmwareImage(firmware(2));
    {
        Handle h = openOn(firmwareChip());
        const Bytes before = flash();
        EXPECT_EQ(zq_chip_burn(h.get(), image.data(), long(image.size()), SFT_UNKNOW, 0, nullptr,
                               nullptr),
                  ZQ_CHIP_ERR_ARGUMENT);
        EXPECT_NE(errorOf(h).find("family"), std::string::npos) << errorOf(h);
        EXPECT_EQ(zq_chip_burn(h.get(), image.data(), 0x100, SFT_MXIC, 0, nullptr, nullptr),
                  ZQ_CHIP_ERR_ARGUMENT)
            << "shorter than the layout block";
        EXPECT_EQ(flash(), before);
    }
    {
        ChipConfig lost = firmwareChip();
        lost.windowWritesLost = true;
        Handle h = openOn(lost);
        EXPECT_EQ(
            zq_chip_burn(h.get(), image.data(), long(image.size()), SFT_MXIC, 0, nullptr, nullptr),
            ZQ_CHIP_ERR_WRITE);
        EXPECT_NE(errorOf(h).find("writing the flash failed"), std::string::npos) << errorOf(h);
    }
    {
        // Flips rare enough that the burn's sampled check meets none, while
        // reading the whole image back meets some.
        ChipConfig flaky = firmwareChip();
        flaky.readFlips = 0.0002;
        Handle h = openOn(flaky);
        EXPECT_EQ(
            zq_chip_burn(h.get(), image.data(), long(image.size()), SFT_MXIC, 0, nullptr, nullptr),
            ZQ_CHIP_ERR_VERIFY);
        EXPECT_NE(errorOf(h).find("the flash differs from the image at 0x"), std::string::npos)
            << errorOf(h);
        EXPECT_EQ(flash(), image) << "the flash itself took the image";
    }
}

TEST_F(ChipHandleTest, SettingsAreWrittenAndReadBack)
{
    Handle h = openOn(firmwareChip());
    const Bytes current = readAll(h);
    const unsigned char ids[4] = {0x34, 0x12, 0x78, 0x56};
    zq_chip_settings settings{};
    settings.strings[ZQ_CHIP_SERIAL_NUMBER] = "NEW-42";
    settings.usb_ids = ids;
    std::vector<std::pair<int, int>> progress;
    ASSERT_EQ(zq_chip_write_settings(h.get(), current.data(), long(current.size()), &settings,
                                     SFT_MXIC, 0, nullptr, recordProgress, &progress),
              ZQ_CHIP_OK)
        << errorOf(h);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().first, progress.back().second);
    zq_chip_identity id;
    ASSERT_EQ(zq_chip_read_identity(h.get(), &id), ZQ_CHIP_OK);
    EXPECT_STREQ(id.strings[ZQ_CHIP_SERIAL_NUMBER], "NEW-42");
    EXPECT_EQ(id.vendor_id, 0x1234u);
    EXPECT_EQ(id.product_id, 0x5678u);
    EXPECT_STREQ(id.strings[ZQ_CHIP_PRODUCT], firmware().product.c_str()) << "left as it was";

    const std::string tooLong(ZQ_CHIP_MAX_STRING + 1, 'x');
    settings.strings[ZQ_CHIP_PRODUCT] = tooLong.c_str();
    EXPECT_EQ(zq_chip_write_settings(h.get(), current.data(), long(current.size()), &settings,
                                     SFT_MXIC, 0, nullptr, nullptr, nullptr),
              ZQ_CHIP_ERR_ARGUMENT);
    EXPECT_NE(errorOf(h).find("product is longer than 31"), std::string::npos) << errorOf(h);
}

TEST_F(ChipHandleTest, FindsTheTableOfAnImageWithoutAChip)
{
    const FirmwareSpec spec = firmware();
    Bytes image = makeFirmwareImage(spec);
    const ParameterTable where = tableOf(spec);
    const auto rom = firmwareChip().romString;
    Handle h = newHandle();
    zq_chip_image_table t;
    ASSERT_EQ(zq_chip_find_table(h.get(), rom.data(), image.data(), long(image.size()), &t),
              ZQ_CHIP_OK)
        << errorOf(h);
    EXPECT_EQ(t.table_start, where.start);
    EXPECT_EQ(t.table_end, where.end);
    EXPECT_EQ(t.checksum_at, where.crc + 20);
    EXPECT_EQ(t.stored_checksum, t.computed_checksum);

    image[where.start + 0x50] ^= 0xFF;
    ASSERT_EQ(zq_chip_find_table(h.get(), rom.data(), image.data(), long(image.size()), &t),
              ZQ_CHIP_OK);
    EXPECT_EQ(t.stored_checksum, unsigned(image[t.checksum_at] << 8 | image[t.checksum_at + 1]));
    EXPECT_NE(t.stored_checksum, t.computed_checksum);

    EXPECT_EQ(zq_chip_find_table(h.get(), rom.data(), image.data(), where.start, &t),
              ZQ_CHIP_ERR_ARGUMENT)
        << "the table lies beyond the image's end";
    EXPECT_NE(errorOf(h).find("no parameter table"), std::string::npos) << errorOf(h);
}

TEST_F(ChipHandleTest, ErrorsStayWithTheirHandle)
{
    Handle first = openOn(firmwareChip());
    Handle second = newHandle();
    EXPECT_EQ(zq_chip_open(second.get(), 0), ZQ_CHIP_ERR_BUSY);
    EXPECT_NE(errorOf(second).find("another handle"), std::string::npos) << errorOf(second);
    EXPECT_EQ(errorOf(first), "");

    Bytes part(8);
    EXPECT_EQ(zq_chip_read_flash(first.get(), -8, part.data(), 8), ZQ_CHIP_ERR_ARGUMENT);
    const std::string firstError = errorOf(first);
    EXPECT_NE(firstError, errorOf(second));
    EXPECT_EQ(zq_chip_read_flash(second.get(), 0, part.data(), 8), ZQ_CHIP_ERR_NOT_OPEN);
    EXPECT_EQ(errorOf(first), firstError) << "untouched by the other handle's failure";

    EXPECT_EQ(zq_chip_read_flash(first.get(), 0, part.data(), 8), ZQ_CHIP_OK);
    EXPECT_EQ(errorOf(first), "") << "a success clears the handle's error";
    ASSERT_EQ(zq_chip_close(first.get()), ZQ_CHIP_OK);
    EXPECT_EQ(zq_chip_open(second.get(), 0), ZQ_CHIP_OK) << errorOf(second);
    EXPECT_EQ(errorOf(second), "");

    EXPECT_EQ(zq_chip_open(nullptr, 0), ZQ_CHIP_ERR_ARGUMENT);
    EXPECT_NE(std::string(zq_chip_last_error(nullptr)), "");
}

} // namespace
