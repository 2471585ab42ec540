#include "test_pattern.h"

#include <cstring>

namespace zq::sim
{

const std::array<Rgb, 8> &colourBars75()
{
    // 75 % of full scale on the 0..255 range.
    static const std::array<Rgb, 8> bars = {{
        {191, 191, 191},
        {191, 191, 0},
        {0, 191, 191},
        {0, 191, 0},
        {191, 0, 191},
        {191, 0, 0},
        {0, 0, 191},
        {0, 0, 0},
    }};
    return bars;
}

std::vector<uint8_t> renderColourBars(int width, int height)
{
    if (width <= 0 || height <= 0)
        return {};
    const size_t row = size_t(width) * 3;
    std::vector<uint8_t> rgb(row * size_t(height));
    const auto &bars = colourBars75();
    for (int x = 0; x < width; ++x)
        std::memcpy(&rgb[size_t(x) * 3], bars[size_t(x) * bars.size() / size_t(width)].data(), 3);
    for (int y = 1; y < height; ++y)
        std::memcpy(&rgb[size_t(y) * row], rgb.data(), row);
    return rgb;
}

} // namespace zq::sim
