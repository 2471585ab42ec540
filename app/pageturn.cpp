#include "pageturn.h"

#include "atomic_file.h"

#include <zqscan/zq_scanner.h>

#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QTransform>

#include <turbojpeg.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace
{

// Larger files are no pages of ours (an 8 MP page is a few MB).
constexpr qint64 kLargestPage = qint64(256) << 20;

QString systemReason()
{
    return QString::fromLocal8Bit(strerror(errno ? errno : EIO));
}

bool isJpeg(const QByteArray &bytes)
{
    return bytes.startsWith("\xFF\xD8\xFF");
}

bool isTiff(const QByteArray &bytes)
{
    return bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4));
}

bool replaceFile(const QByteArray &path, const unsigned char *data, size_t size, QString &why)
{
    zq::AtomicFile file(path.toStdString());
    std::FILE *stream = file.is_open() ? file.stream() : nullptr;
    if (!stream || std::fwrite(data, 1, size, stream) != size || !file.commit()) {
        why = systemReason();
        return false;
    }
    return true;
}

// The DCT blocks are moved, not decoded: nothing of the picture is lost.
bool turnJpeg(const QByteArray &path, const QByteArray &jpeg, PageTurn turn, QString &why)
{
    const std::unique_ptr<void, int (*)(tjhandle)> transformer(tjInitTransform(), tjDestroy);
    if (!transformer) {
        why = QString::fromLocal8Bit(tjGetErrorStr2(nullptr));
        return false;
    }
    tjtransform transform{};
    transform.op = turn == PageTurn::Left ? TJXOP_ROT270 : TJXOP_ROT90;
    transform.options = TJXOPT_TRIM;
    unsigned char *turned = nullptr;
    unsigned long turnedSize = 0;
    const int result = tjTransform(
        transformer.get(), reinterpret_cast<const unsigned char *>(jpeg.constData()),
        static_cast<unsigned long>(jpeg.size()), 1, &turned, &turnedSize, &transform, 0);
    const std::unique_ptr<unsigned char, void (*)(unsigned char *)> owned(turned, tjFree);
    if (result != 0) {
        why = QString::fromLocal8Bit(tjGetErrorStr2(transformer.get()));
        return false;
    }
    return replaceFile(path, turned, turnedSize, why);
}

bool turnTiff(const QByteArray &path, const QByteArray &tiff, PageTurn turn, int quality,
              QString &why)
{
    const QImage page = QImage::fromData(tiff, "TIFF");
    if (page.isNull()) {
        why = QCoreApplication::translate("MainWindow", "无法读取这个 TIFF 文件");
        return false;
    }
    const QImage turned = page.convertToFormat(QImage::Format_RGB888)
                              .transformed(QTransform().rotate(turn == PageTurn::Left ? -90 : 90));
    // The writer takes rows without the padding QImage keeps.
    const int rowBytes = 3 * turned.width();
    std::vector<unsigned char> packed(size_t(rowBytes) * turned.height());
    for (int y = 0; y < turned.height(); ++y)
        std::memcpy(&packed[size_t(y) * rowBytes], turned.constScanLine(y), rowBytes);
    errno = 0;
    if (zq_scanner_picture_save_tiff(path.constData(), packed.data(), turned.width(),
                                     turned.height(), quality) != 0) {
        why = systemReason();
        return false;
    }
    return true;
}

// The whole page file, read without waiting at the open: a FIFO in a
// page's place would hold the window for ever, a device would never end.
bool readPageFile(const QByteArray &path, QByteArray &bytes, QString &why)
{
    const int fd = open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        why = systemReason();
        return false;
    }
    QFile file;
    struct stat status;
    if (fstat(fd, &status) != 0) {
        why = systemReason();
    } else if (!S_ISREG(status.st_mode) || status.st_size > kLargestPage) {
        why = QCoreApplication::translate("MainWindow", "不是普通文件，或大于 256 MiB");
    } else if (fcntl(fd, F_SETFL, O_RDONLY) != 0 ||
               !file.open(fd, QIODevice::ReadOnly, QFile::DontCloseHandle)) {
        why = systemReason();
    } else {
        bytes = file.readAll();
        if (bytes.size() != status.st_size)
            why = file.errorString();
    }
    close(fd);
    return why.isEmpty();
}

} // namespace

bool turnPageFile(const QByteArray &path, PageTurn turn, int quality, QString &why)
{
    QByteArray bytes;
    if (!readPageFile(path, bytes, why))
        return false;
    if (isJpeg(bytes))
        return turnJpeg(path, bytes, turn, why);
    if (isTiff(bytes))
        return turnTiff(path, bytes, turn, quality, why);
    why = QCoreApplication::translate("MainWindow", "不是 JPEG 或 TIFF 文件");
    return false;
}
