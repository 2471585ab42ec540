// Pages with colour are mixed raster content after the MRC model (ITU-T
// T.44), kept to two layers: a stencil mask of the dark ink, painted in
// one colour, over a background picture.  Separate colours of ink would
// cost a third layer for little, since text on the pages a document camera
// takes is black or nearly so; what else has colour (a stamp, a highlighted
// line, a photograph, a signature in blue) stays in the background in its
// own colour.  The background has a third of the resolution, about 100 dpi
// for a page captured at 300: enough for areas of colour, whose edges the
// eye does not read as it reads text, in a ninth of the pixels.
#include "compact_page.h"

#include "bitmap_stream.h"
#include "ink_threshold.h"
#include "page_pixels.h"

#include <qpdf/Pl_DCT.hh>
#include <qpdf/Pl_String.hh>

#include <algorithm>
#include <array>
#include <cstdint>

namespace zqpdf
{
namespace
{

// Which pixels show colour: saturated enough, and neither so dark nor so
// light that their hue is sensor noise or the paper's tint.
constexpr int kNearBlack = 64;       // brightest component below this: black
constexpr int kNearWhite = 224;      // darkest component above this: white
constexpr int kSaturationTenths = 3; // (brightest - darkest) / brightest at least 0.3
// A page has colour when at least this share of the pixels sampled do: a
// small stamp or a few highlighted words.  The colour noise and the fringes
// of black letters in the photographs of text pages in tests/data/photos
// stay below it.
constexpr double kColourShare = 0.001;
constexpr int kSampleStep = 2; // every second pixel of every second row

constexpr int kReduction = 3;          // background pixels are blocks of 3 x 3
constexpr int kBackgroundQuality = 60; // JPEG quality of the background
// Pictures beyond several times the cameras' largest frame stay as they
// are: decoded, they would take more memory than a smaller PDF is worth.
constexpr uint64_t kMaxPixels = 64'000'000;
constexpr double kMinPixelsPerInch = 100;

bool coloured(const uint8_t *rgb)
{
    const int brightest = std::max({rgb[0], rgb[1], rgb[2]});
    const int darkest = std::min({rgb[0], rgb[1], rgb[2]});
    return brightest >= kNearBlack && darkest <= kNearWhite &&
           10 * (brightest - darkest) >= kSaturationTenths * brightest;
}

bool hasColour(const RgbPixels &pixels)
{
    uint64_t sampled = 0;
    uint64_t withColour = 0;
    for (int y = 0; y < pixels.height; y += kSampleStep) {
        const uint8_t *row = pixels.row(y);
        for (int x = 0; x < pixels.width; x += kSampleStep, ++sampled)
            withColour += coloured(row + 3 * x);
    }
    return withColour > 0 && double(withColour) >= kColourShare * double(sampled);
}

// Coloured ink (a stamp's dark red, a blue signature) would lose its
// colour in the stencil's one paint: it stays in the background.
void leaveColourToBackground(Bitmap &ink, const RgbPixels &pixels)
{
    for (int y = 0; y < pixels.height; ++y) {
        const uint8_t *row = pixels.row(y);
        const uint8_t *bits = &ink.bits[y * ink.stride];
        for (size_t byte = 0; byte < ink.stride; ++byte) {
            if (bits[byte] == 0) // eight pixels of paper, as most of a page
                continue;
            const int end = std::min(pixels.width, int(byte) * 8 + 8);
            for (int x = int(byte) * 8; x < end; ++x) {
                if (ink.ink(x, y) && coloured(row + 3 * x))
                    ink.clear(x, y);
            }
        }
    }
}

struct Separation {
    RgbPixels background;
    std::array<double, 3> inkColour{}; // the mean of the ink's pixels, 0..1
    uint64_t inkPixels = 0;
};

// The page without its ink, reduced: each background pixel is the mean of
// the pixels of its block that are not ink; a block that is all ink takes
// the pixel before it (or above it, at the left edge), so that under the
// stencil the background is as even as the paper around, which JPEG codes
// in few bytes.
Separation separate(const RgbPixels &pixels, const Bitmap &ink)
{
    const int width = (pixels.width + kReduction - 1) / kReduction;
    const int height = (pixels.height + kReduction - 1) / kReduction;
    Separation parts{{width, height, std::vector<uint8_t>(size_t(width) * height * 3, 255)}, {}, 0};
    // Scalars, not an array: the compiler keeps them in registers.
    uint64_t inkRed = 0, inkGreen = 0, inkBlue = 0, inkPixels = 0;
    // The blocks of one row of the background: red, green and blue summed
    // over the paper pixels, and their number.
    std::vector<uint32_t> blocks(size_t(width) * 4);
    for (int by = 0; by < height; ++by) {
        std::fill(blocks.begin(), blocks.end(), 0);
        const int y1 = std::min(pixels.height, (by + 1) * kReduction);
        for (int y = by * kReduction; y < y1; ++y) {
            const uint8_t *rgb = pixels.row(y);
            const uint8_t *bits = &ink.bits[y * ink.stride];
            for (int x = 0; x < pixels.width; ++x, rgb += 3) {
                // Without branches: ink and paper alternate unpredictably.
                const uint32_t isInk = (bits[x / 8] >> (7 - x % 8)) & 1;
                const uint32_t isPaper = 1 - isInk;
                uint32_t *block = &blocks[size_t(x / kReduction) * 4];
                for (int c = 0; c < 3; ++c)
                    block[c] += rgb[c] * isPaper;
                block[3] += isPaper;
                inkRed += rgb[0] * isInk;
                inkGreen += rgb[1] * isInk;
                inkBlue += rgb[2] * isInk;
                inkPixels += isInk;
            }
        }
        uint8_t *out = &parts.background.samples[size_t(by) * width * 3];
        for (int bx = 0; bx < width; ++bx, out += 3) {
            const uint32_t *block = &blocks[size_t(bx) * 4];
            const uint8_t *before = bx > 0 ? out - 3 : by > 0 ? out - size_t(width) * 3 : nullptr;
            for (int c = 0; c < 3; ++c) {
                if (block[3] > 0)
                    out[c] = uint8_t((block[c] + block[3] / 2) / block[3]);
                else if (before)
                    out[c] = before[c];
            }
        }
    }
    parts.inkPixels = inkPixels;
    if (inkPixels > 0)
        parts.inkColour = {double(inkRed) / double(inkPixels) / 255.0,
                           double(inkGreen) / double(inkPixels) / 255.0,
                           double(inkBlue) / double(inkPixels) / 255.0};
    return parts;
}

class JpegQuality : public Pl_DCT::CompressConfig
{
  public:
    void apply(jpeg_compress_struct *cinfo) override
    {
        jpeg_set_quality(cinfo, kBackgroundQuality, TRUE);
    }
};

PageImage jpegImage(const RgbPixels &picture)
{
    std::string jpeg;
    Pl_String out("background", nullptr, jpeg);
    JpegQuality quality;
    Pl_DCT encode("background", &out, JDIMENSION(picture.width), JDIMENSION(picture.height), 3,
                  JCS_RGB, &quality);
    encode.write(picture.samples.data(), picture.samples.size());
    encode.finish();

    PageImage image;
    image.width = picture.width;
    image.height = picture.height;
    image.colorSpace = "/DeviceRGB";
    image.filter = "/DCTDecode";
    image.storedBytes = jpeg.size();
    image.streamData = streamOf(std::move(jpeg));
    return image;
}

PageLayers bilevel(const RgbPixels &pixels)
{
    const Bitmap ink = findInk(pixels, InkIn::EveryDarkArea);
    return {pixels.width, pixels.height, bitmapImage(ink, BitmapUse::BlackOnWhite), {}};
}

PageLayers mixedRaster(const RgbPixels &pixels)
{
    Bitmap ink = findInk(pixels, InkIn::LightGround);
    leaveColourToBackground(ink, pixels);
    const Separation parts = separate(pixels, ink);
    PageLayers page{pixels.width, pixels.height, jpegImage(parts.background), {}};
    if (parts.inkPixels > 0)
        page.ink = InkLayer{bitmapImage(ink, BitmapUse::Stencil), parts.inkColour};
    return page;
}

size_t storedBytes(const PageLayers &page)
{
    return page.picture.storedBytes + (page.ink ? page.ink->mask.storedBytes : 0);
}

} // namespace

PageLayers compactPage(const PageImage &original, const std::string &path, double pixelsPerInch)
{
    if (uint64_t(original.width) * uint64_t(original.height) > kMaxPixels ||
        pixelsPerInch < kMinPixelsPerInch)
        return PageLayers::of(original);
    const RgbPixels pixels = decodePixels(original, path);
    const PageLayers compact = hasColour(pixels) ? mixedRaster(pixels) : bilevel(pixels);
    return storedBytes(compact) < original.storedBytes ? compact : PageLayers::of(original);
}

} // namespace zqpdf
