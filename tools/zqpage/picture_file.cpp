#include "picture_file.h"

#include "picture_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace zqpage
{
namespace
{

// The diagonal of a 36 x 24 mm film frame, in millimetres.
constexpr double kFilmDiagonal = 43.27;

// The library takes frames whose bytes (three a pixel) an int can count.
bool libraryTakes(uint64_t width, uint64_t height)
{
    return width > 0 && height > 0 && width <= uint64_t(INT_MAX) / 3 / height;
}

class Descriptor
{
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// A regular file's bytes, read whole.  At most INT_MAX of them: the most
// cv::imdecode takes in one buffer, and more than a picture the library
// takes comes to in any of its formats but an uncompressed one.
std::optional<std::vector<uint8_t>> readFile(const std::string &path, std::string &error)
{
    // Not blocking: opening a named pipe must not wait for a writer.
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {
    };
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0) {
        error = std::strerror(errno);
        return std::nullopt;
    }
    if (S_ISDIR(status.st_mode)) {
        error = std::strerror(EISDIR);
        return std::nullopt;
    }
    if (!S_ISREG(status.st_mode)) {
        error = "it is not a regular file";
        return std::nullopt;
    }
    if (status.st_size > INT_MAX) {
        error = "at " + std::to_string(status.st_size) +
                " bytes it is larger than any picture zqpage takes";
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(size_t(status.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = std::strerror(errno);
            return std::nullopt;
        }
        if (n == 0)
            break; // shortened while being read: the header check sees it
        done += size_t(n);
    }
    bytes.resize(done);
    return bytes;
}

std::string sizeText(uint64_t width, uint64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height) + " pixels";
}

const char *formatName(PictureFormat format)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return "JPEG";
    case PictureFormat::Png:
        return "PNG";
    case PictureFormat::Tiff:
        return "TIFF";
    }
    return "picture";
}

// The focal length as a multiple of the longer side from its 35 mm
// equivalent, which is measured against the film frame's diagonal.
double focalLengthInLongerSides(unsigned focal35mm, int width, int height)
{
    return focal35mm * std::hypot(width, height) / (kFilmDiagonal * std::max(width, height));
}

} // namespace

void swapRedAndBlue(cv::Mat &picture)
{
    for (int y = 0; y < picture.rows; ++y) {
        cv::Vec3b *pixel = picture.ptr<cv::Vec3b>(y);
        for (int x = 0; x < picture.cols; ++x)
            std::swap(pixel[x][0], pixel[x][2]);
    }
}

std::optional<Picture> readPicture(const std::string &path, std::string &error)
{
    std::optional<std::vector<uint8_t>> bytes = readFile(path, error);
    if (!bytes)
        return std::nullopt;
    const std::optional<PictureHeader> header =
        readPictureHeader(bytes->data(), bytes->size(), error);
    if (!header)
        return std::nullopt;
    if (!libraryTakes(header->width, header->height)) {
        error = "at " + sizeText(header->width, header->height) +
                " it is larger than the library takes (at most " + std::to_string(INT_MAX / 3) +
                " pixels)";
        return std::nullopt;
    }

    Picture picture;
    try {
        // IMREAD_COLOR turns the picture upright as its EXIF orientation
        // says, and gives 8-bit B, G, R whatever the file holds.
        picture.rgb =
            cv::imdecode(cv::Mat(1, int(bytes->size()), CV_8U, bytes->data()), cv::IMREAD_COLOR);
    } catch (const cv::Exception &) {
        picture.rgb.release();
    }
    bytes.reset();
    if (picture.rgb.empty() || picture.rgb.type() != CV_8UC3 || !picture.rgb.isContinuous()) {
        error = std::string("its ") + formatName(header->format) + " data cannot be decoded";
        return std::nullopt;
    }
    if (!libraryTakes(uint64_t(picture.rgb.cols), uint64_t(picture.rgb.rows))) {
        error = "it decodes to " + sizeText(picture.rgb.cols, picture.rgb.rows) +
                ", more than the library takes";
        return std::nullopt;
    }
    swapRedAndBlue(picture.rgb);
    if (header->focalLength35mm > 0)
        picture.focalLength =
            focalLengthInLongerSides(header->focalLength35mm, picture.rgb.cols, picture.rgb.rows);
    return picture;
}

} // namespace zqpage
