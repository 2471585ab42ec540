// Frames made small for the preview: a camera's JPEG decoded at a reduced
// scale in the DCT domain, a camera's RGB24 averaged over boxes.
#ifndef ZQ_FRAME_SCALING_H
#define ZQ_FRAME_SCALING_H

#include "last_error.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zq
{

// The reductions a preview read makes: 1 (none), 2, 4 or 8.
inline bool is_scale_denominator(int d)
{
    return d == 1 || d == 2 || d == 4 || d == 8;
}

// The same where a call takes a denominator: any other is its failure.
inline bool accept_scale_denominator(int d)
{
    if (is_scale_denominator(d))
        return true;
    failWith("scale denominator %d is none of 1, 2, 4 and 8", d);
    return false;
}

// The size of a w x h picture reduced by denominator (1, 2, 4 or 8): each
// side divided and rounded up, as libjpeg scales.
int reduced_side(int side, int denominator);

// The size of the JPEG picture in data, or false when it has no readable
// header.  Safe to call from any thread.
bool jpeg_size(const uint8_t *data, size_t size, int &width, int &height);

// Decodes the JPEG picture in data at 1/denominator of its size into rgb
// (a reduced one with libjpeg's fast methods, a whole one exactly),
// which must hold reduced_side(width) x reduced_side(height) x 3 bytes.
// False, with rgb in any state, for a picture that is corrupt or cut short:
// libjpeg's warnings count as failures, so that no half-decoded frame is
// ever shown.  Safe to call from any thread.
bool decode_jpeg(const uint8_t *data, size_t size, int denominator, uint8_t *rgb, size_t rgb_size);

// Each pixel of dst the mean of a denominator x denominator box of src
// (the boxes at the right and bottom edges may be cut short).  dst holds
// reduced_side(width) x reduced_side(height) pixels.
void reduce_rgb24(const uint8_t *src, int width, int height, int denominator, uint8_t *dst);

} // namespace zq

#endif
