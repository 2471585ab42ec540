// The PDF button's collection: the first press starts collecting the
// captured pages, the second makes one PDF of them in the save directory
// on a thread of the composer while the window goes on.  A PDF that cannot
// be made keeps the collection on with its pages, to be tried again; one
// given up while it is made leaves the collection as it was.
#ifndef ZQVIDEO_COLLECTIONPDF_H
#define ZQVIDEO_COLLECTIONPDF_H

#include <QObject>
#include <QString>

#include <list>
#include <string>

class PageDocument;
class PagesPdf;
class PdfComposer;
class SearchablePdf;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class QWidget;

class CollectionPdf : public QObject
{
    Q_OBJECT

  public:
    // The window's controls of PDFs: the button, the action that gives a
    // PDF up while it is made, and the settings that wait while one is.
    struct Controls {
        QPushButton *button;
        QAction *cancel;
        QAction *searchable;
        QMenu *size;
    };
    // collected and collecting: the window's record of the collection.
    CollectionPdf(const Controls &controls, PageDocument *pages, PagesPdf *pagesPdf,
                  SearchablePdf *searchable, std::list<std::string> &collected, bool &collecting,
                  QStatusBar *status, QWidget *window);

    void press();
    bool composing() const { return composing_; }
    // Shows the collection as the record has it (after the list came back).
    void showState();
    // Gives the collection up, its pages staying in the list.
    void stop();
    // Composes the collection for a window about to close; whether it may
    // close now.  Otherwise it asks to be closed once the PDF is written.
    bool composeBeforeClosing();

  signals:
    void closeRequested();

  private:
    void start();
    void compose();
    bool leaveOutUnusablePages();
    void showCount();
    void enableSettings(bool on);
    void composingEnded();
    void cancelled();
    void composed(int result, const QString &why);
    void reportFailure(const QString &why);
    void say(const QStringList &report);

    const Controls controls_;
    PageDocument *pages_;
    PagesPdf *pagesPdf_;
    SearchablePdf *searchable_;
    std::list<std::string> &collected_;
    bool &collecting_;
    QStatusBar *status_;
    QWidget *window_;
    QLabel *count_;
    PdfComposer *composer_;
    bool composing_ = false; // a PDF is being made of the collection
    QString output_;
    int outputPages_ = 0;
    QString note_;               // what the stop press found missing
    bool closeWhenDone_ = false; // the answer at quit was to compose first
};

#endif
