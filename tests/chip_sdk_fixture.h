// A virtual camera whose chip holds firmware and is protected the way the
// service tool meets it, opened through ChipCam_Init.
#ifndef ZQ_TESTS_CHIP_SDK_FIXTURE_H
#define ZQ_TESTS_CHIP_SDK_FIXTURE_H

#include <zqscan/ChipCamera.h>
#include "chip_fixture.h"
#include "firmware_image.h"

class SdkTest : public ChipTest
{
  protected:
    void TearDown() override
    {
        if (camera_init)
            ChipCam_UnInit();
        ChipTest::TearDown();
    }

    static zq::sim::FirmwareSpec firmware(uint32_t seed = 1)
    {
        zq::sim::FirmwareSpec spec;
        spec.seed = seed;
        spec.texts = {{0x3FD0, "ZQ-CAM-276"},
                      {0x3FDA, "2024-05-17"},
                      {0x3FE4, "0105203045"},
                      {0x0153, "12345"}};
        return spec;
    }
    // A 0x76 chip with ROM 276R0 01 (table at 0xC000), an MXIC flash
    // holding the firmware, write-protected through GPIO 1.
    static zq::sim::ChipConfig firmwareChip(const zq::sim::FirmwareSpec &spec = firmware())
    {
        zq::sim::ChipConfig c = romChip(ROM276V1, 0x76);
        c.firmwareGuardsFlash = true;
        c.flashContents = zq::sim::makeFirmwareImage(spec);
        c.flashStatus = zq::sim::flash_status::kWriteDisable | zq::sim::flash_status::kBlockProtect;
        c.writeProtectGpio = 1;
        return c;
    }
    void initOn(zq::sim::ChipConfig config)
    {
        attach(std::move(config));
        testing::internal::CaptureStdout();
        const BOOL opened = ChipCam_Init(0);
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(opened);
        chip().clearLog();
    }
    const std::vector<uint8_t> &flash() { return chip().flash().contents(); }
};

#endif
