// The desktop's trash (freedesktop.org), through which deleted pages go
// so that a deletion can be taken back.
#ifndef ZQVIDEO_TRASH_H
#define ZQVIDEO_TRASH_H

#include <QByteArray>
#include <QString>

// Moves the file at path into the trash and returns where it lies there;
// an empty string, the file untouched and the reason in why when it
// cannot go.
QString moveToTrash(const QByteArray &path, QString &why);

// Moves a file that moveToTrash put at inTrash back to path, and drops the
// trash's record of it; false, with the reason in why, when it cannot come
// back (path taken meanwhile, the trash emptied).
bool restoreFromTrash(const QString &inTrash, const QByteArray &path, QString &why);

#endif
