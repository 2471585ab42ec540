// Background clearing: paper turns white, evenly across the page, before
// a capture is saved.
#include "byte_curve.h"
#include "image_support.h"
#include "zq_opencv_internal.h"

#include <opencv2/imgproc.hpp>

#include <array>
#include <cstdint>
#include <map>
#include <vector>

using namespace zq::imaging;

namespace
{

constexpr int kCell = 4;                  // white levels are kept per cell of 4 x 4 pixels
constexpr int kBlocks = 10;               // the white level is measured in 10 x 10 blocks of cells
constexpr int kMinSize = kCell * kBlocks; // smaller frames have blocks without cells
// What clearing the background does: brighten towards this white level,
// then raise the contrast.
constexpr int kClearingTarget = 1000;
constexpr double kClearingContrast = 1.15;
constexpr double kClearingLight = 8.0;

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
    for (int i = 0; i < grid.rows; ++i) {
        const uint8_t *in = frame.ptr<uint8_t>(kCell * i);
        uint8_t *out = samples.ptr<uint8_t>(i);
        for (int j = 0; j < grid.cols; ++j, in += 3 * kCell, out += 3)
            std::copy(in, in + 3, out);
    }
    cv::Mat gray;
    cv::cvtColor(samples, gray, cv::COLOR_BGR2GRAY);
    return gray;
}

// A block's white level: the highest grey value that at least iTvalue of
// its samples reach; 0 when too few samples are in the block.
int whiteLevel(const cv::Mat &gray, cv::Range rows, cv::Range cols, int iTvalue)
{
    std::array<int, 256> histogram{};
    for (int i = rows.start; i < rows.end; ++i) {
        const uint8_t *row = gray.ptr<uint8_t>(i);
        for (int j = cols.start; j < cols.end; ++j)
            ++histogram[row[j]];
    }
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

ByteCurve::Table gainTable(double gain)
{
    ByteCurve::Table table;
    for (int v = 0; v < 256; ++v)
        table[v] = truncatedByte(v * gain);
    return table;
}

ByteCurve::Table contrastTable(double contrast, double light)
{
    const double mid = light - (contrast - 1.0) * 127.0;
    ByteCurve::Table table;
    for (int v = 0; v < 256; ++v)
        table[v] = truncatedByte(v * contrast + mid);
    return table;
}

// The curves of the cells: the gain min(2, target / level) of the cell's
// white level, followed by a fixed curve when there is one.  Cells of white
// level 0 (dark areas) get no gain.  Each curve is made the first time a
// cell needs it; the usual target makes one gain for all lit cells.
class CellCurves
{
  public:
    CellCurves(int target, const ByteCurve *after) : target_(target), after_(after) {}

    // Null: the cell stays as it is.
    const ByteCurve *forLevel(int level)
    {
        if (level <= 0)
            return after_;
        const ByteCurve *&curve = byLevel_[size_t(std::min(level, 255))];
        if (!curve)
            curve = &forGain(std::min(2.0, static_cast<double>(target_) / level));
        return curve;
    }

  private:
    const ByteCurve &forGain(double gain)
    {
        auto found = byGain_.find(gain);
        if (found == byGain_.end()) {
            ByteCurve::Table table = gainTable(gain);
            if (after_)
                for (uint8_t &v : table)
                    v = (*after_)(v);
            found = byGain_.emplace(gain, ByteCurve(table)).first;
        }
        return found->second;
    }

    int target_;
    const ByteCurve *after_;
    std::map<double, ByteCurve> byGain_;
    std::array<const ByteCurve *, 256> byLevel_{};
};

// Puts every pixel of a cell through the cell's curve, and the pixels past
// the last whole cell through outside (null: unchanged).  Neighbouring
// cells with the same curve are one run of bytes.
void applyCellCurves(cv::Mat &frame, const CellGrid &grid, const std::vector<int> &threshold,
                     CellCurves &curves, const ByteCurve *outside)
{
    struct Run {
        int first, end;
        const ByteCurve *curve;
    };
    constexpr int kCellBytes = 3 * kCell;
    const size_t rowBytes = size_t(frame.cols) * 3;
    const size_t cellBytes = size_t(grid.cols) * kCellBytes;
    std::vector<Run> runs;
    for (int i = 0; i < grid.rows; ++i) {
        runs.clear();
        for (int j = 0; j < grid.cols; ++j) {
            const ByteCurve *curve = curves.forLevel(threshold[size_t(i) * grid.cols + j]);
            if (!runs.empty() && runs.back().curve == curve)
                runs.back().end = j + 1;
            else
                runs.push_back({j, j + 1, curve});
        }
        for (int y = kCell * i; y < kCell * (i + 1); ++y) {
            uint8_t *row = frame.ptr<uint8_t>(y);
            for (const Run &run : runs)
                if (run.curve)
                    run.curve->apply(row + size_t(run.first) * kCellBytes,
                                     size_t(run.end - run.first) * kCellBytes);
            if (outside)
                outside->apply(row + cellBytes, rowBytes - cellBytes);
        }
    }
    if (outside)
        for (int y = kCell * grid.rows; y < frame.rows; ++y)
            outside->apply(frame.ptr<uint8_t>(y), rowBytes);
}

// The white levels of the frame's cells.
std::vector<int> whiteLevels(const cv::Mat &frame, const CellGrid &grid)
{
    return cellWhiteLevels(cellSamples(frame, grid), grid);
}

bool isColourFrame(const IplImage *img)
{
    return img && img->depth == IPL_DEPTH_8U && img->nChannels == 3;
}

} // namespace

void BrightnessBalance(IplImage *SrcImage, int b)
{
    guarded("BrightnessBalance", [&] {
        if (!isColourFrame(SrcImage) || SrcImage->width < kMinSize || SrcImage->height < kMinSize)
            return;
        cv::Mat frame = cv::cvarrToMat(SrcImage);
        const CellGrid grid(frame.cols, frame.rows);
        CellCurves gains(b, nullptr);
        applyCellCurves(frame, grid, whiteLevels(frame, grid), gains, nullptr);
    });
}

void ChangeLightContrast(IplImage *imgIn, double contrast, double light)
{
    guarded("ChangeLightContrast", [&] {
        if (!isColourFrame(imgIn))
            return;
        const ByteCurve curve(contrastTable(contrast, light));
        cv::Mat image = cv::cvarrToMat(imgIn);
        for (int y = 0; y < image.rows; ++y)
            curve.apply(image.ptr<uint8_t>(y), size_t(image.cols) * 3);
    });
}

// The gain and the contrast curve in one pass: each byte goes through the
// two curves composed into one.
int zq_scanner_clear_background(unsigned char *buffer, int width, int height)
{
    return guarded("zq_scanner_clear_background", 1, [&] {
        if (!acceptFrame(buffer, width, height) || width < kMinSize || height < kMinSize)
            return 1;
        PackedFrame packed(buffer, width, height);
        cv::Mat frame = packed.mat();
        const CellGrid grid(width, height);
        const ByteCurve contrast(contrastTable(kClearingContrast, kClearingLight));
        CellCurves curves(kClearingTarget, &contrast);
        applyCellCurves(frame, grid, whiteLevels(frame, grid), curves, &contrast);
        return 1;
    });
}
