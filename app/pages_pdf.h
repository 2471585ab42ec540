// The PDF menu's "from the selected pages" and "from all pages": pages of
// the list, in its order, composed the way the collection's PDF is (with
// the words recognised when "可搜索 PDF" is on) into a file the user
// names, while the window goes on.
#ifndef ZQVIDEO_PAGES_PDF_H
#define ZQVIDEO_PAGES_PDF_H

#include <QObject>
#include <QString>

class PdfComposer;
class QAction;
class QListWidget;
class QStatusBar;
class QWidget;

class PagesPdf : public QObject
{
    Q_OBJECT

  public:
    // The save dialog, which tests replace: the file chosen, empty when
    // none; `proposed` is the folder and name offered.
    struct Hooks {
        QString (*chooseOutput)(QWidget *parent, const QString &proposed);
    };
    static Hooks hooks;

    PagesPdf(QListWidget *list, QAction *fromSelection, QAction *fromAll, const QAction *searchable,
             QStatusBar *status, QWidget *parent);

  public slots:
    // libzqscan composes one PDF at a time: while the collection's is
    // being made, these wait.
    void holdFor(bool collectionComposing);
    // Gives up the PDF being made, if any.
    void cancel();

  signals:
    void composingChanged(bool composing);
    void recognising(int done, int total);

  private:
    void compose(bool selectedOnly);
    void composed(int result, const QString &why);
    void stopped();
    void enableActions();

    QListWidget *list_;
    QAction *fromSelection_;
    QAction *fromAll_;
    const QAction *searchable_;
    QStatusBar *status_;
    PdfComposer *composer_;
    bool composing_ = false;
    bool held_ = false;
    QString output_;
    int pages_ = 0;
};

#endif
