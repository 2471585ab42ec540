// A picture file read far enough to describe it as a PDF image, with a way
// to produce its image stream later, when the PDF is written; and what a
// page shows: a picture, and any ink drawn over it.
#ifndef ZQPDF_PAGE_IMAGE_H
#define ZQPDF_PAGE_IMAGE_H

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class Pipeline;

namespace zqpdf
{

struct PageImage {
    int width = 0;          // pixels
    int height = 0;         // pixels
    std::string colorSpace; // PDF colour space name, e.g. "/DeviceRGB"; empty for a stencil mask
    int bitsPerComponent = 8;
    // 1-bit samples that are 1 where the ink is: the reverse of what
    // /DeviceGray and a stencil mask take, so drawn with /Decode [1 0].
    bool inkIsOne = false;
    std::string filter; // PDF filter of the stream data, empty for raw samples
    // The filter's parameters, all integers (CCITT's /K, /Columns, /Rows).
    std::vector<std::pair<std::string, int>> decodeParms;
    // The stream data's size in the PDF where it is known before writing.
    // Raw samples are compressed only as they are written: the file's size
    // stands in for theirs.
    size_t storedBytes = 0;
    // Writes the stream data (encoded as `filter` says) and finishes the
    // pipeline; throws ComposeError when the file can no longer be read.
    std::function<void(Pipeline *)> streamData;
};

// Ink drawn over a page's picture: a stencil mask painted in one colour.
struct InkLayer {
    PageImage mask;            // 1-bit, without a colour space
    std::array<double, 3> rgb; // the paint, each component 0..1
};

// What a page shows: its picture over the whole page and, for mixed
// raster content, the ink painted over it.  The page's size and its text
// layer are measured in the captured picture's pixels, which the picture
// drawn may have fewer of.
struct PageLayers {
    int width = 0;  // pixels of the captured picture
    int height = 0; // pixels of the captured picture
    PageImage picture;
    std::optional<InkLayer> ink;

    // A page showing the picture as it is.
    static PageLayers of(const PageImage &picture)
    {
        return {picture.width, picture.height, picture, {}};
    }
};

// Stream data made before the PDF is written, kept in memory until then.
std::function<void(Pipeline *)> streamOf(std::string bytes);

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
