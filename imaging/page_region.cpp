#include "page_region.h"

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace zq::imaging
{
namespace
{

constexpr double kMinFill = 0.85;  // of its box a page's outline encloses at least this
constexpr float kReach = 3;        // pixels on either side of the box where brightness is compared
constexpr int kMinStep = 8;        // grey levels from the paper down to the desk,
constexpr int kMinStepPercent = 8; // and per cent of the paper's brightness
constexpr double kMinContrasted = 0.75;    // share of the outline in view that shows the step,
constexpr double kMinSideContrasted = 0.6; // and of each side in view

bool inside(const cv::Mat &image, cv::Point2f p)
{
    return p.x >= 1 && p.y >= 1 && p.x <= image.cols - 2 && p.y <= image.rows - 2;
}

int at(const cv::Mat &gray, cv::Point2f p)
{
    return gray.at<uint8_t>(int(std::lround(p.y)), int(std::lround(p.x)));
}

} // namespace

PageLikeness judgeRegion(const BrightRegion &region, const cv::Mat &gray)
{
    // The outline's four corners, not its box: a page seen in perspective
    // fills the box less well, and its slanted sides run off the box's.
    const Quad &c = region.hull;
    const double outlineArea =
        std::fabs(cv::contourArea(std::vector<cv::Point2f>(c.begin(), c.end())));
    double shorterSide = cv::norm(c[1] - c[0]);
    for (size_t i = 1; i < 4; ++i)
        shorterSide = std::min(shorterSide, cv::norm(c[(i + 1) % 4] - c[i]));
    if (!PageSizes(gray.size()).fit(shorterSide, outlineArea) ||
        region.area < kMinFill * outlineArea)
        return PageLikeness::None;
    cv::Point2f centre(0, 0);
    for (const cv::Point2f &p : c)
        centre += p * 0.25f;
    int cutSides = 0, inView = 0, contrasted = 0;
    for (int i = 0; i < 4; ++i) {
        const cv::Point2f a = c[i], b = c[(i + 1) % 4];
        const float length = float(cv::norm(b - a));
        if (length < 1)
            continue;
        cv::Point2f inward(a.y - b.y, b.x - a.x);
        inward /= length;
        if (inward.dot(centre - a) < 0)
            inward = -inward;
        const int samples = int(length);
        int cut = 0, sideContrasted = 0;
        for (int k = 0; k < samples; ++k) {
            const cv::Point2f p = a + (b - a) * ((k + 0.5f) / samples);
            const cv::Point2f in = p + kReach * inward, out = p - kReach * inward;
            if (!inside(gray, out) || !inside(gray, in)) {
                ++cut;
                continue;
            }
            const int step = at(gray, in) - at(gray, out);
            sideContrasted += step >= kMinStep && 100 * step >= kMinStepPercent * at(gray, in);
        }
        if (sideContrasted < kMinSideContrasted * (samples - cut))
            return PageLikeness::None;
        cutSides += 2 * cut > samples;
        inView += samples - cut;
        contrasted += sideContrasted;
    }
    if (cutSides > 1 || inView == 0 || contrasted < kMinContrasted * inView)
        return PageLikeness::None;
    return cutSides ? PageLikeness::CutByFrame : PageLikeness::Whole;
}

} // namespace zq::imaging
