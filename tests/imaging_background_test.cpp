// Background clearing: a gain per 4 x 4 cell from the local white level,
// then a fixed contrast curve.
#include "byte_curve.h"
#include "imaging_fixture.h"

#include <algorithm>

namespace
{

// Puts value into every byte of the pixels that are not the sampled
// top-left pixel of a cell, and sample into the sampled ones.
Frame cellFrame(int w, int h, uint8_t sample, uint8_t value)
{
    Frame f(w, h, value);
    for (int y = 0; y < h; y += 4)
        for (int x = 0; x < w; x += 4)
            std::fill_n(f.pixel(x, y), 3, sample);
    return f;
}

} // namespace

TEST_F(ImagingTest, ClearingDoublesLitCellsThenRaisesContrast)
{
    const struct {
        uint8_t in, out;
    } bytes[] = {{0, 0}, {30, 57}, {60, 126}, {100, 218}, {128, 255}, {200, 255}, {255, 255}};
    for (const auto &b : bytes) {
        Frame frame = cellFrame(640, 480, 200, b.in);
        EXPECT_EQ(zq_scanner_clear_background(frame.data(), 640, 480), 1);
        EXPECT_EQ(frame.pixel(1, 1)[0], b.out) << int(b.in);
        EXPECT_EQ(frame.pixel(638, 477)[2], b.out) << int(b.in);
        EXPECT_EQ(frame.pixel(4, 4)[1], 255) << "sample 200 doubled, then curved";
    }
}

TEST_F(ImagingTest, ContrastCurveAlone)
{
    const struct {
        uint8_t in, out;
    } bytes[] = {{0, 0},     {10, 0},    {74, 74},   {100, 103},
                 {128, 136}, {200, 218}, {231, 254}, {232, 255}};
    Frame frame(8, 1);
    for (int i = 0; i < 8; ++i)
        std::fill_n(frame.pixel(i, 0), 3, bytes[i].in);
    IplImage *header = cvCreateImageHeader(cvSize(8, 1), IPL_DEPTH_8U, 3);
    cvSetData(header, frame.data(), 24);
    ChangeLightContrast(header, 1.15, 8.0);
    cvReleaseImageHeader(&header);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(frame.pixel(i, 0)[1], bytes[i].out) << int(bytes[i].in);
}

// On a black 640 x 480 frame only block (0, 0) gets bright samples.  It
// needs 9 of them (0.05 % of the 19200 cells) for a white level; that
// level sits at cell (6, 8) and falls off linearly to the next seeds 12
// rows and 16 columns on, whose level is 0: cells up to row 17 and column
// 23 are lit, so pixels up to row 71 and column 95 are doubled.
TEST_F(ImagingTest, ClearingSpreadsBlockLevelsOverTheGrid)
{
    for (int brightSamples : {8, 9}) {
        SCOPED_TRACE(brightSamples);
        Frame frame = cellFrame(640, 480, 0, 50);
        for (int n = 0; n < brightSamples; ++n)
            std::fill_n(frame.pixel(4 * n, 4 * (n % 3)), 3, 200);
        IplImage *header = cvCreateImageHeader(cvSize(640, 480), IPL_DEPTH_8U, 3);
        cvSetData(header, frame.data(), 640 * 3);
        BrightnessBalance(header, 1000);
        cvReleaseImageHeader(&header);

        const bool lit = brightSamples >= 9;
        EXPECT_EQ(frame.pixel(1, 1)[0], lit ? 100 : 50);
        EXPECT_EQ(frame.pixel(95, 71)[0], lit ? 100 : 50);
        EXPECT_EQ(frame.pixel(96, 71)[0], 50);
        EXPECT_EQ(frame.pixel(95, 72)[0], 50);
        EXPECT_EQ(frame.pixel(301, 301)[0], 50);
    }
}

TEST_F(ImagingTest, ClearingKeepsBlackBlackAndHandlesOddSizes)
{
    Frame black(640, 480);
    EXPECT_EQ(zq_scanner_clear_background(black.data(), 640, 480), 1);
    EXPECT_EQ(black.bytes, std::vector<uint8_t>(black.bytes.size(), 0));

    // Rows past 4 * (483 / 4) and columns past 4 * (642 / 4) belong to no
    // cell: only the curve changes them (60 -> 57), the rest is doubled
    // first (60 -> 120 -> 126).
    Frame odd = cellFrame(642, 483, 60, 60);
    EXPECT_EQ(zq_scanner_clear_background(odd.data(), 642, 483), 1);
    EXPECT_EQ(odd.pixel(639, 479)[0], 126);
    EXPECT_EQ(odd.pixel(640, 100)[1], 57);
    EXPECT_EQ(odd.pixel(641, 479)[2], 57);
    EXPECT_EQ(odd.pixel(100, 480)[0], 57);
    EXPECT_EQ(odd.pixel(641, 482)[2], 57);
}

