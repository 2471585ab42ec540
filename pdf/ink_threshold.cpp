// Sauvola and Pietikäinen, "Adaptive document image binarization" (Pattern
// Recognition 33, 2000): a pixel is ink when it is darker than
// m * (1 + k * (s / R - 1)), where m and s are the mean and the standard
// deviation of the window around it.  Paper in shadow or under uneven
// light has a low m and a low s, so its threshold falls below it and it
// stays paper; at the edge of a stroke s is high and the threshold rises
// close to m, so that light and thin strokes are kept.
//
// The window's statistics come from tiles rather than from each pixel's
// own window: a tile's threshold is that of the window of tiles around
// it, and the threshold between tile centres is interpolated bilinearly,
// so that it varies smoothly across the page.  Exact windows would take
// two integral images of 64-bit sums, 16 bytes a pixel, and a
// multiple of the time, for thresholds that differ from these only in
// detail far finer than a window.
#include "ink_threshold.h"

#include <algorithm>
#include <cmath>

namespace zqpdf
{
namespace
{

constexpr double kSensitivity = 0.2;  // Sauvola's k; his 0.5 loses light strokes
constexpr double kDynamicRange = 128; // Sauvola's R: the largest standard deviation of 8 bits
constexpr int kTile = 16;             // pixels a side
// Tiles on each side of a tile in its window: a window of 112 pixels,
// several lines of body text at 300 dpi, so that the inside of a letter
// is judged beside paper.
constexpr int kWindowRadius = 3;
// The paper's brightness is that of the tiles brighter than 90 % of them.
constexpr double kPaperPercentile = 0.9;
// InkIn::EveryDarkArea: pixels darker than this share of the paper are
// ink whatever their window.  A dark desk or picture, where Sauvola's
// threshold follows the texture into a speckle, becomes solid; paper in
// shadow or uneven light stays brighter than this.
constexpr double kDarkArea = 0.35;
// InkIn::LightGround: windows darker on average than this share of the
// paper hold no ink.
constexpr double kLightGround = 0.6;

// The brightest component of each pixel, row by row.
std::vector<uint8_t> brightest(const RgbPixels &pixels)
{
    std::vector<uint8_t> values(size_t(pixels.width) * pixels.height);
    const uint8_t *rgb = pixels.samples.data();
    for (uint8_t &value : values) {
        value = std::max(std::max(rgb[0], rgb[1]), rgb[2]);
        rgb += 3;
    }
    return values;
}

// Per tile, the sums of the values and of their squares, and the pixels.
struct TileSums {
    int columns;
    int rows;
    std::vector<uint64_t> sum, squares, count;
};

TileSums tileSums(const std::vector<uint8_t> &values, int width, int height)
{
    TileSums tiles{(width + kTile - 1) / kTile, (height + kTile - 1) / kTile, {}, {}, {}};
    const size_t size = size_t(tiles.columns) * tiles.rows;
    tiles.sum.resize(size);
    tiles.squares.resize(size);
    tiles.count.resize(size);
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = &values[size_t(y) * width];
        const size_t rowStart = size_t(y / kTile) * tiles.columns;
        for (int column = 0; column < tiles.columns; ++column) {
            const int end = std::min(width, (column + 1) * kTile);
            uint32_t sum = 0, squares = 0;
            for (int x = column * kTile; x < end; ++x) {
                sum += row[x];
                squares += uint32_t(row[x]) * row[x];
            }
            tiles.sum[rowStart + column] += sum;
            tiles.squares[rowStart + column] += squares;
            tiles.count[rowStart + column] += uint64_t(end - column * kTile);
        }
    }
    return tiles;
}

// Sums over any rectangle of tiles, from a table of the sums above and
// left of each tile corner.
class IntegralTable
{
  public:
    IntegralTable(const std::vector<uint64_t> &values, int columns, int rows)
        : columns_(columns), table_(size_t(columns + 1) * (rows + 1))
    {
        for (int y = 0; y < rows; ++y) {
            uint64_t across = 0;
            for (int x = 0; x < columns; ++x) {
                across += values[size_t(y) * columns + x];
                at(x + 1, y + 1) = at(x + 1, y) + across;
            }
        }
    }
    // The tiles from (x0, y0) up to, not including, (x1, y1).
    uint64_t sum(int x0, int y0, int x1, int y1) const
    {
        return at(x1, y1) - at(x0, y1) - at(x1, y0) + at(x0, y0);
    }

  private:
    uint64_t &at(int x, int y) { return table_[size_t(y) * (columns_ + 1) + x]; }
    uint64_t at(int x, int y) const { return table_[size_t(y) * (columns_ + 1) + x]; }

