#include "picture_header.h"

#include <cstring>

namespace zqpage
{
namespace
{

// Bytes in memory, read with bounds checks; offsets are counted from the
// start of the view.
class ByteView
{
  public:
    ByteView(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    size_t size() const { return size_; }
    const uint8_t *data() const { return data_; }
    bool has(size_t offset, size_t count) const
    {
        return offset <= size_ && count <= size_ - offset;
    }
    bool startsWith(size_t offset, const char *bytes, size_t count) const
    {
        return has(offset, count) && std::memcmp(data_ + offset, bytes, count) == 0;
    }

    // Unchecked: the caller has checked has() for the bytes they read.
    ByteView from(size_t offset, size_t count) const { return {data_ + offset, count}; }
    uint16_t bigEndian16(size_t offset) const
    {
        return uint16_t(data_[offset] << 8 | data_[offset + 1]);
    }
    uint32_t bigEndian32(size_t offset) const
    {
        return uint32_t(bigEndian16(offset)) << 16 | bigEndian16(offset + 2);
    }
    uint16_t littleEndian16(size_t offset) const
    {
        return uint16_t(data_[offset] | data_[offset + 1] << 8);
    }
    uint32_t littleEndian32(size_t offset) const
    {
        return uint32_t(littleEndian16(offset + 2)) << 16 | littleEndian16(offset);
    }

  private:
    const uint8_t *data_;
    size_t size_;
};

// ---- TIFF structure: a TIFF file, and the EXIF block of a JPEG ----

constexpr uint16_t kTagImageWidth = 256;
constexpr uint16_t kTagImageLength = 257;
constexpr uint16_t kTagExifDirectory = 0x8769;
constexpr uint16_t kTagFocalLengthIn35mmFilm = 0xA405;

// A byte-order mark, 42, and the offset of the first directory; each
// directory is a count and 12-byte entries (tag, type, count, and the
// value itself when it fits 4 bytes).
class TiffStructure
{
  public:
    static std::optional<TiffStructure> open(ByteView bytes)
    {
        bool bigEndian;
        if (bytes.startsWith(0, "II*\0", 4))
            bigEndian = false;
        else if (bytes.startsWith(0, "MM\0*", 4))
            bigEndian = true;
        else
            return std::nullopt;
        if (!bytes.has(4, 4))
            return std::nullopt;
        return TiffStructure(bytes, bigEndian);
    }

    uint32_t firstDirectory() const { return read32(4); }

    // The value of a tag holding one SHORT, LONG or directory offset in the
    // directory at that offset; nullopt when it is not there like that.
    std::optional<uint32_t> number(uint32_t directory, uint16_t tag) const
    {
        if (!bytes_.has(directory, 2))
            return std::nullopt;
        const unsigned entries = read16(directory);
        for (unsigned i = 0; i < entries; ++i) {
            const size_t entry = size_t(directory) + 2 + 12 * size_t(i);
            if (!bytes_.has(entry, 12))
                return std::nullopt;
            if (read16(entry) != tag)
                continue;
            const uint16_t type = read16(entry + 2);
            if (read32(entry + 4) != 1)
                return std::nullopt;
            if (type == kShort)
                return read16(entry + 8);
            if (type == kLong || type == kDirectory)
                return read32(entry + 8);
            return std::nullopt;
        }
        return std::nullopt;
    }

    // FocalLengthIn35mmFilm from the EXIF directory that the first
    // directory points to; 0 when there is none.
    unsigned focalLength35mm() const
    {
        const std::optional<uint32_t> exif = number(firstDirectory(), kTagExifDirectory);
        if (!exif)
            return 0;
        return number(*exif, kTagFocalLengthIn35mmFilm).value_or(0);
    }

  private:
    static constexpr uint16_t kShort = 3;
    static constexpr uint16_t kLong = 4;
    static constexpr uint16_t kDirectory = 13;

    TiffStructure(ByteView bytes, bool bigEndian) : bytes_(bytes), bigEndian_(bigEndian) {}

    // The caller has checked that the bytes are there.
    uint16_t read16(size_t offset) const
    {
        return bigEndian_ ? bytes_.bigEndian16(offset) : bytes_.littleEndian16(offset);
    }
    uint32_t read32(size_t offset) const
    {
        return bigEndian_ ? bytes_.bigEndian32(offset) : bytes_.littleEndian32(offset);
    }

