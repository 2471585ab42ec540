// RGB24 pictures to baseline JPEG files in memory with libjpeg(-turbo):
// the camera's MJPEG frames and the benchmarks' reference encoder are the
// same few libjpeg calls with other settings.
#ifndef ZQ_SIM_RGB_JPEG_H
#define ZQ_SIM_RGB_JPEG_H

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <jpeglib.h>

namespace zq::sim
{

// Gives row y of the picture, as 3 * width bytes of RGB24.  The bytes need
// only last until the next call, so that a source may reuse one row.
using RgbRows = std::function<const uint8_t *(int y)>;

struct JpegSettings {
    int quality;
    // 4:2:2 as the encoders of UVC cameras write it; otherwise libjpeg's
    // default 4:2:0.
    bool chroma422 = false;
};

inline std::vector<uint8_t> encodeRgbJpeg(const RgbRows &rows, int width, int height,
                                          const JpegSettings &settings)
{
    // Rows are copied into a batch handed to libjpeg in one call.
    constexpr int kRowsPerCall = 16;
    jpeg_compress_struct jcs{};
    jpeg_error_mgr jem{};
    jcs.err = jpeg_std_error(&jem);
    jpeg_create_compress(&jcs);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&jcs, &out, &size);
    jcs.image_width = JDIMENSION(width);
    jcs.image_height = JDIMENSION(height);
    jcs.input_components = 3;
    jcs.in_color_space = JCS_RGB;
    jpeg_set_defaults(&jcs);
    jpeg_set_quality(&jcs, settings.quality, TRUE);
    if (settings.chroma422) {
        // The luma block is two chroma blocks wide and one high.
        jcs.comp_info[0].h_samp_factor = 2;
        jcs.comp_info[0].v_samp_factor = 1;
    }
    jpeg_start_compress(&jcs, TRUE);
    std::vector<uint8_t> batch(size_t(width) * 3 * kRowsPerCall);
    JSAMPROW pointers[kRowsPerCall];
    while (jcs.next_scanline < jcs.image_height) {
        const int first = int(jcs.next_scanline);
        const int count = std::min(kRowsPerCall, height - first);
        for (int i = 0; i < count; ++i) {
            pointers[i] = &batch[size_t(i) * width * 3];
            std::memcpy(pointers[i], rows(first + i), size_t(width) * 3);
        }
        jpeg_write_scanlines(&jcs, pointers, JDIMENSION(count));
    }
    jpeg_finish_compress(&jcs);
    jpeg_destroy_compress(&jcs);
    std::vector<uint8_t> jpeg(out, out + size);
    std::free(out);
    return jpeg;
}

} // namespace zq::sim

#endif