    int columns_;
    std::vector<uint64_t> table_;
};

// The brightness of the page's paper: that of its bright tiles, not the
// brightest (a glare, a white border), nor, on a page with a dark desk or
// picture around it, the typical.
double paperLevel(const TileSums &tiles)
{
    std::vector<double> means(tiles.sum.size());
    for (size_t i = 0; i < means.size(); ++i)
        means[i] = double(tiles.sum[i]) / double(tiles.count[i]);
    const auto at = means.begin() + std::ptrdiff_t(double(means.size() - 1) * kPaperPercentile);
    std::nth_element(means.begin(), at, means.end());
    return *at;
}

// Sauvola's threshold at each tile's centre, its window's mean set against
// the paper's brightness as `where` says.
std::vector<float> tileThresholds(const TileSums &tiles, InkIn where)
{
    const double paper = paperLevel(tiles);
    const IntegralTable sum(tiles.sum, tiles.columns, tiles.rows);
    const IntegralTable squares(tiles.squares, tiles.columns, tiles.rows);
    const IntegralTable count(tiles.count, tiles.columns, tiles.rows);
    std::vector<float> thresholds(size_t(tiles.columns) * tiles.rows);
    for (int ty = 0; ty < tiles.rows; ++ty) {
        const int y0 = std::max(0, ty - kWindowRadius);
        const int y1 = std::min(tiles.rows, ty + kWindowRadius + 1);
        for (int tx = 0; tx < tiles.columns; ++tx) {
            const int x0 = std::max(0, tx - kWindowRadius);
            const int x1 = std::min(tiles.columns, tx + kWindowRadius + 1);
            const double n = double(count.sum(x0, y0, x1, y1));
            const double mean = double(sum.sum(x0, y0, x1, y1)) / n;
            const double variance = double(squares.sum(x0, y0, x1, y1)) / n - mean * mean;
            const double deviation = std::sqrt(std::max(0.0, variance));
            double threshold = mean * (1 + kSensitivity * (deviation / kDynamicRange - 1));
            if (where == InkIn::EveryDarkArea)
                threshold = std::max(threshold, kDarkArea * paper);
            else if (mean < kLightGround * paper)
                threshold = 0;
            thresholds[size_t(ty) * tiles.columns + tx] = float(threshold);
        }
    }
    return thresholds;
}

// Where a pixel lies between the centres of two neighbouring tiles: the
// nearer ones on either side (one and the same at the picture's edges),
// and the weight of the second.
struct Between {
    int first;
    int second;
    float weight;
};

std::vector<Between> betweenCentres(int pixels, int tiles)
{
    std::vector<Between> positions(pixels);
    for (int i = 0; i < pixels; ++i) {
        const float at = (float(i) + 0.5f) / kTile - 0.5f;
        const int first = std::clamp(int(std::floor(at)), 0, tiles - 1);
        const int second = std::min(first + 1, tiles - 1);
        positions[i] = {first, second, std::clamp(at - float(first), 0.0f, 1.0f)};
    }
    return positions;
}

float lerp(float a, float b, float weight)
{
    return a + (b - a) * weight;
}

} // namespace

Bitmap findInk(const RgbPixels &pixels, InkIn where)
{
    const int width = pixels.width;
    const std::vector<uint8_t> values = brightest(pixels);
    const TileSums tiles = tileSums(values, width, pixels.height);
    const std::vector<float> thresholds = tileThresholds(tiles, where);
    const std::vector<Between> across = betweenCentres(width, tiles.columns);
    const std::vector<Between> down = betweenCentres(pixels.height, tiles.rows);

    Bitmap ink(width, pixels.height);
    std::vector<float> tileRow(tiles.columns);
    for (int y = 0; y < pixels.height; ++y) {
        const Between &v = down[y];
        const float *upper = &thresholds[size_t(v.first) * tiles.columns];
        const float *lower = &thresholds[size_t(v.second) * tiles.columns];
        for (int tx = 0; tx < tiles.columns; ++tx)
            tileRow[tx] = lerp(upper[tx], lower[tx], v.weight);
        const uint8_t *row = &values[size_t(y) * width];
        uint8_t *bits = &ink.bits[y * ink.stride];
        for (int x = 0; x < width; ++x) {
            const Between &h = across[x];
            const bool isInk = row[x] < lerp(tileRow[h.first], tileRow[h.second], h.weight);
            bits[x / 8] |= uint8_t(isInk << (7 - x % 8));
        }
    }
    return ink;
}

} // namespace zqpdf
