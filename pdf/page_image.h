// A picture file read far enough to describe it as a PDF image, with a way
// to produce its image stream later, when the PDF is written.
#ifndef ZQPDF_PAGE_IMAGE_H
#define ZQPDF_PAGE_IMAGE_H

#include <functional>
#include <string>

class Pipeline;

namespace zqpdf
{

struct PageImage {
    int width = 0;             // pixels
    int height = 0;            // pixels
    std::string colorSpace;    // PDF colour space name, e.g. "/DeviceRGB"
    std::string filter;        // PDF filter of the stream data, empty for raw samples
    bool invertedCmyk = false; // Adobe CMYK JPEG, stored with inverted samples
    // Writes the stream data (encoded as `filter` says) and finishes the
    // pipeline; throws ComposeError when the file can no longer be read.
    std::function<void(Pipeline *)> streamData;
};

// Opens a JPEG or TIFF file, told apart by its first bytes.  Throws
// ComposeError when the file cannot be read or is neither.
PageImage openPicture(const std::string &path);

// The two kinds, for openPicture.
PageImage openJpeg(const std::string &path);
PageImage openTiff(const std::string &path);

} // namespace zqpdf

#endif
