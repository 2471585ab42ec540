// Picture helpers of the window, callable through the meta-object system.
#include "mainwindow.h"

#include <cstring>
#include <memory>
#include <new>

void MainWindow::rgb24_gray(unsigned char *rgb, int width, int height)
{
    const size_t pixels = size_t(width > 0 ? width : 0) * size_t(height > 0 ? height : 0);
    for (size_t i = 0; i < pixels; ++i, rgb += 3) {
        const unsigned char grey = (rgb[0] + rgb[1] + rgb[2]) / 3;
        rgb[0] = rgb[1] = rgb[2] = grey;
    }
}

// Afterwards the picture is iHeight wide and iWidth tall.  direction true
// turns counter-clockwise, false clockwise.  False, with the picture
// untouched, for a null picture or when no scratch copy can be made.
bool MainWindow::rgb24_rotate_90(unsigned char *src_rgb, unsigned int iWidth, unsigned int iHeight,
                                 bool direction)
{
    if (!src_rgb)
        return false;
    const size_t bytes = size_t(iWidth) * iHeight * 3;
    std::unique_ptr<unsigned char[]> copy(new (std::nothrow) unsigned char[bytes]);
    if (!copy)
        return false;
    memcpy(copy.get(), src_rgb, bytes);
    unsigned char *out = src_rgb;
    for (unsigned k = 0; k < iWidth; ++k) {
        const unsigned column = direction ? iWidth - 1 - k : k;
        for (unsigned i = 0; i < iHeight; ++i, out += 3) {
            const unsigned row = direction ? i : iHeight - 1 - i;
            memcpy(out, copy.get() + (size_t(row) * iWidth + column) * 3, 3);
        }
    }
    return true;
}

// For pictures whose rows are padded to a multiple of 4 bytes; the
// destination's padding is left as it is.
void MainWindow::RGB24RotateClockwise90(uint8_t *src, uint8_t *dst, int width, int height)
{
    if (height <= 0 || width <= 0)
        return;
    const size_t srcStride = (size_t(width) * 3 + 3) & ~size_t(3);
    const size_t dstStride = (size_t(height) * 3 + 3) & ~size_t(3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            memcpy(dst + size_t(x) * dstStride + size_t(height - 1 - y) * 3,
                   src + size_t(y) * srcStride + size_t(x) * 3, 3);
    }
}
