// Picture files as pages of the list: their thumbnails, and whether a file
// from elsewhere can be a page at all.
#ifndef ZQVIDEO_PAGE_FILES_H
#define ZQVIDEO_PAGE_FILES_H

#include <QByteArray>
#include <QImage>
#include <QString>

// The page shrunk to fit a square of the given side, keeping its
// proportions, and centred in it on a transparent ground; a null image
// when the file cannot be decoded.
QImage pageThumbnail(const QString &path, int side);

// Why the file at path cannot be a page of a PDF, as a sentence for the
// user; empty when it can: a readable regular file, a JPEG or TIFF by its
// first bytes (the ones the PDF composer takes), decodable.
QString pageFileProblem(const QByteArray &path, int thumbnailSide);
// The same without decoding it: quick enough for every page of a PDF.
QString pageFileKindProblem(const QByteArray &path);

#endif
