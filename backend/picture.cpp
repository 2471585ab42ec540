#include "picture.h"

#include <algorithm>
#include <cstring>

namespace zq::sane
{

Picture::Picture(std::unique_ptr<unsigned char[]> rgb, int width, int height, bool grey)
    : own_(std::move(rgb)), rgb_(own_.get()), stride_(width), area_{0, 0, width, height},
      grey_(grey)
{
}

Picture::Picture(const unsigned char *frame, int frameWidth, Area area, bool grey)
    : rgb_(frame), stride_(frameWidth), area_(area), grey_(grey)
{
}

SANE_Parameters Picture::parameters(int width, int height, bool grey)
{
    SANE_Parameters p{};
    p.format = grey ? SANE_FRAME_GRAY : SANE_FRAME_RGB;
    p.last_frame = SANE_TRUE;
    p.pixels_per_line = width;
    p.lines = height;
    p.depth = 8;
    p.bytes_per_line = width * (grey ? 1 : 3);
    return p;
}

SANE_Parameters Picture::parameters() const
{
    return parameters(area_.width, area_.height, grey_);
}

const unsigned char *Picture::row(int y) const
{
    return rgb_ + (size_t(area_.top + y) * stride_ + area_.left) * 3;
}

// A grey picture has its grey in all three bytes of each pixel (the
// library's conversion, as the window's grey mode): the first is sent.
void Picture::read(SANE_Byte *data, SANE_Int max, SANE_Int *length)
{
    const size_t total = rowBytes() * size_t(area_.height);
    SANE_Int copied = 0;
    while (copied < max && sent_ < total) {
        const int y = int(sent_ / rowBytes());
        const size_t from = sent_ % rowBytes();
        const size_t count = std::min(rowBytes() - from, size_t(max - copied));
        if (grey_) {
            const unsigned char *pixel = row(y) + 3 * from;
            for (size_t i = 0; i < count; ++i)
                data[copied + i] = pixel[3 * i];
        } else {
            std::memcpy(data + copied, row(y) + from, count);
        }
        copied += SANE_Int(count);
        sent_ += count;
    }
    *length = copied;
}

} // namespace zq::sane
