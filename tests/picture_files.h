// Picture files for the PDF tests and benchmarks, written the way the
// capture writes them (RGB JPEG through libjpeg; JPEG-compressed RGB TIFF
// through libtiff), and read back for comparisons.
#ifndef ZQ_TESTS_PICTURE_FILES_H
#define ZQ_TESTS_PICTURE_FILES_H

#include <cstdint>
#include <string>
#include <vector>

namespace zq::test
{

struct Picture {
    int width = 0;
    int height = 0;
    int components = 3; // 3: RGB, 1: grey, 4: CMYK (JPEG only)
    std::vector<uint8_t> samples;
};

// A page on a desk rendered by the virtual camera's scene; `variant` moves
// and turns the page so that pictures differ.
Picture renderedPage(int width, int height, int variant = 0);
// The same picture with one grey sample per pixel.
Picture toGrey(const Picture &rgb);

void writeJpeg(const std::string &path, const Picture &picture, int quality);
// compression is a libtiff COMPRESSION_ value; quality is used for JPEG;
// rowsPerStrip 0 leaves libtiff's choice.
void writeTiff(const std::string &path, const Picture &picture, int compression, int quality,
               int rowsPerStrip = 0);

enum class JpegDecoding {
    Default,
    // The floating-point inverse DCT, rounded once, and chroma repeated
    // rather than smoothed: a block decodes to the same pixels whichever
    // way it was turned.
    TurnInvariant,
};
// Decodes a JPEG file to RGB.
Picture readJpeg(const std::string &path, JpegDecoding decoding = JpegDecoding::Default);
// Reads a binary PPM (P6) file, as poppler's tools write them.
Picture readPpm(const std::string &path);

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &bytes);

// Mean absolute difference of two pictures of the same size, per sample.
double meanDifference(const Picture &a, const Picture &b);
// The picture shrunk by averaging blocks of block x block pixels (a partial
// block at the right or bottom edge is dropped): for comparing renderings
// whose resampling differs in fine detail but not in placement or colour.
Picture blockAverage(const Picture &picture, int block);

} // namespace zq::test

#endif
