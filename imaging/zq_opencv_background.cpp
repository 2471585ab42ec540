// Background clearing: paper turns white, evenly across the page, before
// a capture is saved.
#include "image_support.h"
#include "zq_opencv_internal.h"

#include <opencv2/imgproc.hpp>

#include <array>
#include <cstdint>
#include <vector>

using namespace zq::imaging;

namespace
{

constexpr int kCell = 4;                  // white levels are kept per cell of 4 x 4 pixels
constexpr int kBlocks = 10;               // the white level is measured in 10 x 10 blocks of cells
constexpr int kMinSize = kCell * kBlocks; // smaller frames have blocks without cells

// The cell grid of a frame.  Pixels past the last whole cell belong to no
// cell and are not brightened.
struct CellGrid {
    explicit CellGrid(int width, int height)
        : rows(height / kCell), cols(width / kCell), perRow(height / kMinSize),
          perCol(width / kMinSize), perRowHalf(height / (2 * kMinSize)),
          perColHalf(width / (2 * kMinSize)), iTvalue(static_cast<int>(rows * cols * 0.05 / 100.0))
    {
    }

    int rows, cols;
    int perRow, perCol;         // nominal block size in cells
    int perRowHalf, perColHalf; // where the first block's level is placed
    int iTvalue;                // samples a block needs at or above its white level

    int seedRow(int k) const { return perRowHalf + k * perRow; }
    int seedCol(int m) const { return perColHalf + m * perCol; }
};

// A byte from a scaled value: truncated toward zero, limited to 0..255.
uint8_t truncatedByte(double v)
{
    return v >= 255.0 ? 255 : v > 0.0 ? static_cast<uint8_t>(v) : 0;
}

// The grey value of every cell's top-left pixel, the one sample taken per
// cell.
cv::Mat cellSamples(const cv::Mat &frame, const CellGrid &grid)
{
    cv::Mat samples(grid.rows, grid.cols, CV_8UC3);
    for (int i = 0; i < grid.rows; ++i)
        for (int j = 0; j < grid.cols; ++j)
            samples.at<cv::Vec3b>(i, j) = frame.at<cv::Vec3b>(kCell * i, kCell * j);
    cv::Mat gray;
    cv::cvtColor(samples, gray, cv::COLOR_BGR2GRAY);
    return gray;
}

// A block's white level: the highest grey value that at least iTvalue of
// its samples reach; 0 when too few samples are in the block.
int whiteLevel(const cv::Mat &gray, cv::Range rows, cv::Range cols, int iTvalue)
{
    std::array<int, 256> histogram{};
    for (int i = rows.start; i < rows.end; ++i)
        for (int j = cols.start; j < cols.end; ++j)
            ++histogram[gray.at<uchar>(i, j)];
    int sum = 0;
    for (int n = 255; n >= 0; --n) {
        sum += histogram[n];
        if (sum >= iTvalue)
            return n;
    }
    return 0;
}

// Fills a line of n values from ten seeds at first, first + step, ...:
// before the first and after the last seed their value, in between a
// linear ramp truncated toward zero.
template <typename At> void interpolateLine(At at, int n, int first, int step)
{
    for (int r = 0; r < first; ++r)
        at(r) = at(first);
    for (int t = 1; t < kBlocks; ++t) {
        const int from = first + (t - 1) * step, to = first + t * step;
        const int a = at(from);
        const double slope = static_cast<double>(at(to) - a) / step;
        for (int r = from; r < to; ++r)
            at(r) = static_cast<int>((r - from) * slope + a);
    }
    const int last = first + (kBlocks - 1) * step;
    for (int r = last + 1; r < n; ++r)
        at(r) = at(last);
}

// The white level of every cell: the blocks' levels placed at the block
// centres, spread down the seed columns, then along every row.
std::vector<int> cellWhiteLevels(const cv::Mat &gray, const CellGrid &grid)
{
    std::vector<int> threshold(size_t(grid.rows) * grid.cols, 0);
    const auto cell = [&](int i, int j) -> int & { return threshold[size_t(i) * grid.cols + j]; };
    for (int k = 0; k < kBlocks; ++k)
        for (int l = 0; l < kBlocks; ++l) {
            const cv::Range rows(k * grid.rows / kBlocks, (k + 1) * grid.rows / kBlocks);
            const cv::Range cols(l * grid.cols / kBlocks, (l + 1) * grid.cols / kBlocks);
            cell(grid.seedRow(k), grid.seedCol(l)) = whiteLevel(gray, rows, cols, grid.iTvalue);
        }
    for (int m = 0; m < kBlocks; ++m) {
        const int col = grid.seedCol(m);
        interpolateLine([&](int r) -> int & { return cell(r, col); }, grid.rows, grid.seedRow(0),
                        grid.perRow);
    }
    for (int r = 0; r < grid.rows; ++r)
        interpolateLine([&](int c) -> int & { return cell(r, c); }, grid.cols, grid.seedCol(0),
                        grid.perCol);
    return threshold;
}

// Byte tables of the gain min(2, target / level) for the white levels
// met, each made the first time it is needed.
class GainTables
{
  public:
    explicit GainTables(int target) : target_(target) {}

