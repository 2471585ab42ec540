// Page detection, the cut and open books on hostile frames: the frame's
// size and pixels are the input, and the library's image processing
// (imaging/) runs on it as the window does on a live frame and a capture:
// the page detector, its outline and corners, the cut of the detected page
// (the perspective flattening), the cut of a rectangle set by hand (the
// box warp), the outline drawn into the frame, the book finder with both
// pages cut and flattened, and background clearing.  The vector loops are
// chosen at run time (haveAvx2()), so on a machine with AVX2 (the fuzzing
// machine has it) the AVX2 warps and curves are the ones fuzzed.
//
//   0  u16  width     2 u16 height (little-endian; at most kMaxPixels)
//   4  u8   flags: 1 the pixels are a small picture (sw x sh) scaled up
//           to the frame (nearest pixel), 2 clear the background, 4 a
//           lens other than the default, 8 a hand-set rectangle
//   5  u8   sw - 1    6 u8 sh - 1
//   7  u8   focal length (flag 4), in tenths of the frame's longer side
//   8  u16 x4  the hand-set rectangle's corners (lt.x lt.y rb.x rb.y)
//  16  ...  the pixels, RGB24 (repeated when short)
#include "trap_unless.h"

#include <zqscan/zq_opencv.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

constexpr size_t kHeader = 16;
// A 1920 x 1080 frame; one run of everything stays near a second under
// the sanitizers.
constexpr uint64_t kMaxPixels = 1920ull * 1088;

uint32_t le16(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}

bool finite(const zqPointF &p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// A cut asked for its size, then made into a buffer of exactly that size.
template <typename Cut> void cutTwice(Cut cut, int width, int height)
{
    int ow = -1, oh = -1;
    if (cut(nullptr, 0, &ow, &oh) != 0)
        return;
    // the result is at most four times the frame's pixels
    const uint64_t most = 4 * (uint64_t(width) + 2) * (uint64_t(height) + 2);
    trapUnless(ow > 0 && oh > 0 && uint64_t(ow) * uint64_t(oh) <= most);
    std::vector<unsigned char> out(size_t(ow) * size_t(oh) * 3);
    int ow2 = -1, oh2 = -1;
    trapUnless(cut(out.data(), int(out.size()), &ow2, &oh2) == 0);
    trapUnless(ow2 == ow && oh2 == oh);
    // a buffer one byte short receives nothing
    std::vector<unsigned char> small(out.size() - 1, 0x5A);
    cut(small.data(), int(small.size()), nullptr, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kHeader + 3)
        return 0;
    const int width = int(le16(data)), height = int(le16(data + 2));
    if (width == 0 || height == 0 || uint64_t(width) * height > kMaxPixels)
        return 0;
    const uint8_t flags = data[4];
    const uint8_t *pixels = data + kHeader;
    const size_t given = size - kHeader;

    const size_t frameBytes = size_t(width) * size_t(height) * 3;
    std::vector<unsigned char> frame(frameBytes);
    if (flags & 1) {
        const int sw = data[5] + 1, sh = data[6] + 1;
        for (int y = 0; y < height; ++y) {
            const size_t sy = size_t(y) * size_t(sh) / size_t(height);
            for (int x = 0; x < width; ++x) {
                const size_t sx = size_t(x) * size_t(sw) / size_t(width);
                const size_t from = (sy * size_t(sw) + sx) * 3;
                for (int c = 0; c < 3; ++c)
                    frame[(size_t(y) * width + x) * 3 + c] = pixels[(from + c) % given];
            }
        }
    } else {
        for (size_t i = 0; i < frameBytes; i += given)
            std::memcpy(frame.data() + i, pixels, std::min(given, frameBytes - i));
    }
    const std::vector<unsigned char> original = frame;

    zq_scanner_dllinit();
    zq_scanner_set_focal_length(flags & 4 ? data[7] / 10.0 : 0);

    // The page detector and the cut along its outline.
    if (zq_scanner_cutting_edge_auto(frame.data(), width, height) == 0) {
        CuttingEdgeInfo info{};
        trapUnless(zq_scanner_cutting_edge_get(&info) == 0 && info.valid);
        zqPointF corners[4];
        trapUnless(zq_scanner_cutting_edge_quad(corners) == 0);
        for (const zqPointF &c : corners)
            trapUnless(finite(c));
        cutTwice(
            [&](unsigned char *out, int outSize, int *ow, int *oh) {
                return zq_scanner_cutting_edge_do(frame.data(), width, height, out, outSize, ow,
                                                  oh);
            },
            width, height);
        trapUnless(frame == original); // the frame is not changed
        zq_scanner_cutting_edge_show(frame.data(), width, height);
        trapUnless(zq_scanner_cutting_edge_get(&info) != 0); // consumed
    }

    // A rectangle set by hand, cut by the box warp.
    if (flags & 8) {
        const zqPoint lt = {int(le16(data + 8)) - 1000, int(le16(data + 10)) - 1000};
        const zqPoint rb = {int(le16(data + 12)) - 1000, int(le16(data + 14)) - 1000};
        zq_scanner_cutting_edge_set(&lt, &rb);
        cutTwice(
            [&](unsigned char *out, int outSize, int *ow, int *oh) {
                return zq_scanner_cutting_edge_do(original.data(), width, height, out, outSize, ow,
                                                  oh);
            },
            width, height);
    }

    // An open book: both pages cut upright and flattened.
    const int pages = zq_scanner_book_find(original.data(), width, height);
    trapUnless(pages >= 0 && pages <= 2);
    for (int page = 0; page < pages; ++page) {
        zqPointF outline[2 * ZQ_BOOK_EDGE_POINTS];
        trapUnless(zq_scanner_book_outline(page, outline) == 0);
        for (const zqPointF &p : outline)
            trapUnless(finite(p));
        for (int flatten = 0; flatten < 2; ++flatten)
            cutTwice(
                [&](unsigned char *out, int outSize, int *ow, int *oh) {
                    return zq_scanner_book_page_do(original.data(), width, height, page, flatten,
                                                   out, outSize, ow, oh);
                },
                width, height);
    }
    trapUnless(zq_scanner_book_outline(pages, nullptr) != 0);
    if (pages == 2) {
        zqPointF ends[2];
        trapUnless(zq_scanner_book_gutter(ends) == 0 && finite(ends[0]) && finite(ends[1]));
    }
    if (pages > 0)
        zq_scanner_book_show(frame.data(), width, height);

    if (flags & 2)
        trapUnless(zq_scanner_clear_background(frame.data(), width, height) == 1);
    zq_scanner_dllunit();
    return 0;
}
