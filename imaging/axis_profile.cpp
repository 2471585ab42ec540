#include "axis_profile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace zq::imaging
{
namespace
{

constexpr int kNear = 2, kFar = 5; // plateaus: places [t + 2, t + 5) and (t - 5, t - 2]
constexpr int kPlateau = kFar - kNear;

} // namespace

std::optional<AxisProfile> AxisProfile::read(const cv::Mat &frame, cv::Point from, bool vertical,
                                             int sign, int length)
{
    const int start = vertical ? from.y : from.x, across = vertical ? from.x : from.y;
    const int last = start + sign * (length - 1);
    const int size = vertical ? frame.rows : frame.cols, width = vertical ? frame.cols : frame.rows;
    if (length < 1 || length > kMaxLength || std::min(start, last) < 0 ||
        std::max(start, last) >= size || across < 1 || across + 1 >= width)
        return std::nullopt;
    AxisProfile p;
    p.from_ = from;
    p.axis_ = vertical ? cv::Point2f(0, float(sign)) : cv::Point2f(float(sign), 0);
    p.length_ = length;
    const ptrdiff_t step = sign * (vertical ? ptrdiff_t(frame.step) : 3);
    const ptrdiff_t beside = vertical ? 3 : ptrdiff_t(frame.step);
    const uint8_t *pixel = frame.ptr<uint8_t>(from.y) + 3 * from.x;
    p.prefix_[0] = cv::Vec3i(0, 0, 0);
    for (int t = 0; t < length; ++t, pixel += step)
        for (int c = 0; c < 3; ++c)
            p.prefix_[size_t(t + 1)][c] =
                p.prefix_[size_t(t)][c] + pixel[c - beside] + pixel[c] + pixel[c + beside];
    return p;
}

int AxisProfile::sum(int from, int to, int channel) const
{
    return prefix_[size_t(to)][channel] - prefix_[size_t(from)][channel];
}

int AxisProfile::plateauStep(int t, int *channel) const
{
    int best = 0;
    for (int c = 0; c < 3; ++c) {
        const int after = sum(t + kNear, t + kFar, c), before = sum(t - kFar + 1, t - kNear + 1, c);
        const int step = std::abs(after - before);
        if (step > best) {
            best = step;
            if (channel)
                *channel = c;
        }
    }
    return best / (3 * kPlateau);
}

int AxisProfile::strongestStep(int first, int last) const
{
    first = std::max(first, kFar - 1);
    last = std::min(last, length_ - kFar);
    int best = -1, bestStep = -1;
    for (int t = first; t <= last; ++t)
        if (const int s = plateauStep(t); s > bestStep) {
            bestStep = s;
            best = t;
        }
    return best;
}

int AxisProfile::firstRise(int first, int last, int minRise) const
{
    first = std::max(first, kFar - 1);
    last = std::min(last, length_ - kFar);
    const auto rise = [&](int t) {
        int r = 0;
        for (int c = 0; c < 3; ++c)
            r += sum(t + kNear, t + kFar, c) - sum(t - kFar + 1, t - kNear + 1, c);
        return r / (9 * kPlateau);
    };
    for (int t = first; t <= last; ++t)
        if (rise(t) >= minRise) {
            while (t < last && rise(t + 1) > rise(t))
                ++t;
            return t;
        }
    return -1;
}

int AxisProfile::lastStep(int first, int last, int minStep) const
{
    first = std::max(first, kFar - 1);
    last = std::min(last, length_ - kFar);
    for (int t = last; t >= first; --t)
        if (plateauStep(t) >= minStep) {
            while (t > first && plateauStep(t - 1) > plateauStep(t))
                --t;
            return t;
        }
    return -1;
}

float AxisProfile::stepMiddle(int t) const
{
    int channel = 0;
    plateauStep(t, &channel);
    const auto gradient = [&](int k) {
        return std::abs(sum(k + 1, k + 2, channel) - sum(k - 1, k, channel));
    };
    int peak = t;
    for (int k = std::max(1, t - 1); k <= std::min(length_ - 2, t + 1); ++k)
        if (gradient(k) > gradient(peak))
            peak = k;
    if (peak < 2 || peak > length_ - 3)
        return float(peak);
    // The peak between its neighbours, to a fraction of a place.
    const double l = gradient(peak - 1), m = gradient(peak), r = gradient(peak + 1);
    const double curve = l - 2 * m + r;
    const double offset = curve < 0 ? std::clamp(0.5 * (l - r) / curve, -0.5, 0.5) : 0.0;
    return float(peak + offset);
}

int AxisProfile::grey(int t) const
{
    return (sum(t, t + 1, 0) + sum(t, t + 1, 1) + sum(t, t + 1, 2)) / 9;
}

} // namespace zq::imaging