TEST_F(ImagingTest, ClearingLeavesTinyFramesAndBadArgumentsAlone)
{
    for (const auto &[w, h] : {std::pair{39, 480}, {640, 39}, {1, 1}}) {
        Frame frame(w, h, 60);
        EXPECT_EQ(zq_scanner_clear_background(frame.data(), w, h), 1);
        EXPECT_EQ(frame.bytes, std::vector<uint8_t>(frame.bytes.size(), 60)) << w << "x" << h;
    }
    Frame smallest(40, 40, 60);
    zq_scanner_clear_background(smallest.data(), 40, 40);
    EXPECT_EQ(smallest.pixel(39, 39)[0], 126);
    EXPECT_EQ(zq_scanner_clear_background(nullptr, 640, 480), 1);
    Frame frame(64, 64, 60);
    EXPECT_EQ(zq_scanner_clear_background(frame.data(), -64, 64), 1);
    EXPECT_EQ(frame.bytes, std::vector<uint8_t>(frame.bytes.size(), 60));
}

// Clearing brightens and curves in one pass; it must give what the two
// steps give one after the other, on any frame.
TEST_F(ImagingTest, ClearingInOnePassEqualsTheTwoSteps)
{
    zq::sim::PageScene scene;
    scene.unevenLight = 0.3;
    scene.angleDeg = 12;
    for (const auto &[w, h] : {std::pair{640, 480}, {642, 483}, {1366, 768}}) {
        Frame once(scene, w, h);
        Frame twice = once;
        zq_scanner_clear_background(once.data(), w, h);
        IplImage *header = cvCreateImageHeader(cvSize(w, h), IPL_DEPTH_8U, 3);
        cvSetData(header, twice.data(), 3 * w);
        BrightnessBalance(header, 1000);
        ChangeLightContrast(header, 1.15, 8.0);
        cvReleaseImageHeader(&header);
        EXPECT_EQ(once.bytes, twice.bytes) << w << "x" << h;
    }
}

// Curves are applied by table or by fixed-point arithmetic; both must give
// the table's bytes, for every value, at every position of a run.
TEST(ByteCurveTest, ArithmeticAgreesWithTheTable)
{
    using zq::imaging::ByteCurve;
    const auto line = [](double slope, double offset) {
        ByteCurve::Table t;
        for (int v = 0; v < 256; ++v)
            t[v] = uint8_t(std::clamp(int(v * slope + offset), 0, 255));
        return t;
    };
    // Clearing's curve: the gain of 2, then the contrast curve.
    const ByteCurve::Table contrast = line(1.15, 8.0 - 0.15 * 127.0);
    ByteCurve::Table clearing;
    for (int v = 0; v < 256; ++v)
        clearing[v] = contrast[std::min(255, 2 * v)];
    ByteCurve::Table steps;
    for (int v = 0; v < 256; ++v)
        steps[v] = uint8_t((v / 16) * 16);
    const ByteCurve::Table lines[] = {clearing,   line(2, 0),  line(1.31, 0),   line(0.8, 20.2),
                                      line(1, 0), line(0, 77), line(3.7, -300), line(1.999, -0.5)};
    const ByteCurve::Table others[] = {contrast, steps};
    std::vector<uint8_t> values(3 * 256 + 17);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = uint8_t(i * 7);
    const auto expectTableBytes = [&](const ByteCurve::Table &table) {
        const ByteCurve curve(table);
        int wrong = 0;
        for (size_t start : {size_t(0), size_t(5)}) {
            std::vector<uint8_t> bytes = values;
            curve.apply(bytes.data() + start, bytes.size() - start);
            for (size_t i = start; i < bytes.size(); ++i)
                wrong += bytes[i] != table[values[i]];
        }
        EXPECT_EQ(wrong, 0);
        return curve.isLine();
    };
    for (const ByteCurve::Table &table : lines)
        EXPECT_TRUE(expectTableBytes(table)) << "a line takes the fast way";
    // The contrast curve alone has values a hair below whole numbers (27
    // gives 19.999...), which no line of this precision meets.
    for (const ByteCurve::Table &table : others)
        EXPECT_FALSE(expectTableBytes(table));
}
