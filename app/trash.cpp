#include "trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace
{

bool makeDirectory(const QString &dir)
{
    return mkdir(QFile::encodeName(dir).constData(), 0700) == 0 || errno == EEXIST;
}

// Qt 5.15 "trashes" into files/ and info/ under the working directory when
// it cannot set up the home trash, so the home trash is made sure of first.
bool makeHomeTrash(QString &why)
{
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString trash = dataHome + "/Trash";
    if (QDir().mkpath(dataHome) && makeDirectory(trash) && makeDirectory(trash + "/files") &&
        makeDirectory(trash + "/info"))
        return true;
    why = QCoreApplication::translate("MainWindow", "无法创建回收站 %1：%2")
              .arg(trash, QString::fromLocal8Bit(strerror(errno)));
    return false;
}

// The trash keeps the file under files/ and its record under info/.
QString infoFileOf(const QString &inTrash)
{
    const QFileInfo file(inTrash);
    return QDir::cleanPath(file.absolutePath() + "/../info/" + file.fileName() + ".trashinfo");
}

} // namespace

QString moveToTrash(const QByteArray &path, QString &why)
{
    const QString name = QFile::decodeName(path);
    if (QFile::encodeName(name) != path) {
        why = QCoreApplication::translate("MainWindow", "路径含有本机文字编码无法表示的字节");
        return QString();
    }
    if (!makeHomeTrash(why))
        return QString();
    QFile file(name);
    if (!file.moveToTrash()) {
        why = file.errorString();
        return QString();
    }
    return file.fileName();
}

bool restoreFromTrash(const QString &inTrash, const QByteArray &path, QString &why)
{
    QFile file(inTrash);
    if (!file.rename(QFile::decodeName(path))) {
        why = file.errorString();
        return false;
    }
    QFile::remove(infoFileOf(inTrash));
    return true;
}
