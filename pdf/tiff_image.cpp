// TIFF pages: decoded with libtiff's RGBA reader, which understands every
// photometric interpretation and compression libtiff supports (the capture
// writes JPEG-compressed RGB), and handed on as raw 8-bit RGB rows.  The
// PDF writer Flate-compresses them, so nothing is lost beyond what the
// TIFF itself lost.
//
// A TIFF's header can claim any size in a few hundred bytes, so nothing is
// allocated from it unchecked: a page may decode to at most 1 GiB; the
// usual layouts are decoded row by row, the others in bands of a bounded
// number of rows, and libtiff's own buffers are capped.
#include "compose_error.h"
#include "page_image.h"
#include "tiff_messages.h"

#include <qpdf/Pipeline.hh>

#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

namespace zqpdf
{
namespace
{

// The most a page may decode to, as 8-bit RGB.  The cameras' largest frame
// (4208 x 3120) takes 39 MB; 1 GiB holds a page 27 times as large (about
// 18900 x 18900 pixels, an A4 sheet at 2200 dpi).  Beyond it the composer's
// peak, which is dominated by qpdf's compressed copy of the page, would no
// longer fit a desktop's memory beside everything else.
constexpr uint64_t kMaxPageBytes = uint64_t(1) << 30;
// Nor may a side be longer than JPEG's longest: a row of the RGBA reader,
// which takes no fewer than one, then stays within a quarter of a megabyte.
constexpr uint32_t kMaxSide = 65535;
// The largest single buffer libtiff may take for a file: a strip or tile
// of a layout that only the RGBA reader decodes.
constexpr tmsize_t kMaxLibtiffBuffer = 256 << 20;
// The RGBA reader decodes bands of whole strips or tiles covering at least
// this many rows, as long as the band's raster stays within kMaxBandBytes.
constexpr uint32_t kMinRowsPerBand = 64;
constexpr uint64_t kMaxBandBytes = 32 << 20;
constexpr uint64_t kRasterBytesPerPixel = 4;

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
        const TiffOptions options = tiffOptions(&message_);
        // No tag or strip of a hostile file makes libtiff take more.
        TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxLibtiffBuffer);
        // libtiff reads the very file that was checked, and closes the
        // descriptor it is given once it has opened the file.
        const int fd = ::dup(::fileno(openPageFile(path).get()));
        if (fd < 0)
            throw ComposeError::unreadable(path, errno);
        tiff_.reset(TIFFFdOpenExt(fd, path.c_str(), "r", options.get()));
        if (!tiff_) {
            ::close(fd);
            throw ComposeError::notPicture(path, message_);
        }
    }

    TIFF *get() const { return tiff_.get(); }
    [[noreturn]] void fail() const { throw ComposeError::notPicture(path_, message_); }

    // Starts libtiff's RGBA reader, delivering rows top to bottom.
    void begin(TIFFRGBAImage &reader)
    {
        char emsg[1024] = "";
        if (!TIFFRGBAImageOK(tiff_.get(), emsg) ||
            !TIFFRGBAImageBegin(&reader, tiff_.get(), 1, emsg))
            throw ComposeError::notPicture(path_, emsg);
        reader.req_orientation = ORIENTATION_TOPLEFT;
    }

  private:
    std::string path_;
    std::string message_;
    Tiff tiff_;
};

// A page larger than kMaxPageBytes, or wider or taller than kMaxSide,
// cannot be read here; said before anything of that size is allocated.
void checkDecodedSize(const std::string &path, uint32_t width, uint32_t height)
{
    const bool sidesFit = width <= kMaxSide && height <= kMaxSide;
    if (sidesFit && uint64_t(width) * height <= kMaxPageBytes / 3)
        return;
    throw ComposeError::unreadable(
        path, "a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                  " pixels " +
                  (sidesFit ? "decodes to more than 1 GiB" : "is more than 65535 pixels across"));
}

// Layouts whose rows libtiff's scanline interface delivers as 8-bit grey
// or RGB, top row first, decoding a strip only as far as it is read: a
// strip of any size then costs one row of memory.  The capture's own files
// (JPEG-compressed RGB) are of this kind.
struct ScanlineLayout {
    bool usable = false;
    bool grey = false;
    bool inverted = false; // 0 is white
    bool ycbcr = false;    // JPEG-compressed YCbCr, converted to RGB by libtiff
};

ScanlineLayout scanlineLayout(TIFF *tiff)
{
    uint16_t bits = 0, samples = 0, planar = 0, photometric = 0, orientation = 0, compression = 0,
             extraCount = 0;
    uint16_t *extraTypes = nullptr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric) || TIFFIsTiled(tiff) || bits != 8 ||
        planar != PLANARCONFIG_CONTIG || orientation != ORIENTATION_TOPLEFT || extraCount != 0)
        return {};
    switch (photometric) {
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_MINISWHITE:
        return {samples == 1, true, photometric == PHOTOMETRIC_MINISWHITE, false};
    case PHOTOMETRIC_RGB:
        return {samples == 3, false, false, false};
    case PHOTOMETRIC_YCBCR:
        return {samples == 3 && compression == COMPRESSION_JPEG, false, false, true};
    default:
        return {};
    }
}

