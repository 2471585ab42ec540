#include "bitmap_stream.h"

#include "compose_error.h"
#include "tiff_messages.h"

#include <qpdf/Pl_Flate.hh>
#include <qpdf/Pl_String.hh>

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace zqpdf
{
namespace
{

// A TIFF file in memory, for libtiff's client interface.
struct MemoryFile {
    std::string bytes;
    size_t at = 0;
};

MemoryFile &fileOf(thandle_t handle)
{
    return *static_cast<MemoryFile *>(handle);
}

tmsize_t readMemory(thandle_t handle, void *data, tmsize_t size)
{
    MemoryFile &file = fileOf(handle);
    if (file.at >= file.bytes.size())
        return 0;
    const size_t got = std::min(size_t(size), file.bytes.size() - file.at);
    std::memcpy(data, file.bytes.data() + file.at, got);
    file.at += got;
    return tmsize_t(got);
}

tmsize_t writeMemory(thandle_t handle, void *data, tmsize_t size)
{
    MemoryFile &file = fileOf(handle);
    if (file.bytes.size() < file.at + size_t(size))
        file.bytes.resize(file.at + size_t(size));
    std::memcpy(&file.bytes[file.at], data, size_t(size));
    file.at += size_t(size);
    return size;
}

toff_t seekMemory(thandle_t handle, toff_t offset, int whence)
{
    MemoryFile &file = fileOf(handle);
    const size_t base = whence == SEEK_CUR ? file.at : whence == SEEK_END ? file.bytes.size() : 0;
    file.at = base + size_t(offset);
    return file.at;
}

int closeMemory(thandle_t)
{
    return 0;
}

toff_t sizeOfMemory(thandle_t handle)
{
    return fileOf(handle).bytes.size();
}

int mapNothing(thandle_t, void **, toff_t *)
{
    return 0;
}

void unmapNothing(thandle_t, void *, toff_t) {}

struct TiffCloser {
    void operator()(TIFF *t) const { TIFFClose(t); }
};

[[noreturn]] void cannotEncode(const std::string &why)
{
    throw ComposeError(ZQPDF_ERR_INTERNAL, "cannot encode a bilevel page: " + why);
}

// The bitmap's Group 4 data: libtiff's coder writes a one-strip TIFF in
// memory, and the strip is the data.  Its coder takes 0 bits for white,
// as our 1 bits are ink.
std::string group4(const Bitmap &bitmap)
{
    MemoryFile file;
    std::string message;
    const TiffOptions options = tiffOptions(&message);
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpenExt("bilevel page", "wm", &file, readMemory, writeMemory, seekMemory,
                          closeMemory, sizeOfMemory, mapNothing, unmapNothing, options.get()));
    if (!tiff)
        cannotEncode(message);
    TIFF *t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(bitmap.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(bitmap.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(bitmap.height));
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    // libtiff's interface takes the rows as writable; the coder only reads them.
    void *rows = const_cast<uint8_t *>(bitmap.bits.data());
    if (TIFFWriteEncodedStrip(t, 0, rows, tmsize_t(bitmap.bits.size())) < 0)
        cannotEncode(message);
    uint64_t *offsets = nullptr;
    uint64_t *counts = nullptr;
    if (!TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts) ||
        offsets[0] + counts[0] > file.bytes.size())
        cannotEncode("no strip written");
    return file.bytes.substr(offsets[0], counts[0]);
}

std::string flate(const Bitmap &bitmap)
{
    std::string compressed;
    Pl_String out("bilevel page", nullptr, compressed);
    Pl_Flate deflate("bilevel page", &out, Pl_Flate::a_deflate);
    deflate.write(bitmap.bits.data(), bitmap.bits.size());
    deflate.finish();
    return compressed;
}

} // namespace

PageImage bitmapImage(const Bitmap &bitmap, BitmapUse use)
{
    PageImage image;
    image.width = bitmap.width;
    image.height = bitmap.height;
    image.colorSpace = use == BitmapUse::Stencil ? "" : "/DeviceGray";
    image.bitsPerComponent = 1;
    std::string g4 = group4(bitmap);
    std::string deflated = flate(bitmap);
    if (g4.size() <= deflated.size()) {
        // The decoder gives 0 for black, which /DeviceGray shows black and
        // a stencil mask paints.
        image.filter = "/CCITTFaxDecode";
        image.decodeParms = {{"/K", -1}, {"/Columns", bitmap.width}, {"/Rows", bitmap.height}};
        image.storedBytes = g4.size();
        image.streamData = streamOf(std::move(g4));
    } else {
        image.filter = "/FlateDecode";
        image.inkIsOne = true;
        image.storedBytes = deflated.size();
        image.streamData = streamOf(std::move(deflated));
    }
    return image;
}

} // namespace zqpdf
