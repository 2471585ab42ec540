// The "PDF 文件大小" choice in the "PDF" menu: pages as captured, or
// compact.  Kept in the program's own settings file and handed to the PDF
// library, whose setting holds for every PDF composed afterwards.
#ifndef ZQVIDEO_PDFSIZE_H
#define ZQVIDEO_PDFSIZE_H

#include "settings.h"

#include <QObject>

class QAction;
class QStatusBar;

class PdfSize : public QObject
{
    Q_OBJECT

  public:
    // asCaptured and compact are the menu's two exclusive choices; the one
    // stored in settings is checked and applied here, and a choice the
    // user makes is applied and stored.
    PdfSize(QAction *asCaptured, QAction *compact, QStatusBar *statusBar, QObject *parent,
            Settings settings);

    bool isCompact() const;

  private:
    void chosenByUser();
    // Hands the checked choice to the library.  A library that cannot
    // encode compactly leaves the pages as captured, and the menu says so.
    void apply();

    QAction *asCaptured_;
    QAction *compact_;
    const Settings settings_;
    QStatusBar *statusBar_;
};

// The message of a PDF written: its file, its pages and its size.
QString pdfSavedMessage(const QString &path, int pages);

#endif
