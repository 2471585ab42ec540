// What one scan gives: a part of an RGB24 picture, handed to the front end
// row by row, in colour or grey.  The picture is either a page cut out
// (owned here) or the camera's frame, read in place in the driver's buffer
// so that a 13 MP frame is not copied.
#ifndef ZQ_SANE_PICTURE_H
#define ZQ_SANE_PICTURE_H

#include "options.h"

#include <sane/sane.h>

#include <cstddef>
#include <memory>

namespace zq::sane
{

class Picture
{
  public:
    Picture() = default;
    // A page cut out of a frame; the frame is not needed any more.
    Picture(std::unique_ptr<unsigned char[]> rgb, int width, int height, bool grey);
    // A part of the frame, read where it lies.
    Picture(const unsigned char *frame, int frameWidth, Area area, bool grey);

    static SANE_Parameters parameters(int width, int height, bool grey);
    SANE_Parameters parameters() const;
    // Copies up to max bytes on from where the last read ended; length
    // receives their count, 0 once all have been read.
    void read(SANE_Byte *data, SANE_Int max, SANE_Int *length);
    bool empty() const { return !rgb_; }
    int width() const { return area_.width; }
    int height() const { return area_.height; }

  private:
    size_t rowBytes() const { return size_t(area_.width) * (grey_ ? 1 : 3); }
    const unsigned char *row(int y) const;

    std::unique_ptr<unsigned char[]> own_;
    const unsigned char *rgb_ = nullptr;
    int stride_ = 0; // pixels a row of rgb_
    Area area_{0, 0, 0, 0};
    bool grey_ = false;
    size_t sent_ = 0; // bytes read so far
};

} // namespace zq::sane

#endif
