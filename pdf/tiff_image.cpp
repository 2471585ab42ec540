// TIFF pages: decoded with libtiff's RGBA reader, which understands every
// photometric interpretation and compression libtiff supports (the capture
// writes JPEG-compressed RGB), and handed on as raw 8-bit RGB rows.  The
// PDF writer Flate-compresses them, so nothing is lost beyond what the
// TIFF itself lost.
#include "compose_error.h"
#include "page_image.h"

#include <qpdf/Pipeline.hh>

#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

namespace zqpdf
{
namespace
{

// Rows decoded at a time: enough to cover several strips, little memory.
constexpr uint32_t kMinRowsPerChunk = 64;

// libtiff's messages for one open file, kept instead of printed.
int keepError(TIFF *, void *user, const char *module, const char *fmt, va_list ap)
{
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, ap);
    auto *message = static_cast<std::string *>(user);
    if (message->empty())
        *message = module ? std::string(module) + ": " + text : std::string(text);
    return 1;
}

int ignoreWarning(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

struct TiffCloser {
    void operator()(TIFF *t) const { TIFFClose(t); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

// An open TIFF file whose libtiff messages end up in `message`.
class TiffFile
{
  public:
    explicit TiffFile(const std::string &path) : path_(path)
    {
        std::FILE *probe = std::fopen(path.c_str(), "rb");
        if (!probe)
            throw ComposeError::unreadable(path, errno);
        std::fclose(probe);

        std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions *)> options(
            TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
        if (!options)
            throw std::bad_alloc();
        TIFFOpenOptionsSetErrorHandlerExtR(options.get(), keepError, &message_);
        TIFFOpenOptionsSetWarningHandlerExtR(options.get(), ignoreWarning, nullptr);
        tiff_.reset(TIFFOpenExt(path.c_str(), "r", options.get()));
        if (!tiff_)
            throw ComposeError::notPicture(path, message_);
    }

    TIFF *get() const { return tiff_.get(); }
    [[noreturn]] void fail() const { throw ComposeError::notPicture(path_, message_); }

    // Starts libtiff's RGBA reader, delivering rows top to bottom.
    void begin(TIFFRGBAImage &reader)
    {
        char emsg[1024] = "";
        if (!TIFFRGBAImageOK(tiff_.get(), emsg) ||
            !TIFFRGBAImageBegin(&reader, tiff_.get(), 0, emsg))
            throw ComposeError::notPicture(path_, emsg);
        reader.req_orientation = ORIENTATION_TOPLEFT;
    }

  private:
    std::string path_;
    std::string message_;
    Tiff tiff_;
};

// Rows per decoding step: a whole number of strips or tiles, so that no
// strip is decoded twice.
uint32_t rowsPerChunk(TIFF *tiff, uint32_t height)
{
    uint32_t unit = 0;
    if (TIFFIsTiled(tiff))
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<uint32_t>(unit, 1, height);
    const uint32_t units = (kMinRowsPerChunk + unit - 1) / unit;
    return std::min<uint64_t>(uint64_t(units) * unit, height);
}

void pipeRgb(const std::string &path, Pipeline *pipeline)
{
    TiffFile file(path);
    TIFFRGBAImage reader{};
    file.begin(reader);
    std::unique_ptr<TIFFRGBAImage, void (*)(TIFFRGBAImage *)> end(&reader, TIFFRGBAImageEnd);

    const uint32_t width = reader.width;
    const uint32_t height = reader.height;
    const uint32_t chunk = rowsPerChunk(file.get(), height);
    std::vector<uint32_t> raster(size_t(width) * chunk);
    std::vector<unsigned char> rgb(size_t(width) * chunk * 3);
    for (uint32_t row = 0; row < height; row += chunk) {
        const uint32_t rows = std::min(chunk, height - row);
        reader.row_offset = static_cast<int>(row);
        if (!TIFFRGBAImageGet(&reader, raster.data(), width, rows))
            file.fail();
        const size_t pixels = size_t(width) * rows;
        for (size_t i = 0; i < pixels; ++i) {
            rgb[3 * i] = static_cast<unsigned char>(TIFFGetR(raster[i]));
            rgb[3 * i + 1] = static_cast<unsigned char>(TIFFGetG(raster[i]));
            rgb[3 * i + 2] = static_cast<unsigned char>(TIFFGetB(raster[i]));
        }
        pipeline->write(rgb.data(), pixels * 3);
    }
    pipeline->finish();
}

} // namespace

PageImage openTiff(const std::string &path)
{
    TiffFile file(path);
    uint32_t width = 0;
    uint32_t height = 0;
    if (!TIFFGetField(file.get(), TIFFTAG_IMAGEWIDTH, &width) ||
        !TIFFGetField(file.get(), TIFFTAG_IMAGELENGTH, &height))
        file.fail();
    if (width == 0 || height == 0 || width > INT32_MAX / 4 || height > INT32_MAX / 4)
        throw ComposeError::notPicture(path, "picture of " + std::to_string(width) + " x " +
                                                 std::to_string(height) + " pixels");
    TIFFRGBAImage reader{};
    file.begin(reader); // refuses layouts the reader cannot decode, before writing starts
    TIFFRGBAImageEnd(&reader);

    PageImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.colorSpace = "/DeviceRGB";
    image.streamData = [path](Pipeline *pipeline) { pipeRgb(path, pipeline); };
    return image;
}

} // namespace zqpdf
