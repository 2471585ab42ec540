#include "capturejob.h"

#include "bookcapture.h"
#include "capturedpicture.h"
#include "savedir.h"

#include <zqscan/zq_scanner.h>

#include <cerrno>
#include <utility>

namespace
{

using PictureWriter = int (*)(const char *, const unsigned char *, int, int, int);

} // namespace

std::mutex &libraryRecords()
{
    static std::mutex records;
    return records;
}

HeldFrame HeldFrame::copyFrom(int fd, int width, int height)
{
    HeldFrame held;
    const unsigned char *data = nullptr;
    size_t size = 0;
    const int kind = zq_scanner_preview_frame(fd, &data, &size);
    if (kind < 0 || !data)
        return held;
    held.bytes.assign(data, data + size);
    held.jpeg = kind == ZQ_PREVIEW_JPEG;
    held.width = width;
    held.height = height;
    return held;
}

std::vector<unsigned char> HeldFrame::whole(int &w, int &h) const
{
    if (!jpeg) {
        w = width;
        h = height;
        if (w <= 0 || h <= 0 || bytes.size() < size_t(w) * size_t(h) * 3)
            return {};
        return bytes;
    }
    if (zq_scanner_jpeg_decode(bytes.data(), bytes.size(), 1, nullptr, 0, &w, &h) != 0)
        return {};
    std::vector<unsigned char> rgb(size_t(w) * size_t(h) * 3);
    if (zq_scanner_jpeg_decode(bytes.data(), bytes.size(), 1, rgb.data(), rgb.size(), &w, &h) != 0)
        return {};
    return rgb;
}

namespace
{

// The pages of the frame as the job's cut asks; the whole frame when the
// cut finds nothing.
std::vector<CapturedPicture> cutPictures(const CaptureJob &job, const unsigned char *rgb, int w,
                                         int h)
{
    std::vector<CapturedPicture> pictures;
    switch (job.cut) {
    case CaptureJob::Cut::Whole:
        break;
    case CaptureJob::Cut::Page:
        pictures.push_back(
            CapturedPicture::cutBy([&](unsigned char *out, int size, int *ow, int *oh) {
                return zq_scanner_page_cut_near(rgb, w, h, job.outline.data(), job.reach, out, size,
                                                ow, oh);
            }));
        break;
    case CaptureJob::Cut::Rectangle: {
        const std::lock_guard<std::mutex> records(libraryRecords());
        zq_scanner_cutting_edge_set(&job.topLeft, &job.bottomRight);
        pictures.push_back(
            CapturedPicture::cutBy([&](unsigned char *out, int size, int *ow, int *oh) {
                return zq_scanner_cutting_edge_do(rgb, w, h, out, size, ow, oh);
            }));
        break;
    }
    case CaptureJob::Cut::Book: {
        const std::lock_guard<std::mutex> records(libraryRecords());
        const int pages = zq_scanner_book_find(rgb, w, h);
        pictures = bookPictures(rgb, w, h, pages, job.rightPageFirst);
        break;
    }
    }
    if (pictures.empty() || (pictures.size() == 1 && !pictures.front().rgb)) {
        pictures.clear();
        pictures.push_back(CapturedPicture::whole(rgb, w, h));
    }
    return pictures;
}

// 0, or why the page's file could not be written.
int writePage(const CapturedPicture &page, const char *path, bool tiff, int quality)
{
    if (!page.rgb)
        return ENOMEM;
    const PictureWriter write = tiff ? zq_scanner_picture_save_tiff : zq_scanner_picture_save;
    errno = 0;
    if (write(path, page.rgb, page.width, page.height, quality) == 0)
        return 0;
    return errno ? errno : EIO;
}

const char *extensionFor(const CaptureJob &job)
{
    return job.tiff ? ".tiff" : ".jpg";
}

CaptureJob::Outcome decodeCutAndWrite(const CaptureJob &job)
{
    CaptureJob::Outcome outcome;
    const char *extension = extensionFor(job);
    int w = 0;
    int h = 0;
    std::vector<unsigned char> rgb = job.frame.whole(w, h);
    if (rgb.empty()) {
        outcome.failedName = QString::fromStdString(job.stamp + extension);
        outcome.error = EIO;
        return outcome;
    }
    if (job.grey)
        zq_scanner_picture_gray(rgb.data(), w, h);
    for (int turn = 0; turn < job.quarterTurns; ++turn) {
        zq_scanner_picture_rotate_90(rgb.data(), w, h);
        std::swap(w, h);
    }
    if (job.clearBackground)
        zq_scanner_clear_background(rgb.data(), w, h);
    for (const CapturedPicture &page : cutPictures(job, rgb.data(), w, h)) {
        const std::string name = job.stamp + page.suffix + extension;
        char path[kPathMax];
        const int error = joinPath(path, job.directory.c_str(), name.c_str())
                              ? writePage(page, path, job.tiff, job.quality)
                              : ENAMETOOLONG;
        if (error) {
            outcome.failedName = QString::fromStdString(name);
            outcome.error = error;
            return outcome;
        }
        outcome.written.push_back({QByteArray(path), QString::fromStdString(name)});
    }
    return outcome;
}

} // namespace

CaptureJob::Outcome CaptureJob::run() const
{
    try {
        return decodeCutAndWrite(*this);
    } catch (...) { // out of memory for the whole frame or a page
        Outcome outcome;
        outcome.failedName = QString::fromStdString(stamp + extensionFor(*this));
        outcome.error = ENOMEM;
        return outcome;
    }
}
