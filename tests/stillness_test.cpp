// The stillness watch of automatic capture on its own, fed with rendered
// desks and the pages' true outlines, one frame each 100 ms.
#include "book_scene.h"
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
        zqPoint outline[4];
        const auto corners = pageCorners(scene, kWidth, kHeight);
        for (int i = 0; i < 4; ++i)
            outline[i] = {int(corners[i].x), int(corners[i].y)};
        return showFrames(renderScene(scene, kWidth, kHeight), page ? outline : nullptr,
                          milliseconds, hand, noise);
    }

    // The same with an open book at pages `first` and `first` + 1, its
    // outline nudged right by `nudge` pixels.
    Verdict showBook(int first, int milliseconds, std::optional<Hand> hand = std::nullopt,
                     int nudge = 0)
    {
        BookScene book;
        book.pageWidth = 0.3;
        book.centerX = 0.5 + double(nudge) / kWidth;
        book.lines = {bookText(first, 20), bookText(first + 1, 20)};
        book.font = ZQ_TEXT_FONT;
        // The spread's outer corners: each page's outline runs from the
        // gutter's top out along the top edge (49 points), down the outer
        // edge and back along the bottom edge (49 points).
        const std::vector<Point> left = bookPageOutline(book, 0, kWidth, kHeight);
        const std::vector<Point> right = bookPageOutline(book, 1, kWidth, kHeight);
        const size_t outerTop = 48, outerBottom = left.size() - 49;
        zqPoint outline[4];
        int i = 0;
        for (const Point &p :
             {left[outerTop], right[outerTop], right[outerBottom], left[outerBottom]})
            outline[i++] = {int(p.x), int(p.y)};
        return showFrames(renderBook(book, kWidth, kHeight), outline, milliseconds, hand, 3);
    }

    Verdict showFrames(const std::vector<uint8_t> &desk, const zqPoint *outline, int milliseconds,
                       std::optional<Hand> hand, int noise)
    {
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
            verdict = watch.observe(frame.data(), kWidth, kHeight, outline, now);
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

// A page whose capture failed is new again; the page taken before it is
// still taken.
TEST_F(StillnessTest, PageWhoseCaptureFailedIsNewAgain)
{
    EXPECT_EQ(show(pageAt(0.5), 1000), Verdict::Ready);
    watch.markTaken();
    EXPECT_EQ(show(pageAt(0.6), 1000), Verdict::Ready);
    watch.markTaken();
    watch.unmarkTaken();
    EXPECT_EQ(show(pageAt(0.6), 1000), Verdict::Ready);
    EXPECT_EQ(show(pageAt(0.5), 1000), Verdict::NoNewPage);
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

// An open book's pages change in place, their lines of text where the
// last pages' lay: a turned page is new once the spread lies still, the
// spread taken last stays taken when a hand has passed over it or it was
// nudged.
TEST_F(StillnessTest, TurnedPagesAreNewTheSpreadTakenIsNot)
{
    watch.setPagesTurnInPlace(true);
    EXPECT_EQ(showBook(1, 1000), Verdict::Ready);
    watch.markTaken();
    EXPECT_EQ(showBook(1, 2000), Verdict::NoNewPage);
    EXPECT_EQ(showBook(1, 1000, Hand{1.0, 0.5}), Verdict::Settling);
    EXPECT_EQ(showBook(1, 1000), Verdict::NoNewPage) << "a hand passed over the spread";
    EXPECT_EQ(showBook(1, 1000, std::nullopt, 2), Verdict::NoNewPage) << "nudged";
    EXPECT_EQ(showBook(3, 1000, Hand{1.0, 0.5}), Verdict::Settling);
    EXPECT_EQ(showBook(3, 700), Verdict::Settling);
    EXPECT_EQ(showBook(3, 200), Verdict::Ready) << "a page turned";
    watch.markTaken();
    now += 5000;
    EXPECT_EQ(showBook(3, 2000), Verdict::NoNewPage);
}
