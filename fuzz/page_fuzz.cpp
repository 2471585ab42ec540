// libzqpdf's page readers on arbitrary bytes: the file is opened as a JPEG
// or TIFF page and its image stream produced, as a composition does.
#include "compose_error.h"
#include "page_image.h"

#include <qpdf/Pl_Discard.hh>

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace
{

// Streaming takes time in proportion to the picture's size, which a few
// bytes can claim up to the readers' own limit.  Under the sanitizers a
// page much beyond the cameras' largest (4208 x 3120) outlasts the time
// given to one input while reaching no code a smaller page does not: such
// pages are opened, which checks their size, but not streamed.
constexpr uint64_t kMaxStreamedPixels = 16'000'000;

// The input as a file the readers can open by name, without a disk.
const std::string &inputFile(const uint8_t *data, size_t size)
{
    static const int fd = memfd_create("page", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        __builtin_trap();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string &path = inputFile(data, size);
    try {
#if defined(ZQ_FUZZ_JPEG)
        const zqpdf::PageImage page = zqpdf::openJpeg(path);
#else
        const zqpdf::PageImage page = zqpdf::openTiff(path);
#endif
        if (uint64_t(page.width) * uint64_t(page.height) > kMaxStreamedPixels)
            return 0;
        Pl_Discard discard;
        page.streamData(&discard);
    } catch (const zqpdf::ComposeError &) {
        // a refusal is the expected end for most inputs
    }
    return 0;
}