    ByteView bytes_;
    bool bigEndian_;
};

std::optional<PictureHeader> readTiff(ByteView bytes, std::string &error)
{
    const std::optional<TiffStructure> tiff = TiffStructure::open(bytes);
    if (!tiff) {
        error = "its TIFF header is cut short";
        return std::nullopt;
    }
    const uint32_t directory = tiff->firstDirectory();
    const std::optional<uint32_t> width = tiff->number(directory, kTagImageWidth);
    const std::optional<uint32_t> height = tiff->number(directory, kTagImageLength);
    if (!width || !height || *width == 0 || *height == 0) {
        error = "its TIFF directory gives no size";
        return std::nullopt;
    }
    return PictureHeader{PictureFormat::Tiff, *width, *height, tiff->focalLength35mm()};
}

// ---- PNG: the signature, then the IHDR chunk with the size ----

std::optional<PictureHeader> readPng(ByteView bytes, std::string &error)
{
    constexpr size_t kIhdr = 8;
    if (!bytes.has(kIhdr, 16) || !bytes.startsWith(kIhdr + 4, "IHDR", 4)) {
        error = "its PNG header is cut short or damaged";
        return std::nullopt;
    }
    const uint32_t width = bytes.bigEndian32(kIhdr + 8);
    const uint32_t height = bytes.bigEndian32(kIhdr + 12);
    // PNG sizes are 1 to 2^31 - 1.
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) {
        error = "its PNG header gives no valid size";
        return std::nullopt;
    }
    return PictureHeader{PictureFormat::Png, width, height, 0};
}

// ---- JPEG: markers and their segments, scans of entropy-coded data ----

constexpr uint8_t kMarkerTem = 0x01;
constexpr uint8_t kMarkerSoi = 0xD8;
constexpr uint8_t kMarkerEoi = 0xD9;
constexpr uint8_t kMarkerSos = 0xDA;
constexpr uint8_t kMarkerApp1 = 0xE1;

bool isFrameHeader(uint8_t marker)
{
    // SOF0 to SOF15 but DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The offset of the 0xFF that starts the next marker at or after offset,
// stepping over stuffed bytes (FF 00) and restart markers in scan data,
// and over stray bytes between segments as decoders do; npos when the
// bytes end first.
size_t nextMarker(ByteView bytes, size_t offset)
{
    while (offset < bytes.size()) {
        const void *found = std::memchr(bytes.data() + offset, 0xFF, bytes.size() - offset);
        if (!found)
            return std::string::npos;
        const size_t at = size_t(static_cast<const uint8_t *>(found) - bytes.data());
        if (at + 1 >= bytes.size())
            return std::string::npos;
        const uint8_t next = bytes.data()[at + 1];
        if (next == 0xFF || next == 0x00 || (next >= 0xD0 && next <= 0xD7))
            offset = at + 1; // a fill byte, a stuffed byte or a restart
        else
            return at;
    }
    return std::string::npos;
}

// FocalLengthIn35mmFilm of an APP1 segment holding EXIF (0 when it does
// not say); nullopt for an APP1 segment of another kind, such as XMP.
std::optional<unsigned> exifFocalLength(ByteView segment)
{
    constexpr size_t kExifIdLength = 6;
    if (!segment.startsWith(0, "Exif\0\0", kExifIdLength))
        return std::nullopt;
    const std::optional<TiffStructure> tiff =
        TiffStructure::open(segment.from(kExifIdLength, segment.size() - kExifIdLength));
    return tiff ? tiff->focalLength35mm() : 0;
}

std::optional<PictureHeader> readJpeg(ByteView bytes, std::string &error)
{
    std::optional<PictureHeader> header;
    std::optional<unsigned> focal;
    size_t offset = 2; // past SOI
    for (;;) {
        offset = nextMarker(bytes, offset);
        if (offset == std::string::npos) {
            error = "its JPEG data ends before the end-of-image marker";
            return std::nullopt;
        }
        const uint8_t marker = bytes.data()[offset + 1];
        offset += 2;
        if (marker == kMarkerEoi)
            break;
        if (marker == kMarkerTem)
            continue;
        // Every other marker starts a segment: its length counts itself.
        const size_t length = bytes.has(offset, 2) ? bytes.bigEndian16(offset) : 0;
        if (marker == kMarkerSoi || length < 2 || !bytes.has(offset, length)) {
            error = "its JPEG data is damaged or cut short";
            return std::nullopt;
        }
        const ByteView segment = bytes.from(offset + 2, length - 2);
        offset += length;
        if (marker == kMarkerApp1 && !focal) {
            focal = exifFocalLength(segment);
        } else if (isFrameHeader(marker) && !header) {
            // Precision, height, width, number of components.
            if (!segment.has(0, 6) || segment.bigEndian16(1) == 0 || segment.bigEndian16(3) == 0) {
                error = "its JPEG frame header gives no size";
                return std::nullopt;
            }
            header = PictureHeader{PictureFormat::Jpeg, segment.bigEndian16(3),
                                   segment.bigEndian16(1), 0};
        } else if (marker == kMarkerSos && !header) {
            error = "its JPEG data has a scan before the frame header";
            return std::nullopt;
        }
    }
    if (!header) {
        error = "its JPEG data has no frame header";
        return std::nullopt;
    }
    header->focalLength35mm = focal.value_or(0);
    return header;
}

} // namespace

std::optional<PictureHeader> readPictureHeader(const uint8_t *data, size_t size, std::string &error)
{
    const ByteView bytes(data, size);
    if (bytes.startsWith(0, "\xFF\xD8", 2))
        return readJpeg(bytes, error);
    if (bytes.startsWith(0, "\x89PNG\r\n\x1A\n", 8))
        return readPng(bytes, error);
    if (bytes.startsWith(0, "II*\0", 4) || bytes.startsWith(0, "MM\0*", 4))
        return readTiff(bytes, error);
    error = "it is not a JPEG, PNG or TIFF picture";
    return std::nullopt;
}

} // namespace zqpage
