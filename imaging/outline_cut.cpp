#include "outline_cut.h"

#include "box_warp.h"
#include "image_support.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zq::imaging
{
namespace
{

// Truncates toward zero like a plain conversion, but saturates instead of
// overflowing for points far outside any frame.
int truncateToInt(double v)
{
    if (!(v > INT32_MIN))
        return INT32_MIN;
    return v < INT32_MAX ? static_cast<int>(v) : INT32_MAX;
}

// The part of the rectangle that lies in the frame; empty when none does.
cv::Rect clipToFrame(int64_t x, int64_t y, int64_t w, int64_t h, cv::Size frame)
{
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(x + w, frame.width);
    const int64_t bottom = std::min<int64_t>(y + h, frame.height);
    if (right <= left || bottom <= top)
        return {};
    return {int(left), int(top), int(right - left), int(bottom - top)};
}

cv::Rect alignedBox(const std::array<cv::Point, 4> &p, cv::Size frame)
{
    int64_t x = p[0].x, y = p[0].y;
    for (const cv::Point &corner : p) {
        x = std::min<int64_t>(x, corner.x);
        y = std::min<int64_t>(y, corner.y);
    }
    const int64_t w = std::llabs(int64_t(p[0].x) - p[2].x);
    const int64_t h = std::llabs(int64_t(p[0].y) - p[2].y);
    return clipToFrame(x, y, w, h, frame);
}

int64_t squaredDistance(const cv::Point &p)
{
    return int64_t(p.x) * p.x + int64_t(p.y) * p.y;
}

cv::Rect turnedBox(const std::array<cv::Point, 4> &corners, float turn, cv::Size frame)
{
    const std::array<cv::Point, 4> p = turnedPoints(corners, turn, frame);
    const auto byDistance = [](const cv::Point &a, const cv::Point &b) {
        return squaredDistance(a) < squaredDistance(b);
    };
    // Both searches keep the first of equal distances.
    const cv::Point nearest = *std::min_element(p.begin(), p.end(), byDistance);
    const cv::Point farthest = *std::max_element(p.begin(), p.end(), byDistance);
    int64_t x = nearest.x, y = nearest.y;
    int64_t w = std::llabs(int64_t(farthest.x) - nearest.x);
    int64_t h = std::llabs(int64_t(farthest.y) - nearest.y);
    if (x < 0) {
        w += x;
        x = 0;
    }
    if (y < 0) {
        h += y;
        y = 0;
    }
    if (x + w > frame.width)
        w = frame.width - x - 1;
    if (y + h > frame.height)
        h = frame.height - y - 1;
    if (w <= 0 || h <= 0)
        return {};
    return {int(x), int(y), int(w), int(h)};
}

} // namespace

cv::Mat rotationMatrix(cv::Size frame, float degree)
{
    const cv::Point2f centre(static_cast<float>(frame.width / 2),
                             static_cast<float>(frame.height / 2));
    return cv::getRotationMatrix2D(centre, degree, 1.0);
}

std::array<cv::Point, 4> turnedPoints(const std::array<cv::Point, 4> &points, float degree,
                                      cv::Size frame)
{
    const cv::Mat m = rotationMatrix(frame, degree);
    const double *r0 = m.ptr<double>(0), *r1 = m.ptr<double>(1);
    std::array<cv::Point, 4> turned;
    for (size_t i = 0; i < 4; ++i) {
        const double x = points[i].x, y = points[i].y;
        turned[i].x = truncateToInt(r0[0] * x + r0[1] * y + r0[2]);
        turned[i].y = truncateToInt(r1[0] * x + r1[1] * y + r1[2]);
    }
    return turned;
}

std::optional<BoxCut> planBoxCut(const PageOutline &outline, cv::Size frame)
{
    BoxCut cut;
    if (outline.angle == 0.0) {
        cut.box = alignedBox(outline.box, frame);
    } else if (std::isfinite(outline.angle)) {
        cut.turn = straighteningTurn(outline.angle);
        cut.box = turnedBox(outline.box, *cut.turn, frame);
    }
    if (cut.box.empty())
        return std::nullopt;
    return cut;
}

void cutBox(const cv::Mat &frame, const BoxCut &cut, cv::Mat &out)
{
    if (cut.turn)
        warpBox(frame, rotationMatrix(frame.size(), *cut.turn), cut.box, out);
    else
        frame(cut.box).copyTo(out);
}

std::optional<OutlineCut> planOutlineCut(const PageOutline &outline, cv::Size frame)
{
    if (const std::optional<Quad> page = measuredIn(outline, frame)) {
        if (const std::optional<FlatCut> flat = planFlatCut(*page, frame))
            return *flat;
        return std::nullopt;
    }
    if (const std::optional<BoxCut> box = planBoxCut(outline, frame))
        return *box;
    return std::nullopt;
}

cv::Size cutSize(const OutlineCut &cut)
{
    if (const FlatCut *flat = std::get_if<FlatCut>(&cut))
        return flat->size;
    return std::get<BoxCut>(cut).box.size();
}

void cutOutline(const cv::Mat &frame, const OutlineCut &cut, cv::Mat &out)
{
    if (const FlatCut *flat = std::get_if<FlatCut>(&cut))
        warpFlatPage(frame, flat->corners, out);
    else
        cutBox(frame, std::get<BoxCut>(cut), out);
}

} // namespace zq::imaging
