#include "page_image.h"

#include "compose_error.h"

#include <qpdf/Pipeline.hh>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

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

// Reads the first bytes of the file; fewer when the file is shorter.
size_t readMagic(const std::string &path, Magic &magic)
{
    const File file = openPageFile(path);
    const size_t got = std::fread(magic.data(), 1, magic.size(), file.get());
    if (std::ferror(file.get()))
        throw ComposeError::unreadable(path, errno ? errno : EIO);
    return got;
}

} // namespace

std::function<void(Pipeline *)> streamOf(std::string bytes)
{
    // Shared, as the producer is copied with the page and by qpdf.
    auto data = std::make_shared<const std::string>(std::move(bytes));
    return [data](Pipeline *pipeline) {
        pipeline->write(reinterpret_cast<const unsigned char *>(data->data()), data->size());
        pipeline->finish();
    };
}

File openPageFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw ComposeError::unreadable(path, errno);
    struct stat status;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int err = S_ISDIR(status.st_mode) ? EISDIR : errno;
        ::close(fd);
        if (err)
            throw ComposeError::unreadable(path, err);
        throw ComposeError::unreadable(path, "it is not a regular file");
    }
    // Reads of a regular file wait for the disk as usual.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    File file(::fdopen(fd, "rb"));
    if (!file) {
        const int err = errno;
        ::close(fd);
        throw ComposeError::unreadable(path, err);
    }
    return file;
}

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
