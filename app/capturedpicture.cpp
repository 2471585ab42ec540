#include "capturedpicture.h"

#include <cstddef>

CapturedPicture CapturedPicture::whole(const unsigned char *frame, int width, int height)
{
    CapturedPicture picture;
    picture.rgb = frame;
    picture.width = width;
    picture.height = height;
    return picture;
}

CapturedPicture CapturedPicture::cutBy(const Cutter &cutter)
{
    CapturedPicture picture;
    int width = 0;
    int height = 0;
    if (cutter(nullptr, 0, &width, &height) == -1 || width <= 0 || height <= 0)
        return picture;
    const size_t size = size_t(width) * size_t(height) * 3;
    // Not zeroed: the cutter writes every byte.
    std::unique_ptr<unsigned char[]> cut(new unsigned char[size]);
    if (cutter(cut.get(), int(size), &width, &height) == -1)
        return picture;
    picture.cut = std::move(cut);
    picture.rgb = picture.cut.get();
    picture.width = width;
    picture.height = height;
    return picture;
}
