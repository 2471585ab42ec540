// Grey and quarter turn of RGB24 pictures, and the JPEG and TIFF writers.
//
// A writer reports success only once the whole file is on the disk under
// its name; on any failure it leaves no file behind and an older file of
// that name untouched (see AtomicFile).  Neither libjpeg nor libtiff may end
// the process or print anything: their errors come back here as results.

#include <zqscan/zq_scanner.h>
#include "atomic_file.h"
#include "last_error.h"
#include "picture_kernels.h"

#include <sys/mman.h>
#include <unistd.h>

#include <jpeglib.h>
#include <tiffio.h>

#include <cerrno>
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

namespace
{

// The byte count of a width x height RGB24 picture, or 0 when the sizes
// cannot describe one (not positive, or too many bytes to address).
size_t picture_bytes(int width, int height)
{
    if (width <= 0 || height <= 0)
        return 0;
    ptrdiff_t bytes;
    if (__builtin_mul_overflow(static_cast<ptrdiff_t>(width), static_cast<ptrdiff_t>(height),
                               &bytes) ||
        __builtin_mul_overflow(bytes, ptrdiff_t{3}, &bytes))
        return 0;
    return static_cast<size_t>(bytes);
}

// The byte count of a picture a call takes, or 0 when the call refuses it;
// the reason is recorded then.
size_t accepted_picture_bytes(const void *picture, int width, int height)
{
    if (!picture) {
        zq::failWith("no picture given (null pointer)");
        return 0;
    }
    const size_t bytes = picture_bytes(width, height);
    if (bytes == 0)
        zq::failWith("%d x %d pixels describe no picture", width, height);
    return bytes;
}

// The rotation's scratch picture, kept from call to call: the preview turns
// every frame, and a fresh allocation of a large frame costs a page fault on
// every page each time.  It asks for large pages: the turn reads it down its
// columns, one small-page translation per row otherwise.  One per thread
// keeps the operation re-entrant.
class ScratchPicture
{
  public:
    ScratchPicture() = default;
    ScratchPicture(const ScratchPicture &) = delete;
    ScratchPicture &operator=(const ScratchPicture &) = delete;
    ~ScratchPicture() { release(); }

    // Room for bytes plus the slack the rotation may read; null when out of memory.
    uint8_t *get(size_t bytes)
    {
        const size_t needed = bytes + zq::picture::kRotateSourceSlack;
        if (needed > capacity_) {
            release();
            // Large pages need an aligned start: one page more, cut to the boundary.
            const size_t length = (needed + kLargePage - 1) / kLargePage * kLargePage;
            void *mapping = mmap(nullptr, length + kLargePage, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (mapping == MAP_FAILED)
                return nullptr;
            mapping_ = mapping;
            mapped_ = length + kLargePage;
            const uintptr_t start = (uintptr_t(mapping) + kLargePage - 1) & ~(kLargePage - 1);
            memory_ = reinterpret_cast<uint8_t *>(start);
            capacity_ = length;
            madvise(memory_, capacity_, MADV_HUGEPAGE); // a hint: small pages work too
        }
        return memory_;
    }

  private:
    static constexpr uintptr_t kLargePage = uintptr_t(2) << 20;

    void release()
    {
        if (mapping_)
            munmap(mapping_, mapped_);
        mapping_ = nullptr;
        memory_ = nullptr;
        mapped_ = capacity_ = 0;
    }

    void *mapping_ = nullptr;
    size_t mapped_ = 0;
    uint8_t *memory_ = nullptr;
    size_t capacity_ = 0;
};

thread_local ScratchPicture scratch;

// ---- JPEG ------------------------------------------------------------------

// libjpeg's error manager with a way back into the writer: libjpeg calls
// error_exit on any fatal error and must not return from it.
struct JpegErrorTrap {
    jpeg_error_mgr manager; // first, so libjpeg's pointer to it is one to the trap
    jmp_buf escape;
};

[[noreturn]] void leave_encoder(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<JpegErrorTrap *>(cinfo->err)->escape, 1);
}

void say_nothing(j_common_ptr) {}

// Encodes the picture into out, one row a call straight from the caller's
// memory.  Only plain C objects live in this frame, so libjpeg may jump
// back into it.
bool encode_jpeg(FILE *out, const uint8_t *picture, int width, int height, int quality)
{
    jpeg_compress_struct jcs{};
    JpegErrorTrap trap;
    jcs.err = jpeg_std_error(&trap.manager);
    trap.manager.error_exit = leave_encoder;
    trap.manager.output_message = say_nothing;
    if (setjmp(trap.escape)) {
        jpeg_destroy_compress(&jcs);
        return false;
    }
    jpeg_create_compress(&jcs);
    jpeg_stdio_dest(&jcs, out);
    jcs.image_width = static_cast<JDIMENSION>(width);
    jcs.image_height = static_cast<JDIMENSION>(height);
    jcs.input_components = 3;
    jcs.in_color_space = JCS_RGB;
    jpeg_set_defaults(&jcs);
    jpeg_set_quality(&jcs, quality, TRUE);
    jpeg_start_compress(&jcs, TRUE);
    const size_t row_stride = static_cast<size_t>(width) * 3;
    while (jcs.next_scanline < jcs.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture + jcs.next_scanline * row_stride);
        jpeg_write_scanlines(&jcs, &row, 1);
    }
    jpeg_finish_compress(&jcs);
    jpeg_destroy_compress(&jcs);
    return true;
}

bool write_jpeg(zq::AtomicFile &file, const uint8_t *picture, int width, int height, int quality)
{
    FILE *out = file.stream();
    return out && encode_jpeg(out, picture, width, height, quality);
}

