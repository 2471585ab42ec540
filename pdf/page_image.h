// A picture file read far enough to describe it as a PDF image, with a way
// to produce its image stream later, when the PDF is written.
#ifndef ZQPDF_PAGE_IMAGE_H
#define ZQPDF_PAGE_IMAGE_H

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

class Pipeline;

namespace zqpdf
{

struct PageImage {
    int width = 0;          // pixels
    int height = 0;         // pixels
    std::string colorSpace; // PDF colour space name, e.g. "/DeviceRGB"
    std::string filter;     // PDF filter of the stream data, empty for raw samples
    // Writes the stream data (encoded as `filter` says) and finishes the
    // pipeline; throws ComposeError when the file can no longer be read.
    std::function<void(Pipeline *)> streamData;
};

struct FileCloser {
    void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens a page's file for reading.  Only regular files are pages: the open
// does not wait (a FIFO put in a page's place would block it for ever),
// and devices, which never end, are refused.  Throws ComposeError.
File openPageFile(const std::string &path);

// Opens a JPEG or TIFF file, told apart by its first bytes.  Throws
// ComposeError when the file cannot be read or is neither.
PageImage openPicture(const std::string &path);

// The two kinds, for openPicture.
PageImage openJpeg(const std::string &path);
PageImage openTiff(const std::string &path);

} // namespace zqpdf

#endif
