#include "page_files.h"

#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{

// The first bytes of the pictures the PDF composer takes.
bool isJpegOrTiff(const unsigned char *head, ssize_t got)
{
    static const struct {
        unsigned char bytes[4];
        ssize_t length;
    } kSignatures[] = {
        {{0xFF, 0xD8, 0xFF, 0x00}, 3}, // JPEG start-of-image marker
        {{'I', 'I', 42, 0}, 4},        // TIFF, little-endian
        {{'M', 'M', 0, 42}, 4},        // TIFF, big-endian
        {{'I', 'I', 43, 0}, 4},        // BigTIFF, little-endian
        {{'M', 'M', 0, 43}, 4},        // BigTIFF, big-endian
    };
    for (const auto &s : kSignatures) {
        if (got >= s.length && std::memcmp(head, s.bytes, size_t(s.length)) == 0)
            return true;
    }
    return false;
}

} // namespace

// Decoded straight to thumbnail size: the JPEG reader lets libjpeg decode
// at a fraction of the page's size instead of decoding it whole.
QImage pageThumbnail(const QString &path, int side)
{
    QImageReader reader(path);
    const QSize size = reader.size();
    if (!size.isValid())
        return {};
    const QSize fitted = size.scaled(side, side, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    reader.setScaledSize(fitted);
    const QImage page = reader.read();
    if (page.isNull())
        return {};
    QImage icon(side, side, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter(&icon).drawImage((side - fitted.width()) / 2, (side - fitted.height()) / 2, page);
    return icon;
}

QString pageFileProblem(const QByteArray &path, int thumbnailSide)
{
    if (QString problem = pageFileKindProblem(path); !problem.isEmpty())
        return problem;
    if (pageThumbnail(QFile::decodeName(path), thumbnailSide).isNull())
        return QCoreApplication::translate("PageFiles", "图片无法解码");
    return {};
}

QString pageFileKindProblem(const QByteArray &path)
{
    struct stat info;
    if (stat(path.constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return QCoreApplication::translate("PageFiles", "不是普通文件");
    const int fd = open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    unsigned char head[4];
    const ssize_t got = read(fd, head, sizeof head);
    close(fd);
    if (!isJpegOrTiff(head, got))
        return QCoreApplication::translate("PageFiles", "不是 JPEG 或 TIFF 图片");
    return {};
}
