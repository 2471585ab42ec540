// Picture files as the library takes them: decoded, turned upright as
// their EXIF orientation says, packed RGB24.
#ifndef ZQPAGE_PICTURE_FILE_H
#define ZQPAGE_PICTURE_FILE_H

#include <opencv2/core.hpp>

#include <optional>
#include <string>

namespace zqpage
{

struct Picture {
    cv::Mat rgb; // CV_8UC3 in R, G, B order, rows packed
    // The lens's focal length as a multiple of the picture's longer side,
    // from the EXIF 35 mm equivalent; 0 when the file does not give it.
    double focalLength = 0;
};

// Reads a JPEG, PNG or TIFF picture.  A picture larger than the library
// takes is refused from its header, before anything of its size is
// allocated.  On failure returns nullopt and says why in error.
std::optional<Picture> readPicture(const std::string &path, std::string &error);

// Swaps the first and third byte of every pixel, in place: OpenCV's
// B, G, R against the library's R, G, B.
void swapRedAndBlue(cv::Mat &picture);

} // namespace zqpage

#endif
