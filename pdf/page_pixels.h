// A page picture decoded to 8-bit RGB, for encoding it anew.
#ifndef ZQPDF_PAGE_PIXELS_H
#define ZQPDF_PAGE_PIXELS_H

#include "page_image.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zqpdf
{

struct RgbPixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> samples; // rows of width * 3 samples, top row first

    const uint8_t *row(int y) const { return &samples[size_t(y) * width * 3]; }
};

// Decodes a page as the PDF would show it: a JPEG page's DCT data, or the
// RGB rows a TIFF page's stream gives.  Throws ComposeError naming path.
RgbPixels decodePixels(const PageImage &image, const std::string &path);

} // namespace zqpdf

#endif
