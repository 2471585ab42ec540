#include "quad.h"

#include <algorithm>

namespace zq::imaging
{

Quad clockwiseFromTopLeft(Quad q)
{
    double twiceArea = 0;
    for (int i = 0; i < 4; ++i)
        twiceArea += q[i].cross(q[(i + 1) % 4]);
    // With y downwards a positive area runs clockwise on screen.
    if (twiceArea < 0)
        std::reverse(q.begin(), q.end());
    const auto first = std::min_element(
        q.begin(), q.end(), [](cv::Point2f a, cv::Point2f b) { return a.dot(a) < b.dot(b); });
    std::rotate(q.begin(), first, q.end());
    return q;
}

Quad uprightOrder(Quad q)
{
    size_t top = 0;
    float mostLevel = -2;
    for (size_t i = 0; i < 4; ++i) {
        const cv::Point2f side = q[(i + 1) % 4] - q[i];
        const float level = side.x / float(cv::norm(side));
        if (level > mostLevel) {
            mostLevel = level;
            top = i;
        }
    }
    std::rotate(q.begin(), q.begin() + long(top), q.end());
    return q;
}

} // namespace zq::imaging
