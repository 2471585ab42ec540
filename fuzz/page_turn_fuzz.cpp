// Turning a page file a quarter turn as the page list does
// (app/pageturn.cpp), on arbitrary bytes in the page's file: a JPEG is
// turned losslessly by libjpeg-turbo's transform, a TIFF decoded by Qt,
// turned and written again by libzqscan's TIFF writer, and the file
// replaced atomically.  A turn that fails leaves the file exactly as it
// was; one that succeeds leaves a picture of the same kind, turned: its
// width the old height (a JPEG's trimmed by less than a block of 16
// pixels), its height the old width.  The first byte chooses the
// direction; the rest is the file.
#include "trap_unless.h"
#include "scratch_folder.h"
#include "pageturn.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>

#include <turbojpeg.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

std::string folder;

bool jpegSize(const std::vector<uint8_t> &bytes, int &w, int &h)
{
    tjhandle tj = tjInitDecompress();
    int sub = 0, space = 0;
    const bool ok = tjDecompressHeader3(tj, bytes.data(), bytes.size(), &w, &h, &sub, &space) == 0;
    tjDestroy(tj);
    return ok;
}

QSize tiffSize(const std::string &path)
{
    QImageReader reader(QString::fromStdString(path));
    return reader.size();
}

std::vector<uint8_t> readAll(const std::string &path)
{
    std::vector<uint8_t> bytes;
    FILE *f = fopen(path.c_str(), "rb");
    trapUnless(f != nullptr);
    uint8_t chunk[65536];
    for (size_t n; (n = fread(chunk, 1, sizeof chunk, f)) > 0;)
        bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    std::string base = scratchFolder("turn");
    folder = base;
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5)
        return 0;
    const PageTurn turn = data[0] & 1 ? PageTurn::Right : PageTurn::Left;
    const std::vector<uint8_t> before(data + 1, data + size);
    const std::string path = folder + "/page";
    trapUnless(writeFile(path, before.data(), before.size()));

    const bool jpeg = before[0] == 0xFF && before[1] == 0xD8 && before[2] == 0xFF;
    int w = 0, h = 0;
    bool sized = false;
    if (jpeg) {
        sized = jpegSize(before, w, h);
    } else {
        const QSize s = tiffSize(path);
        sized = s.isValid();
        w = s.width(), h = s.height();
    }
    // A page far beyond the cameras' largest (4208 x 3120) takes longer
    // than a run may under the sanitizers, and memory in proportion.
    if (sized && int64_t(w) * h > 16'000'000) {
        unlink(path.c_str());
        return 0;
    }

    QString why;
    const bool turned = turnPageFile(QByteArray::fromStdString(path), turn, 8, why);
    const std::vector<uint8_t> after = readAll(path);
    if (!turned) {
        trapUnless(!why.isEmpty());
        trapUnless(after == before); // a failed turn leaves the file as it was
    } else {
        trapUnless(sized);
        int nw = 0, nh = 0;
        if (jpeg) {
            trapUnless(jpegSize(after, nw, nh));
            // an edge holding part of a block of up to 16 pixels is trimmed
            trapUnless(nw <= h && nw > h - 16 && nh <= w && nh > w - 16);
        } else {
            const QSize s = tiffSize(path);
            trapUnless(s.width() == h && s.height() == w);
        }
    }
    unlink(path.c_str());
    return 0;
}
