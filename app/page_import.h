// "添加页面…": JPEG and TIFF files from anywhere as pages of the list.  Each
// is checked the way the PDF composer will read it before it is listed;
// the files stay where they are.
#ifndef ZQVIDEO_PAGE_IMPORT_H
#define ZQVIDEO_PAGE_IMPORT_H

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

class QAction;
class QStatusBar;
class QWidget;

class PageImport : public QObject
{
    Q_OBJECT

  public:
    // The file dialog, which tests replace: the files chosen, none when
    // cancelled; `folder` is where it opens.
    struct Hooks {
        QStringList (*choosePages)(QWidget *parent, const QString &folder);
    };
    static Hooks hooks;

    PageImport(QAction *addPages, QStatusBar *status, int thumbnailSide, QWidget *parent);

  signals:
    // A file that passed, with its path as the bytes it has on disk.
    void pageAccepted(const QByteArray &path, const QString &name);

  private:
    void addPages();

    QWidget *parent_;
    QStatusBar *status_;
    int thumbnailSide_;
};

#endif
