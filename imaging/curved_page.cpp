#include "curved_page.h"

#include "flat_page.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace zq::imaging
{
namespace
{

constexpr int kTileRows = 64, kTileColumns = 1024; // mapped and sampled at a time

float length(cv::Point2f v)
{
    return std::hypot(v.x, v.y);
}

cv::Point2f lerp(cv::Point2f a, cv::Point2f b, float t)
{
    return a + (b - a) * t;
}

// The point at fraction `at` of the way along the polyline's points, the
// points counted as evenly spaced.
cv::Point2f along(const std::vector<cv::Point2f> &points, double at)
{
    const double place = std::clamp(at, 0.0, 1.0) * double(points.size() - 1);
    const size_t i = std::min(size_t(place), points.size() - 2);
    return lerp(points[i], points[i + 1], float(place - double(i)));
}

// The part of the frame a map samples: the bounds of its points, one
// pixel more on every side for the bilinear neighbours, within the frame.
cv::Rect sampledArea(const cv::Mat &map, cv::Size frame)
{
    float left = FLT_MAX, top = FLT_MAX, right = -FLT_MAX, bottom = -FLT_MAX;
    for (int y = 0; y < map.rows; ++y) {
        const auto *m = map.ptr<cv::Point2f>(y);
        for (int x = 0; x < map.cols; ++x) {
            left = std::min(left, m[x].x);
            right = std::max(right, m[x].x);
            top = std::min(top, m[x].y);
            bottom = std::max(bottom, m[x].y);
        }
    }
    const auto column = [&](float x) {
        return int(std::floor(std::clamp(x, -2.f, float(frame.width) + 2)));
    };
    const auto row = [&](float y) {
        return int(std::floor(std::clamp(y, -2.f, float(frame.height) + 2)));
    };
    const cv::Rect area(cv::Point(column(left) - 1, row(top) - 1),
                        cv::Point(column(right) + 3, row(bottom) + 3));
    return area & cv::Rect(cv::Point(), frame);
}

} // namespace

Quad CurvedPage::corners() const
{
    return {top.front(), top.back(), bottom.back(), bottom.front()};
}

std::vector<cv::Point2f> CurvedPage::outline(int count) const
{
    std::vector<cv::Point2f> points;
    points.reserve(size_t(2 * count));
    for (int i = 0; i < count; ++i)
        points.push_back(along(top, double(i) / (count - 1)));
    for (int i = count - 1; i >= 0; --i)
        points.push_back(along(bottom, double(i) / (count - 1)));
    return points;
}

std::optional<PageSurface> PageSurface::fit(const CurvedPage &page, cv::Size frame, double f)
{
    const size_t n = page.top.size();
    if (n < 2 || page.bottom.size() != n || !(f > 0))
        return std::nullopt;
    std::vector<float> seen(n); // each ruling's length as the camera sees it
    cv::Point2f spine(0, 0);
    for (size_t i = 0; i < n; ++i) {
        const cv::Point2f ruling = page.bottom[i] - page.top[i];
        seen[i] = length(ruling);
        if (!(seen[i] >= 2))
            return std::nullopt;
        spine += ruling;
    }
    spine /= length(spine);
    const cv::Point2f across(spine.y, -spine.x);
    std::vector<float> sorted = seen;
    std::nth_element(sorted.begin(), sorted.begin() + long(n / 2), sorted.end());
    const double height = sorted[n / 2]; // the page's height at the median ruling's depth
    const cv::Point2f centre(float(frame.width) / 2, float(frame.height) / 2);

    // Each ruling's place across the page and its height, both in pixels
    // at the median ruling's depth; the cross-section's length from ruling
    // to ruling.
    PageSurface surface;
    surface.page_ = page;
    surface.unrolled_.assign(n, 0.0);
    double lastAcross = 0, lastHeight = 0;
    for (size_t i = 0; i < n; ++i) {
        const double scale = seen[i] / height; // f / (f - z), z from the median's depth
        const cv::Point2f middle = (page.top[i] + page.bottom[i]) * 0.5f - centre;
        const double placeAcross = middle.dot(across) / scale;
        const double rise = f * (1 - 1 / scale);
        if (i > 0)
            surface.unrolled_[i] =
                surface.unrolled_[i - 1] + std::hypot(placeAcross - lastAcross, rise - lastHeight);
        lastAcross = placeAcross;
        lastHeight = rise;
    }
    const std::optional<cv::Size> size = cappedPageSize(surface.unrolled_.back(), height, frame);
    if (!size)
        return std::nullopt;
    surface.size_ = *size;
    return surface;
}

void PageSurface::warp(const cv::Mat &frame, cv::Mat &out) const
{
    // Each column of the flat page is one ruling: where it starts in the
    // frame (a guard inside the top edge) and the step down it per row.
    const int columns = size_.width, rows = size_.height;
    std::vector<cv::Point2f> start(static_cast<size_t>(columns)), step(start.size());
    const double total = unrolled_.back();
    size_t i = 0;
    for (int x = 0; x < columns; ++x) {
        const double at = (x + 0.5) * total / columns;
        while (i + 2 < unrolled_.size() && unrolled_[i + 1] < at)
            ++i;
        const double span = unrolled_[i + 1] - unrolled_[i];
        const float t = span > 0 ? float(std::clamp((at - unrolled_[i]) / span, 0.0, 1.0)) : 0.f;
        cv::Point2f top = lerp(page_.top[i], page_.top[i + 1], t);
        cv::Point2f bottom = lerp(page_.bottom[i], page_.bottom[i + 1], t);
        const cv::Point2f down = (bottom - top) / length(bottom - top);
        top += down * kEdgeGuard;
        bottom -= down * kEdgeGuard;
        step[size_t(x)] = (bottom - top) / float(rows);
        start[size_t(x)] = top + step[size_t(x)] * 0.5f;
    }
    // OpenCV's remap takes pictures of less than SHRT_MAX pixels a side:
    // the page is mapped in tiles, each from the part of the frame it
    // samples.
    cv::Mat map(std::min(rows, kTileRows), std::min(columns, kTileColumns), CV_32FC2);
    const cv::Rect wholeFrame(0, 0, frame.cols, frame.rows);
    for (int top = 0; top < rows; top += kTileRows)
        for (int left = 0; left < columns; left += kTileColumns) {
            const cv::Rect tile(left, top, std::min(kTileColumns, columns - left),
                                std::min(kTileRows, rows - top));
            cv::Mat tileMap = map(cv::Rect(cv::Point(), tile.size()));
            for (int y = 0; y < tile.height; ++y) {
                auto *m = tileMap.ptr<cv::Point2f>(y);
                for (int x = 0; x < tile.width; ++x)
                    m[x] = start[size_t(left + x)] + step[size_t(left + x)] * float(top + y);
            }
            cv::Mat into = out(tile);
            const cv::Rect source = sampledArea(tileMap, frame.size());
            if (source.empty()) {
                into.setTo(cv::Scalar::all(255));
                continue;
            }
            tileMap -= cv::Scalar(source.x, source.y);
            cv::remap(frame(source), into, tileMap, cv::noArray(), cv::INTER_LINEAR,
                      cv::BORDER_CONSTANT, cv::Scalar::all(255));
        }
}

} // namespace zq::imaging
