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
        Pl_Discard discard;
        page.streamData(&discard);
    } catch (const zqpdf::ComposeError &) {
        // a refusal is the expected end for most inputs
    }
    return 0;
}
