// Turning a captured page's file a quarter turn, in place.
#ifndef ZQVIDEO_PAGETURN_H
#define ZQVIDEO_PAGETURN_H

#include <QByteArray>
#include <QString>

enum class PageTurn {
    Left,  // counter-clockwise
    Right, // clockwise
};

// Rewrites the page file at path turned, atomically: the old file stays
// whole unless the turned one was written completely.  A JPEG file is
// turned losslessly, its compressed blocks moved as they are (an edge that
// holds only part of a block cannot move and is trimmed, a few pixels at
// most); a TIFF file is decoded, turned and written again at quality.
// False, with the reason in why, when the file cannot be turned.
bool turnPageFile(const QByteArray &path, PageTurn turn, int quality, QString &why);

#endif
