// Book mode in the window: the switches "书本模式" and "右页在前" in the
// "拍摄" menu, kept in the program's own settings file; the search for an
// open book in each frame of the automatic crop, its outline in the
// preview, and the pages a capture writes, in reading order.
#ifndef ZQVIDEO_BOOKCAPTURE_H
#define ZQVIDEO_BOOKCAPTURE_H

#include "capturedpicture.h"
#include "settings.h"

#include <zqscan/zq_opencv.h>

#include <QObject>

#include <vector>

class QAction;
class QStatusBar;

class BookCapture : public QObject
{
    Q_OBJECT

  public:
    // bookMode and rightPageFirst are the menu's checkable switches; their
    // states are read from settings here and written back whenever the
    // user flips them; without settings, the process's own files keep
    // them.  rightPageFirst is enabled only while book mode is on.
    BookCapture(QAction *bookMode, QAction *rightPageFirst, QStatusBar *statusBar, QObject *parent,
                Settings settings = Settings());

    bool isOn() const;

    // Looks for an open book in this tick's frame (turned, not yet drawn
    // into; the camera's reduced by denominator); the other calls refer to
    // what it found.  True when it found a page.
    bool find(const unsigned char *rgb, int width, int height, int denominator);
    // The outer corners of the pages found, clockwise from the top-left;
    // false when none was found.
    bool outerCorners(zqPoint corners[4]) const;
    // Draws the pages' outlines and the gutter into the frame.
    void show(unsigned char *rgb, int width, int height) const;
    bool rightPageFirst() const;

  private:
    void switchedByUser();

    QAction *bookMode_;
    QAction *rightPageFirst_;
    const Settings settings_;
    QStatusBar *statusBar_;
    int pagesFound_ = 0;
};

// What a capture of a frame writes in book mode: the pages
// zq_scanner_book_find found in it (pagesFound of them), each laid flat, in
// reading order (the two pages of a spread with the suffixes "-1" and
// "-2"), or the whole frame when it found none.
std::vector<CapturedPicture> bookPictures(const unsigned char *rgb, int width, int height,
                                          int pagesFound, bool rightPageFirst);

#endif
