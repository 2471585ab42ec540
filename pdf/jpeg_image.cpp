// JPEG pages: the file's bytes become the image stream unchanged (DCTDecode);
// only the header is decoded, for the size and the colour space.
#include "compose_error.h"
#include "page_image.h"

#include <qpdf/Pipeline.hh>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace zqpdf
{
namespace
{

struct JpegHeader {
    int width;
    int height;
    int components;
    int precision;
};

// libjpeg reports fatal errors through error_exit, which must not return;
// we jump back to readJpegHeader with the message instead of letting the
// standard manager end the process.
struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jumpOnError(j_common_ptr cinfo)
{
    auto *err = reinterpret_cast<JpegErrorManager *>(cinfo->err);
    cinfo->err->format_message(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void ignoreMessage(j_common_ptr, int) {}

// Plain C style on purpose: longjmp must not cross C++ objects with
// destructors.  Returns false with `message` set when the header is bad.
bool readJpegHeader(FILE *file, JpegHeader *header, char *message)
{
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jumpOnError;
    err.pub.emit_message = ignoreMessage;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", err.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    *header = {static_cast<int>(cinfo.image_width), static_cast<int>(cinfo.image_height),
               cinfo.num_components, cinfo.data_precision};
    jpeg_destroy_decompress(&cinfo);
    return true;
}

const char *colorSpaceFor(int components)
{
    switch (components) {
    case 1:
        return "/DeviceGray";
    case 3:
        return "/DeviceRGB";
    default:
        return nullptr;
    }
}

// The file read through a buffer, byte by byte; -1 at its end.
class ByteReader
{
  public:
    explicit ByteReader(FILE *file) : file_(file) {}
    int next()
    {
        if (at_ == got_ && !refill())
            return -1;
        return buffer_[at_++];
    }
    // Skips to the next 0xFF byte and returns it; -1 at the end.
    int nextFF()
    {
        for (;;) {
            const void *ff = std::memchr(buffer_ + at_, 0xFF, got_ - at_);
            if (ff) {
                at_ = size_t(static_cast<const unsigned char *>(ff) - buffer_) + 1;
                return 0xFF;
            }
            if (!refill())
                return -1;
        }
    }
    // Bytes read so far.
    long offset() const { return std::ftell(file_) - long(got_ - at_); }
    bool skip(size_t count)
    {
        const size_t buffered = std::min(count, got_ - at_);
        at_ += buffered;
        count -= buffered;
        return count == 0 || std::fseek(file_, long(count), SEEK_CUR) == 0;
    }

  private:
    bool refill()
    {
        got_ = std::fread(buffer_, 1, sizeof buffer_, file_);
        at_ = 0;
        return got_ > 0;
    }

    FILE *file_;
    unsigned char buffer_[1 << 16];
    size_t at_ = 0, got_ = 0;
};

// JPEG markers that stand alone, without a length and a segment.
bool isStandalone(int marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8); // TEM, RSTn, SOI
}

constexpr int kEndOfImage = 0xD9;

// A JPEG page's data, up to its end-of-image marker, may hold at most this
// many bytes: a 13 MP camera frame takes about 5 MB, and qpdf holds a page's
// data in memory until the page is written.
constexpr long kMaxJpegBytes = 256L << 20;

// Where the JPEG data ends: walks the file from its start-of-image marker
// over the marker segments (skipped by their lengths) and the entropy-coded
// data (where 0xFF is followed by a stuffed 0x00 or a restart marker) to
// the end-of-image marker, and gives the bytes up to and with it; what
// follows (zeros, a second file) is no part of the page.  0 when the file
// ends first (a picture cut short, which a viewer would show grey or cut
// off), -1 when the data goes on beyond kMaxJpegBytes.
long endOfImage(FILE *file)
{
    ByteReader in(file);
    if (in.next() != 0xFF || in.next() != 0xD8)
        return 0;
    for (;;) {
        if (in.offset() > kMaxJpegBytes)
            return -1;
        int c = in.nextFF(); // over entropy-coded data
        while (c == 0xFF)    // fill bytes before a marker
            c = in.next();
        if (c < 0)
            return 0;
        if (c == kEndOfImage)
            return in.offset() <= kMaxJpegBytes ? in.offset() : -1;
        if (c == 0x00 || isStandalone(c))
            continue;
        const int high = in.next();
        const int low = in.next();
        if (low < 0 || (high << 8 | low) < 2 || !in.skip(size_t((high << 8 | low) - 2)))
            return 0;
    }
}

// Copies the file's first length bytes into the pipeline.
void pipeFile(const std::string &path, long length, Pipeline *pipeline)
{
    const File file = openPageFile(path);
    std::vector<unsigned char> chunk(1 << 16);
    for (long left = length; left > 0;) {
        const size_t got = std::fread(chunk.data(), 1,
                                      size_t(std::min<long>(left, long(chunk.size()))), file.get());
        if (got == 0)
            throw ComposeError::unreadable(path, std::ferror(file.get()) && errno ? errno : EIO);
        pipeline->write(chunk.data(), got);
        left -= long(got);
    }
    pipeline->finish();
}

} // namespace

PageImage openJpeg(const std::string &path)
{
    const File file = openPageFile(path);
    JpegHeader header{};
    char message[JMSG_LENGTH_MAX] = "";
    if (!readJpegHeader(file.get(), &header, message))
        throw ComposeError::notPicture(path, message);
    std::rewind(file.get());
    const long length = endOfImage(file.get());
    if (length == 0)
        throw std::ferror(file.get())
            ? ComposeError::unreadable(path, errno ? errno : EIO)
            : ComposeError::notPicture(path, "the JPEG data ends before its end-of-image marker");
    if (length < 0)
        throw ComposeError::unreadable(path, "its JPEG data holds more than 256 MiB");
    const char *colorSpace = colorSpaceFor(header.components);
    if (!colorSpace || header.precision != 8)
        throw ComposeError::notPicture(
            path, "unsupported JPEG (" + std::to_string(header.components) + " components, " +
                      std::to_string(header.precision) + " bits)");

    PageImage image;
    image.width = header.width;
    image.height = header.height;
    image.colorSpace = colorSpace;
    image.filter = "/DCTDecode";
    image.storedBytes = size_t(length);
    image.streamData = [path, length](Pipeline *pipeline) { pipeFile(path, length, pipeline); };
    return image;
}

} // namespace zqpdf
