// Test patterns as video drivers draw them when no real sensor is behind
// the node, so that frames can be checked pixel by pixel.
#ifndef ZQ_SIM_TEST_PATTERN_H
#define ZQ_SIM_TEST_PATTERN_H

#include <array>
#include <cstdint>
#include <vector>

namespace zq::sim
{

using Rgb = std::array<uint8_t, 3>;

// The eight bars of the 75 % colour-bar pattern, left to right: white,
// yellow, cyan, green, magenta, red, blue, black.
const std::array<Rgb, 8> &colourBars75();

// Renders the 75 % colour bars, eight vertical bars of equal width, into
// width * height RGB24 pixels.
std::vector<uint8_t> renderColourBars(int width, int height);

} // namespace zq::sim

#endif
