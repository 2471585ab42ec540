// What a picture file says about itself before anything is decoded: its
// format, its size as stored, and the lens that took it.  Pictures come
// from anywhere (phones, other programs, damaged disks), so every byte is
// read only after checking that it is there.
#ifndef ZQPAGE_PICTURE_HEADER_H
#define ZQPAGE_PICTURE_HEADER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zqpage
{

enum class PictureFormat { Jpeg, Png, Tiff };

struct PictureHeader {
    PictureFormat format;
    uint32_t width;  // as stored, before any EXIF orientation
    uint32_t height; // as stored, before any EXIF orientation
    // EXIF FocalLengthIn35mmFilm in millimetres; 0 when the file does not
    // say (JPEG and TIFF carry it; PNG is not searched).
    unsigned focalLength35mm = 0;
};

// Reads the header of a JPEG, PNG or TIFF file held whole in memory.  A
// JPEG must also run on to its end-of-image marker: one cut short decodes
// to a page that is partly grey.  On failure returns nullopt and says why
// in error.
std::optional<PictureHeader> readPictureHeader(const uint8_t *data, size_t size,
                                               std::string &error);

} // namespace zqpage

#endif
