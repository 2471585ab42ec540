// Whether a new page lies still under the camera: the question automatic
// capture asks of every frame.
//
// Each frame is reduced to what changes when something moves: the page's
// outline and a small grey picture of the whole frame, averaged over a few
// taps per cell.  The picture counts as still while both stay within a
// tolerance of what they were when the stillness began (so a slow drift
// adds up and is caught).
//
// A page is new unless it is the one taken last: an outline in the same
// place around the same content, sampled in the page's own coordinates so
// that a page nudged by a few pixels is still the same page.  For pages
// that change in place (an open book's) the content is the page's words,
// compared once the page lies still.  The page taken last is forgotten
// once the bare desk has been seen still.
#ifndef ZQ_STILLNESS_H
#define ZQ_STILLNESS_H

#include <zqscan/zq_opencv.h>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class StillnessDetector
{
  public:
    // How long a page lies still before it is taken.
    static constexpr int64_t kStillMilliseconds = 800;

    enum class Verdict {
        NoNewPage, // no page in view, or the page taken last
        Settling,  // a new page, but the picture moved within kStillMilliseconds
        Ready,     // a new page, still for long enough: take it now
    };

    // Looks at one frame of packed RGB24; outline holds the four corners of
    // the page found in it, or is null when none was found.
    Verdict observe(const unsigned char *rgb, int width, int height, const zqPoint *outline,
                    int64_t milliseconds);
    // The page of the frame observed last has been captured, whoever asked.
    void markTaken();
    // That capture failed after all: the page taken before it is the one
    // taken last again, and the page is new until it is taken.
    void unmarkTaken();
    // Pages that change where they lie, as an open book's do when one is
    // turned: every page of a book has its lines of text in the same
    // places, so the pages are told apart by their words (the page's
    // print), not by its coarse cells.
    void setPagesTurnInPlace(bool on) { pagesTurnInPlace_ = on; }

  private:
    struct View {
        int width = 0;
        int height = 0;
        bool hasPage = false;
        std::array<zqPoint, 4> corners{};
        std::vector<uint8_t> cells;     // mean grey of each cell of the frame, row by row
        std::vector<uint8_t> pageCells; // the same of the page, from its top-left corner
        std::vector<int16_t> print;     // the page's words, for pages turned in place
    };

    static View look(const unsigned char *rgb, int width, int height, const zqPoint *outline);
    Verdict stillPageVerdict(const unsigned char *rgb);
    static bool same(const View &a, const View &b);
    bool samePage(const View &a, const View &b) const;
    static bool outlinesMatch(const View &a, const View &b);

    View latest_;
    std::optional<View> stillSince_; // the picture as the stillness began
    int64_t stillStart_ = 0;
    int64_t lastSeen_ = 0;
    std::optional<View> taken_;
    std::optional<View> takenBefore_; // for unmarkTaken
    bool stillShowedTaken_ = false;   // stillShowsTaken_ before markTaken
    bool pagesTurnInPlace_ = false;
    // Pages turned in place: the stillness whose print was read, its print,
    // and whether it shows the page taken last.
    int64_t printedStillness_ = -1;
    std::vector<int16_t> stillPrint_;
    bool stillShowsTaken_ = false;
};

#endif
