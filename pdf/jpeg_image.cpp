// JPEG pages: the file's bytes become the image stream unchanged (DCTDecode);
// only the header is decoded, for the size and the colour space.
#include "compose_error.h"
#include "page_image.h"

#include <qpdf/Pipeline.hh>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace zqpdf
{
namespace
{

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

struct JpegHeader {
    int width;
    int height;
    int components;
    int precision;
    bool adobe;
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
               cinfo.num_components, cinfo.data_precision, cinfo.saw_Adobe_marker != 0};
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
    case 4:
        return "/DeviceCMYK";
    default:
        return nullptr;
    }
}

// Copies the whole file into the pipeline.
void pipeFile(const std::string &path, Pipeline *pipeline)
{
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw ComposeError::unreadable(path, errno);
    std::vector<unsigned char> chunk(1 << 16);
    size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file.get())) > 0)
        pipeline->write(chunk.data(), got);
    if (std::ferror(file.get()))
        throw ComposeError::unreadable(path, errno ? errno : EIO);
    pipeline->finish();
}

} // namespace

PageImage openJpeg(const std::string &path)
{
    File file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw ComposeError::unreadable(path, errno);
    JpegHeader header{};
    char message[JMSG_LENGTH_MAX] = "";
    if (!readJpegHeader(file.get(), &header, message))
        throw ComposeError::notPicture(path, message);
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
    image.invertedCmyk = header.components == 4 && header.adobe;
    image.streamData = [path](Pipeline *pipeline) { pipeFile(path, pipeline); };
    return image;
}

} // namespace zqpdf