void pipeScanlines(TiffFile &file, const ScanlineLayout &layout, uint32_t width, uint32_t height,
                   Pipeline *pipeline)
{
    TIFF *tiff = file.get();
    if (layout.ycbcr && !TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB))
        file.fail();
    const size_t rowBytes = size_t(width) * 3;
    const size_t lineBytes = layout.grey ? width : rowBytes;
    if (TIFFScanlineSize(tiff) != tmsize_t(lineBytes))
        file.fail();
    std::vector<unsigned char> line(lineBytes);
    std::vector<unsigned char> rgb(layout.grey ? rowBytes : 0);
    for (uint32_t row = 0; row < height; ++row) {
        if (TIFFReadScanline(tiff, line.data(), row, 0) < 0)
            file.fail();
        if (!layout.grey) {
            pipeline->write(line.data(), rowBytes);
            continue;
        }
        for (size_t x = 0; x < width; ++x) {
            const unsigned char v = layout.inverted ? 255 - line[x] : line[x];
            rgb[3 * x] = rgb[3 * x + 1] = rgb[3 * x + 2] = v;
        }
        pipeline->write(rgb.data(), rowBytes);
    }
}

// Rows per band of the RGBA reader: whole strips or tiles, so that none
// is decoded twice, unless one is taller than the band may be; the reader
// then decodes that strip in parts.
uint32_t rowsPerBand(TIFF *tiff, uint32_t width, uint32_t height)
{
    uint32_t unit = 0;
    if (TIFFIsTiled(tiff))
        TIFFGetField(tiff, TIFFTAG_TILELENGTH, &unit);
    else
        TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &unit);
    unit = std::clamp<uint32_t>(unit, 1, height);
    const uint64_t wholeUnits = uint64_t((kMinRowsPerBand + unit - 1) / unit) * unit;
    const uint64_t fitting = std::max<uint64_t>(1, kMaxBandBytes / (kRasterBytesPerPixel * width));
    return uint32_t(std::min<uint64_t>({wholeUnits, fitting, height}));
}

void pipeRgba(TiffFile &file, TIFFRGBAImage &reader, Pipeline *pipeline)
{
    const uint32_t width = reader.width;
    const uint32_t height = reader.height;
    const uint32_t band = rowsPerBand(file.get(), width, height);
    // The reader turns each band the right way up, but counts bands in the
    // file's order: a picture stored bottom up is read from its last band.
    const bool bottomUp =
        reader.orientation == ORIENTATION_BOTLEFT || reader.orientation == ORIENTATION_BOTRIGHT ||
        reader.orientation == ORIENTATION_LEFTBOT || reader.orientation == ORIENTATION_RIGHTBOT;
    // Left uninitialised: memory is touched only as far as rows decode.
    const std::unique_ptr<uint32_t[]> raster(new uint32_t[size_t(width) * band]);
    const std::unique_ptr<unsigned char[]> rgb(new unsigned char[size_t(width) * band * 3]);
    for (uint32_t done = 0; done < height; done += band) {
        const uint32_t rows = std::min(band, height - done);
        reader.row_offset = static_cast<int>(bottomUp ? height - done - rows : done);
        if (!TIFFRGBAImageGet(&reader, raster.get(), width, rows))
            file.fail();
        const size_t pixels = size_t(width) * rows;
        for (size_t i = 0; i < pixels; ++i) {
            rgb[3 * i] = static_cast<unsigned char>(TIFFGetR(raster[i]));
            rgb[3 * i + 1] = static_cast<unsigned char>(TIFFGetG(raster[i]));
            rgb[3 * i + 2] = static_cast<unsigned char>(TIFFGetB(raster[i]));
        }
        pipeline->write(rgb.get(), pixels * 3);
    }
}

void pipeRgb(const std::string &path, Pipeline *pipeline)
{
    TiffFile file(path);
    TIFFRGBAImage reader{};
    file.begin(reader);
    std::unique_ptr<TIFFRGBAImage, void (*)(TIFFRGBAImage *)> end(&reader, TIFFRGBAImageEnd);
    checkDecodedSize(path, reader.width, reader.height); // the file may have changed since
    const ScanlineLayout layout = scanlineLayout(file.get());
    if (layout.usable)
        pipeScanlines(file, layout, reader.width, reader.height, pipeline);
    else
        pipeRgba(file, reader, pipeline);
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
    if (width == 0 || height == 0)
        throw ComposeError::notPicture(path, "picture of " + std::to_string(width) + " x " +
                                                 std::to_string(height) + " pixels");
    checkDecodedSize(path, width, height);
    TIFFRGBAImage reader{};
    file.begin(reader); // refuses layouts the reader cannot decode, before writing starts
    TIFFRGBAImageEnd(&reader);

    struct stat status;
    if (::fstat(TIFFFileno(file.get()), &status) != 0)
        throw ComposeError::unreadable(path, errno);

    PageImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.colorSpace = "/DeviceRGB";
    image.storedBytes = size_t(status.st_size);
    image.streamData = [path](Pipeline *pipeline) { pipeRgb(path, pipeline); };
    return image;
}

} // namespace zqpdf
