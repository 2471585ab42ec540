// Transfers the firmware operations cost on the virtual chip, against the
// protocol's minimum: one window write per 8 bytes written, a request and a
// read per 8-byte group read back (verification and erase checks).  Time is
// the simulation's, the counters are what a real camera would see.
#include <zqscan/ChipCamera.h>
#include "firmware_image.h"
#include "virtual_hardware.h"

#include <benchmark/benchmark.h>
#include <linux/usb/video.h>

#include <cstdlib>

using namespace zq::sim;

namespace
{

constexpr long kImage = 0x10000;

VirtualChip &freshChip()
{
    VirtualHardware::instance().reset();
    FirmwareSpec spec;
    ChipConfig c;
    c.chipId = 0x76;
    c.romString = {'2', '7', '6', 'R', '0', 0x01, 0x40, 0x06};
    c.firmwareGuardsFlash = true;
    c.flashContents = makeFirmwareImage(spec);
    c.flashStatus = flash_status::kWriteDisable | flash_status::kBlockProtect;
    c.writeProtectGpio = 1;
    VirtualChip &chip = VirtualHardware::instance().addChip(0, c);
    chip.keepLog(false);
    return chip;
}

struct Counts {
    long queries, windowSets, windowGets, registerQueries;
    static Counts of(const VirtualChip &chip)
    {
        return {chip.queries(), chip.queries(3, UVC_SET_CUR), chip.queries(3, UVC_GET_CUR),
                chip.queries(1, UVC_SET_CUR) + chip.queries(1, UVC_GET_CUR)};
    }
};

// Every window read is a request (a SET) and its reply (a GET).
void report(benchmark::State &state, const VirtualChip &chip, const Counts &before, long minimum)
{
    const Counts now = Counts::of(chip);
    const long reads = now.windowGets - before.windowGets;
    state.counters["queries"] = double(now.queries - before.queries);
    state.counters["window_writes"] = double(now.windowSets - before.windowSets - reads);
    state.counters["window_reads"] = double(reads);
    state.counters["register_queries"] = double(now.registerQueries - before.registerQueries);
    state.counters["minimum"] = double(minimum);
}

// Opens the chip and counts from there.
Counts openChip(VirtualChip &chip)
{
    ChipCam_Init(0);
    return Counts::of(chip);
}

void BM_Burn(benchmark::State &state)
{
    const bool full = state.range(0);
    std::vector<uint8_t> image = makeFirmwareImage(FirmwareSpec{});
    for (auto _ : state) {
        VirtualChip &chip = freshChip();
        const Counts before = openChip(chip);
        if (!ChipCam_BurnerFW(image.data(), kImage, nullptr, nullptr, SFT_MXIC, full))
            state.SkipWithError("burn failed");
        const long verified = full ? kImage / 8 : kImage / 1024;
        const long eraseChecks = (kImage - 1024) / 1024;
        report(state, chip, before, kImage / 8 + 1 + 2 * (verified + eraseChecks));
        ChipCam_UnInit();
    }
}

void BM_Export(benchmark::State &state)
{
    std::vector<uint8_t> out(kImage);
    for (auto _ : state) {
        VirtualChip &chip = freshChip();
        const Counts before = openChip(chip);
        if (!ChipCam_ExportFW(out.data(), kImage, nullptr, nullptr))
            state.SkipWithError("export failed");
        report(state, chip, before, 2 * kImage / 8);
        ChipCam_UnInit();
    }
}

void BM_ParamTable(benchmark::State &state)
{
    const bool full = state.range(0);
    std::vector<uint8_t> image = makeFirmwareImage(FirmwareSpec{});
    char product[] = "Bench";
    ChangeParamInfo info{};
    info.pProduct = product;
    info.ProductLength = 5;
    for (auto _ : state) {
        VirtualChip &chip = freshChip();
        const Counts before = openChip(chip);
        if (!ChipCam_SetParamTableFromFWFile(image.data(), kImage, info, nullptr, nullptr, SFT_MXIC,
                                             nullptr, full))
            state.SkipWithError("update failed");
        // One sector: 512 writes, the erase check every 80 bytes, the check.
        const long checked = full ? 0x1000 / 8 : 0x1000 / 512;
        report(state, chip, before, 0x1000 / 8 + 2 * (checked + (0x1000 + 79) / 80));
        ChipCam_UnInit();
    }
}

BENCHMARK(BM_Burn)->Arg(0)->Arg(1)->ArgName("full")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ParamTable)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("full")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    zq::sim::useVirtualHardware("bench");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