// ---- TIFF ------------------------------------------------------------------

int say_nothing_tiff(TIFF *, void *, const char *, const char *, va_list)
{
    return 1;
}

// Per-file handlers, so the messages are dropped without changing the
// process-wide ones that the host program may have set.
struct QuietTiffOptions {
    QuietTiffOptions() : options(TIFFOpenOptionsAlloc())
    {
        if (!options)
            return;
        TIFFOpenOptionsSetErrorHandlerExtR(options, say_nothing_tiff, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(options, say_nothing_tiff, nullptr);
    }
    ~QuietTiffOptions() { TIFFOpenOptionsFree(options); }
    QuietTiffOptions(const QuietTiffOptions &) = delete;
    QuietTiffOptions &operator=(const QuietTiffOptions &) = delete;

    TIFFOpenOptions *options;
};

struct TiffField {
    ttag_t tag;
    int value;
};

// Encodes the picture as a JPEG-compressed TIFF; false when libtiff refused
// a field or failed to write.
bool encode_tiff(TIFF *tiff, const uint8_t *picture, int width, int height, int quality)
{
    // In this order: the quality pseudo-tag is only accepted once JPEG
    // compression has been chosen.
    const TiffField fields[] = {
        {TIFFTAG_IMAGEWIDTH, width},
        {TIFFTAG_IMAGELENGTH, height},
        {TIFFTAG_COMPRESSION, COMPRESSION_JPEG},
        {TIFFTAG_JPEGQUALITY, quality},
        {TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG},
        {TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT},
        {TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB},
        {TIFFTAG_BITSPERSAMPLE, 8},
        {TIFFTAG_SAMPLESPERPIXEL, 3},
    };
    for (const TiffField &field : fields)
        if (TIFFSetField(tiff, field.tag, field.value) != 1)
            return false;

    const size_t row_stride = static_cast<size_t>(width) * 3;
    for (int n = 0; n < height; ++n) {
        void *row = const_cast<uint8_t *>(picture + n * row_stride);
        if (TIFFWriteScanline(tiff, row, static_cast<uint32_t>(n), 0) != 1)
            return false;
    }
    // TIFFClose reports nothing, so the last strip and the directory are
    // written here, where a failure can be seen.
    return TIFFFlush(tiff) == 1;
}

bool write_tiff(zq::AtomicFile &file, const uint8_t *picture, int width, int height, int quality)
{
    const int fd = file.duplicate_fd();
    if (fd < 0)
        return false;
    QuietTiffOptions quiet;
    TIFF *tiff = TIFFFdOpenExt(fd, file.temporary_path().c_str(), "w", quiet.options);
    if (!tiff) {
        ::close(fd);
        return false;
    }
    const bool encoded = encode_tiff(tiff, picture, width, height, quality);
    TIFFClose(tiff); // closes fd
    return encoded;
}

// ---- both writers ------------------------------------------------------------

struct Writer {
    bool (*encode)(zq::AtomicFile &, const uint8_t *, int, int, int);
    const char *kind;
    const char *call;
};

const Writer kJpegWriter = {write_jpeg, "JPEG", "zq_scanner_picture_save"};
const Writer kTiffWriter = {write_tiff, "TIFF", "zq_scanner_picture_save_tiff"};

int save(const Writer &writer, const char *filename, const unsigned char *picture, int width,
         int height, int quality)
{
    if (!filename || !*filename) {
        errno = EINVAL;
        zq::failWith("no file name given for the %s file", writer.kind);
        return -1;
    }
    if (accepted_picture_bytes(picture, width, height) == 0) {
        errno = EINVAL;
        return -1;
    }
    try {
        zq::AtomicFile file(filename);
        if (!file.is_open()) {
            zq::failWithErrno("cannot create %s", filename);
            return -1;
        }
        errno = 0;
        if (!writer.encode(file, picture, width, height, quality)) {
            // The encoder's own failure (a write, a refused field) or the
            // reason the stream kept.
            errno = file.write_error() ? file.write_error() : errno ? errno : EIO;
            zq::failWithErrno("cannot write the %s file %s", writer.kind, filename);
            return -1;
        }
        if (file.commit())
            return 0;
        zq::failWithErrno("cannot save %s", filename);
        return -1;
    } catch (...) {
        errno = ENOMEM;
        zq::failWithCurrentException(writer.call);
        return -1;
    }
}

} // namespace

extern "C" {

ZQ_EXPORT void zq_scanner_picture_gray(unsigned char *picture, int width, int height)
{
    const size_t bytes = accepted_picture_bytes(picture, width, height);
    if (bytes)
        zq::picture::grey(picture, bytes / 3);
}

ZQ_EXPORT void zq_scanner_picture_rotate_90(unsigned char *picture, int width, int height)
{
    const size_t bytes = accepted_picture_bytes(picture, width, height);
    if (!bytes)
        return;
    uint8_t *copy = scratch.get(bytes);
    if (!copy) {
        zq::failWithErrno("no memory to turn a %d x %d picture", width, height);
        return;
    }
    std::memcpy(copy, picture, bytes);
    zq::picture::rotate(copy, picture, width, height);
}

ZQ_EXPORT int zq_scanner_picture_save(const char *filename, const unsigned char *picture, int width,
                                      int height, int quality)
{
    return save(kJpegWriter, filename, picture, width, height, quality);
}

ZQ_EXPORT int zq_scanner_picture_save_tiff(const char *filename, const unsigned char *picture,
                                           int width, int height, int quality)
{
    return save(kTiffWriter, filename, picture, width, height, quality);
}

} // extern "C"
