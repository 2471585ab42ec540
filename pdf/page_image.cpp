#include "page_image.h"

#include "compose_error.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zqpdf
{
namespace
{

using Magic = std::array<unsigned char, 4>;

// First bytes of the files we embed; all other files are refused.
struct Signature {
    Magic bytes;
    size_t length;
    PageImage (*open)(const std::string &path);
};

const Signature kSignatures[] = {
    {{0xFF, 0xD8, 0xFF, 0x00}, 3, openJpeg}, // JPEG start-of-image marker
    {{'I', 'I', 42, 0}, 4, openTiff},        // little-endian TIFF
    {{'M', 'M', 0, 42}, 4, openTiff},        // big-endian TIFF
    {{'I', 'I', 43, 0}, 4, openTiff},        // little-endian BigTIFF
    {{'M', 'M', 0, 43}, 4, openTiff},        // big-endian BigTIFF
};

struct FileCloser {
    void operator()(FILE *f) const { std::fclose(f); }
};

// Reads the first bytes of the file; fewer when the file is shorter.
size_t readMagic(const std::string &path, Magic &magic)
{
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file)
        throw ComposeError::unreadable(path, errno);
    const size_t got = std::fread(magic.data(), 1, magic.size(), file.get());
    if (std::ferror(file.get()))
        throw ComposeError::unreadable(path, errno ? errno : EIO);
    return got;
}

} // namespace

PageImage openPicture(const std::string &path)
{
    Magic magic{};
    const size_t got = readMagic(path, magic);
    for (const Signature &s : kSignatures) {
        if (got >= s.length && std::memcmp(magic.data(), s.bytes.data(), s.length) == 0)
            return s.open(path);
    }
    throw ComposeError::notPicture(path);
}

} // namespace zqpdf