    const uint8_t *forLevel(int level)
    {
        std::vector<uint8_t> &table = tables_[static_cast<size_t>(level)];
        if (table.empty()) {
            const double gain = std::min(2.0, static_cast<double>(target_) / level);
            table.resize(256);
            for (int v = 0; v < 256; ++v)
                table[v] = truncatedByte(v * gain);
        }
        return table.data();
    }

  private:
    int target_;
    std::array<std::vector<uint8_t>, 256> tables_;
};

// Applies each cell's gain to its 16 pixels; cells of white level 0 (dark
// areas) keep their bytes.
void applyGains(cv::Mat &frame, const CellGrid &grid, const std::vector<int> &threshold, int b)
{
    GainTables gains(b);
    for (int i = 0; i < grid.rows; ++i) {
        const int *levels = &threshold[size_t(i) * grid.cols];
        for (int y = kCell * i; y < kCell * (i + 1); ++y) {
            uint8_t *row = frame.ptr<uint8_t>(y);
            for (int j = 0; j < grid.cols; ++j) {
                if (levels[j] <= 0)
                    continue;
                const uint8_t *table = gains.forLevel(levels[j]);
                uint8_t *cellBytes = row + 3 * kCell * j;
                for (int x = 0; x < 3 * kCell; ++x)
                    cellBytes[x] = table[cellBytes[x]];
            }
        }
    }
}

bool isColourFrame(const IplImage *img)
{
    return img && img->depth == IPL_DEPTH_8U && img->nChannels == 3;
}

} // namespace

void BrightnessBalance(IplImage *SrcImage, int b)
{
    guarded([&] {
        if (!isColourFrame(SrcImage) || SrcImage->width < kMinSize || SrcImage->height < kMinSize)
            return;
        cv::Mat frame = cv::cvarrToMat(SrcImage);
        const CellGrid grid(frame.cols, frame.rows);
        const std::vector<int> threshold = cellWhiteLevels(cellSamples(frame, grid), grid);
        applyGains(frame, grid, threshold, b);
    });
}

void ChangeLightContrast(IplImage *imgIn, double contrast, double light)
{
    guarded([&] {
        if (!isColourFrame(imgIn))
            return;
        const double mid = light - (contrast - 1.0) * 127.0;
        cv::Mat table(1, 256, CV_8U);
        for (int v = 0; v < 256; ++v)
            table.at<uchar>(v) = truncatedByte(v * contrast + mid);
        cv::Mat image = cv::cvarrToMat(imgIn);
        cv::LUT(image, table, image);
    });
}

int zq_scanner_clear_background(unsigned char *buffer, int width, int height)
{
    return guarded(1, [&] {
        if (!isUsableFrame(buffer, width, height) || width < kMinSize || height < kMinSize)
            return 1;
        PackedFrame frame(buffer, width, height);
        BrightnessBalance(frame.image(), 1000);
        ChangeLightContrast(frame.image(), 1.15, 8.0);
        return 1;
    });
}
