#include "page_writer.h"

#include "atomic_file.h"
#include "picture_file.h"

#include <zqscan/zq_scanner.h>

#include <opencv2/imgcodecs.hpp>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

namespace zqpage
{
namespace
{

const char *extension(PageFormat format)
{
    switch (format) {
    case PageFormat::Jpeg:
        return ".jpg";
    case PageFormat::Png:
        return ".png";
    case PageFormat::Tiff:
        return ".tiff";
    }
    return "";
}

std::string reason(int error)
{
    return error ? std::strerror(error) : "the writer failed";
}

// PNG through OpenCV's encoder into memory, then zq::AtomicFile.
bool writePng(const std::string &path, const cv::Mat &page, std::string &error)
{
    cv::Mat bgr = page.clone();
    swapRedAndBlue(bgr);
    std::vector<uchar> encoded;
    try {
        if (!cv::imencode(".png", bgr, encoded)) {
            error = "the PNG encoder failed";
            return false;
        }
    } catch (const cv::Exception &e) {
        error = "the PNG encoder failed: " + e.err;
        return false;
    }
    zq::AtomicFile file(path);
    std::FILE *stream = file.is_open() ? file.stream() : nullptr;
    if (!stream || std::fwrite(encoded.data(), 1, encoded.size(), stream) != encoded.size() ||
        !file.commit()) {
        error = reason(errno);
        return false;
    }
    return true;
}

} // namespace

std::string pagePath(const std::string &directory, const std::string &picture, PageFormat format,
                     int number)
{
    std::filesystem::path name = std::filesystem::path(picture).stem();
    if (number > 0)
        name += "-" + std::to_string(number);
    name += extension(format);
    return (std::filesystem::path(directory) / name).string();
}

bool writePage(const std::string &path, const cv::Mat &page, PageFormat format, int quality,
               std::string &error)
{
    if (format == PageFormat::Png)
        return writePng(path, page, error);
    // The library's writers are atomic themselves.
    const auto write =
        format == PageFormat::Tiff ? zq_scanner_picture_save_tiff : zq_scanner_picture_save;
    errno = 0;
    if (write(path.c_str(), page.data, page.cols, page.rows, quality) != 0) {
        error = reason(errno);
        return false;
    }
    return true;
}

} // namespace zqpage
