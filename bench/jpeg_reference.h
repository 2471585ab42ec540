// libjpeg(-turbo) used directly, as the references that the JPEG writer
// and the camera read are measured against.
#ifndef ZQ_BENCH_JPEG_REFERENCE_H
#define ZQ_BENCH_JPEG_REFERENCE_H

#include <cstdint>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

#include "rgb_jpeg.h"

namespace zq::bench
{

// Encodes with the writer's settings into memory: what the writer costs
// without a file.  The encoded bytes are returned.
inline std::vector<uint8_t> encodeToMemory(const uint8_t *picture, int width, int height,
                                           int quality)
{
    const sim::RgbRows rows = [&](int y) { return picture + size_t(y) * width * 3; };
    return sim::encodeRgbJpeg(rows, width, height, {quality});
}

// Decodes a JPEG file in memory to RGB24 with libjpeg's defaults, the
// decoding libv4lconvert does for a camera's MJPEG frame (it gives the same
// bytes).  libjpeg's standard error handling ends the program on a broken
// file: only intact frames are decoded here.
inline void decodeToRgb(const std::vector<uint8_t> &jpeg, std::vector<uint8_t> &rgb, int &width,
                        int &height)
{
    jpeg_decompress_struct jds;
    jpeg_error_mgr jem;
    jds.err = jpeg_std_error(&jem);
    jpeg_create_decompress(&jds);
    jpeg_mem_src(&jds, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&jds, TRUE);
    jds.out_color_space = JCS_RGB;
    jpeg_start_decompress(&jds);
    width = int(jds.output_width);
    height = int(jds.output_height);
    rgb.resize(size_t(width) * height * 3);
    while (jds.output_scanline < jds.output_height) {
        JSAMPROW row = &rgb[size_t(jds.output_scanline) * width * 3];
        jpeg_read_scanlines(&jds, &row, 1);
    }
    jpeg_finish_decompress(&jds);
    jpeg_destroy_decompress(&jds);
}

} // namespace zq::bench

#endif
