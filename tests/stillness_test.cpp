// The stillness watch of automatic capture on its own, fed with rendered
// desks and the pages' true outlines, one frame each 100 ms.
#include "desk_script.h"
#include "stillness.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

using namespace zq::sim;
using Verdict = StillnessDetector::Verdict;

namespace
{

constexpr int kWidth = 640;
constexpr int kHeight = 480;

PageScene pageAt(double x)
{
    PageScene p;
    p.centerX = x;
    p.pageWidth = 0.3;
    p.angleDeg = 5;
    return p;
}

class StillnessTest : public ::testing::Test
{
  protected:
    // Shows the desk, with the page and a hand if given, for this long;
    // returns the last verdict.
    Verdict show(std::optional<PageScene> page, int milliseconds,
                 std::optional<Hand> hand = std::nullopt, int noise = 0)
    {
        PageScene scene = page.value_or(PageScene{});
        if (!page)
            scene.pageWidth = 0;
        const std::vector<uint8_t> desk = renderScene(scene, kWidth, kHeight);
        zqPoint outline[4];
        const auto corners = pageCorners(scene, kWidth, kHeight);
        for (int i = 0; i < 4; ++i)
            outline[i] = {int(corners[i].x), int(corners[i].y)};
        Verdict verdict = Verdict::NoNewPage;
        for (int shown = 0; shown < milliseconds; shown += 100) {
            std::vector<uint8_t> frame = desk;
            if (hand) {
                renderHand(*hand, kWidth, kHeight, frame.data());
                hand->x -= 0.02; // reaching further in
            }
            for (uint8_t &sample : frame)
                sample = uint8_t(
                    std::clamp(sample + int(noiseSource() % (2 * noise + 1)) - noise, 0, 255));
            now += 100;
            verdict = watch.observe(frame.data(), kWidth, kHeight, page ? outline : nullptr, now);
        }
        return verdict;
    }

    StillnessDetector watch;
    int64_t now = 0;
    std::minstd_rand noiseSource{7};
};

} // namespace

// A new page settles for 0.8 s, is taken once, and stays taken when it is
// nudged by a pixel or two; once the bare desk has been seen, the same page
// laid again is new.
TEST_F(StillnessTest, PageIsTakenOnceUntilTheDeskIsBare)
{
    EXPECT_EQ(show(std::nullopt, 1000), Verdict::NoNewPage);
    EXPECT_EQ(show(pageAt(0.5), 700), Verdict::Settling);
    EXPECT_EQ(show(pageAt(0.5), 200), Verdict::Ready);
    watch.markTaken();
    EXPECT_EQ(show(pageAt(0.5), 2000), Verdict::NoNewPage);
    EXPECT_EQ(show(pageAt(0.503), 2000), Verdict::NoNewPage);
    EXPECT_EQ(show(pageAt(0.6), 1000), Verdict::Ready) << "moved by a tenth of the frame";
    watch.markTaken();
    EXPECT_EQ(show(std::nullopt, 300), Verdict::NoNewPage);
    EXPECT_EQ(show(pageAt(0.6), 2000), Verdict::NoNewPage) << "the desk was not seen still";
    EXPECT_EQ(show(std::nullopt, 1000), Verdict::NoNewPage);
    EXPECT_EQ(show(pageAt(0.6), 1000), Verdict::Ready);
}

// Sensor noise is not movement; a hand reaching in is, and so is a pause
// in the frames, after which the stillness has to be seen again.
TEST_F(StillnessTest, NoiseIsStillHandsAndGapsAreNot)
{
    EXPECT_EQ(show(pageAt(0.4), 1000, std::nullopt, 6), Verdict::Ready);
    EXPECT_EQ(show(pageAt(0.5), 3000, Hand{1.0, 0.5}), Verdict::Settling);
    EXPECT_EQ(show(pageAt(0.5), 300), Verdict::Settling);
    now += 5000;
    EXPECT_EQ(show(pageAt(0.5), 700), Verdict::Settling);
    EXPECT_EQ(show(pageAt(0.5), 200), Verdict::Ready);
}

// An open book's pages change in place: after a hand has moved in view the
// pages are new, after a pause in the frames they are not.
TEST_F(StillnessTest, PagesTurnedInPlaceAreNewAfterMovement)
{
    watch.setPagesTurnInPlace(true);
    EXPECT_EQ(show(pageAt(0.5), 1000), Verdict::Ready);
    watch.markTaken();
    EXPECT_EQ(show(pageAt(0.5), 2000), Verdict::NoNewPage);
    EXPECT_EQ(show(pageAt(0.5), 1000, Hand{1.0, 0.5}), Verdict::Settling);
    EXPECT_EQ(show(pageAt(0.5), 700), Verdict::Settling);
    EXPECT_EQ(show(pageAt(0.5), 200), Verdict::Ready);
    watch.markTaken();
    now += 5000;
    EXPECT_EQ(show(pageAt(0.5), 2000), Verdict::NoNewPage);
}
