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

#include <qpdf/Pl_Count.hh>
#include <qpdf/Pl_DCT.hh>
#include <qpdf/Pl_Discard.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>

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
// How far, in 0..255, a bilevel page's mean may lie from the picture's:
// text on paper lies well within it, even under uneven light.
constexpr double kMaxToneShift = 64;

bool coloured(const uint8_t *rgb)
{
    const int brightest = std::max({rgb[0], rgb[1], rgb[2]});
    const int darkest = std::min({rgb[0], rgb[1], rgb[2]});
    return brightest >= kNearBlack && darkest <= kNearWhite &&
           10 * (brightest - darkest) >= kSaturationTenths * brightest;
}

// A pixel's chroma: its components less their mean.
std::array<double, 3> chroma(const uint8_t *rgb)
{
    const double mean = (rgb[0] + rgb[1] + rgb[2]) / 3.0;
    return {rgb[0] - mean, rgb[1] - mean, rgb[2] - mean};
}

double dot(const std::array<double, 3> &a, const std::array<double, 3> &b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Whether a pixel of ink has a colour of its own on the ground it lies on.
// Black ink on a highlighter only darkens the highlighter's colour: the
// pixel's chroma is a share of the ground's, up to all of it where JPEG's
// coarser chroma spreads the highlighter over the strokes' edges.  The
// chroma left beyond that share is judged as on white paper, whose ground
// has none.
bool colouredOn(const uint8_t *rgb, const uint8_t *ground)
{
    const int brightest = std::max({rgb[0], rgb[1], rgb[2]});
    if (brightest < kNearBlack)
        return false;
    const std::array<double, 3> own = chroma(rgb), under = chroma(ground);
    const double groundChroma = dot(under, under);
    const double share =
        groundChroma > 0 ? std::clamp(dot(own, under) / groundChroma, 0.0, 1.0) : 0.0;
    std::array<double, 3> left{};
    for (int c = 0; c < 3; ++c)
        left[c] = own[c] - share * under[c];
    const double spread =
        *std::max_element(left.begin(), left.end()) - *std::min_element(left.begin(), left.end());
    return 10 * spread >= kSaturationTenths * brightest;
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

// The page's pixels gathered into the background's blocks: per block the
// red, green and blue of its paper pixels summed, and their number; and the
// same over all the ink's pixels, for the stencil's paint.
class Separation
{
  public:
    Separation(const RgbPixels &pixels, const Bitmap &ink);

    // The page without its ink, reduced: each background pixel is the mean
    // of the paper pixels of its block; a block that is all ink takes the
    // pixel before it (or above it, at the left edge), so that under the
    // stencil the background is as even as the paper around, which JPEG
    // codes in few bytes.
    RgbPixels background() const;
    // A pixel of ink at x, y becomes one of the background's.
    void moveToBackground(int x, int y, const uint8_t *rgb);
    uint64_t inkPixels() const { return inkPixels_; }
    // The mean of the ink's pixels, 0..1.
    std::array<double, 3> inkColour() const;

  private:
    uint16_t *block(int bx, int by) { return &blocks_[(size_t(by) * width_ + bx) * 4]; }

    int width_;
    int height_;
    std::vector<uint16_t> blocks_; // 9 pixels of 255 at most: 16 bits hold them
    std::array<uint64_t, 3> inkSums_{};
    uint64_t inkPixels_ = 0;
};

Separation::Separation(const RgbPixels &pixels, const Bitmap &ink)
    : width_((pixels.width + kReduction - 1) / kReduction),
      height_((pixels.height + kReduction - 1) / kReduction), blocks_(size_t(width_) * height_ * 4)
{
    // Scalars, not an array: the compiler keeps them in registers.
    uint64_t inkRed = 0, inkGreen = 0, inkBlue = 0, inkPixels = 0;
    for (int y = 0; y < pixels.height; ++y) {
        const uint8_t *rgb = pixels.row(y);
        const uint8_t *bits = &ink.bits[y * ink.stride];
        uint16_t *blocks = block(0, y / kReduction);
        for (int x = 0; x < pixels.width; ++x, rgb += 3) {
            // Without branches: ink and paper alternate unpredictably.
            const uint32_t isInk = (bits[x / 8] >> (7 - x % 8)) & 1;
            const uint32_t isPaper = 1 - isInk;
            uint16_t *sums = &blocks[size_t(x / kReduction) * 4];
            for (int c = 0; c < 3; ++c)
                sums[c] = uint16_t(sums[c] + rgb[c] * isPaper);
            sums[3] = uint16_t(sums[3] + isPaper);
            inkRed += rgb[0] * isInk;
            inkGreen += rgb[1] * isInk;
            inkBlue += rgb[2] * isInk;
            inkPixels += isInk;
        }
    }
    inkSums_ = {inkRed, inkGreen, inkBlue};
    inkPixels_ = inkPixels;
}

RgbPixels Separation::background() const
{
    RgbPixels picture{width_, height_, std::vector<uint8_t>(size_t(width_) * height_ * 3, 255)};
    const uint16_t *sums = blocks_.data();
    uint8_t *out = picture.samples.data();
    for (int by = 0; by < height_; ++by)
        for (int bx = 0; bx < width_; ++bx, sums += 4, out += 3) {
            const uint8_t *before = bx > 0 ? out - 3 : by > 0 ? out - size_t(width_) * 3 : nullptr;
            for (int c = 0; c < 3; ++c) {
                if (sums[3] > 0)
                    out[c] = uint8_t((sums[c] + sums[3] / 2) / sums[3]);
                else if (before)
                    out[c] = before[c];
            }
        }
    return picture;
}

void Separation::moveToBackground(int x, int y, const uint8_t *rgb)
{
    uint16_t *sums = block(x / kReduction, y / kReduction);
    for (int c = 0; c < 3; ++c) {
        sums[c] = uint16_t(sums[c] + rgb[c]);
        inkSums_[c] -= rgb[c];
    }
    ++sums[3];
    --inkPixels_;
}

std::array<double, 3> Separation::inkColour() const
{
    const double scale = inkPixels_ > 0 ? 255.0 * double(inkPixels_) : 1.0;
    return {double(inkSums_[0]) / scale, double(inkSums_[1]) / scale, double(inkSums_[2]) / scale};
}

// Coloured ink (a stamp's dark red, a blue signature) would lose its
// colour in the stencil's one paint: it moves to the background.  Its
// colour is judged against the background without any ink.
void leaveColourToBackground(Bitmap &ink, const RgbPixels &pixels, Separation &parts)
{
    const RgbPixels ground = parts.background();
    for (int y = 0; y < pixels.height; ++y) {
        const uint8_t *row = pixels.row(y);
        const uint8_t *groundRow = ground.row(y / kReduction);
        const uint8_t *bits = &ink.bits[y * ink.stride];
        for (size_t byte = 0; byte < ink.stride; ++byte) {
            if (bits[byte] == 0) // eight pixels of paper, as most of a page
                continue;
            const int end = std::min(pixels.width, int(byte) * 8 + 8);
            for (int x = int(byte) * 8; x < end; ++x) {
                const uint8_t *rgb = row + 3 * x;
                if (ink.ink(x, y) && colouredOn(rgb, groundRow + 3 * (x / kReduction))) {
                    ink.clear(x, y);
                    parts.moveToBackground(x, y, rgb);
                }
            }
        }
    }
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

// The mean of the pixels' brightest components, which the ink is told by.
double meanBrightness(const RgbPixels &pixels)
{
    uint64_t sum = 0, sampled = 0;
    for (int y = 0; y < pixels.height; y += kSampleStep) {
        const uint8_t *row = pixels.row(y);
        for (int x = 0; x < pixels.width; x += kSampleStep, ++sampled)
            sum += std::max({row[3 * x], row[3 * x + 1], row[3 * x + 2]});
    }
    return double(sum) / double(sampled);
}

double whiteShare(const Bitmap &ink)
{
    uint64_t inkPixels = 0;
    for (uint8_t byte : ink.bits)
        inkPixels += uint64_t(__builtin_popcount(byte));
    return 1.0 - double(inkPixels) / (double(ink.width) * ink.height);
}

// None where black and white would change the page's tone: on a page that
// is mostly dark or grey (white print on black, a grey photograph) the
// paper the threshold measures is dark itself, and the page came out white.
std::optional<PageLayers> bilevel(const RgbPixels &pixels)
{
    const Bitmap ink = findInk(pixels, InkIn::EveryDarkArea);
    if (std::abs(255 * whiteShare(ink) - meanBrightness(pixels)) > kMaxToneShift)
        return std::nullopt;
    return PageLayers{pixels.width, pixels.height, bitmapImage(ink, BitmapUse::BlackOnWhite), {}};
}

// None where no dark ink is left for the stencil: the whole page would be
// the reduced background, and a photograph or a page printed in colour
// would lose its detail.
std::optional<PageLayers> mixedRaster(const RgbPixels &pixels)
{
    Bitmap ink = findInk(pixels, InkIn::LightGround);
    Separation parts(pixels, ink);
    leaveColourToBackground(ink, pixels, parts);
    if (parts.inkPixels() == 0)
        return std::nullopt;
    return PageLayers{pixels.width, pixels.height, jpegImage(parts.background()),
                      InkLayer{bitmapImage(ink, BitmapUse::Stencil), parts.inkColour()}};
}

size_t storedBytes(const PageLayers &page)
{
    return page.picture.storedBytes + (page.ink ? page.ink->mask.storedBytes : 0);
}

// What the original takes in the PDF: a JPEG its own bytes; a picture
// whose samples the PDF holds Flate-coded (a TIFF), what they deflate to.
size_t originalBytes(const PageImage &original, const RgbPixels &pixels)
{
    if (original.filter == "/DCTDecode")
        return original.storedBytes;
    Pl_Discard discard;
    Pl_Count count("original page", &discard);
    Pl_Flate deflate("original page", &count, Pl_Flate::a_deflate);
    deflate.write(pixels.samples.data(), pixels.samples.size());
    deflate.finish();
    return size_t(count.getCount());
}

} // namespace

PageLayers compactPage(const PageImage &original, const std::string &path, double pixelsPerInch)
{
    if (uint64_t(original.width) * uint64_t(original.height) > kMaxPixels ||
        pixelsPerInch < kMinPixelsPerInch)
        return PageLayers::of(original);
    const RgbPixels pixels = decodePixels(original, path);
    const std::optional<PageLayers> compact =
        hasColour(pixels) ? mixedRaster(pixels) : bilevel(pixels);
    return compact && storedBytes(*compact) < originalBytes(original, pixels)
               ? *compact
               : PageLayers::of(original);
}

} // namespace zqpdf
