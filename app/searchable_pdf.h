// The "可搜索 PDF" switch: PDFs with the words recognised on their pages,
// read in the languages of the locale and in Chinese and English.  The
// switch is kept in the program's own settings file; each page collected
// while it is on is handed to the library for recognition at once.
#ifndef ZQVIDEO_SEARCHABLE_PDF_H
#define ZQVIDEO_SEARCHABLE_PDF_H

#include <QObject>
#include <QString>

class QAction;
class QLocale;
class QStatusBar;
class Settings;

// The text layer's languages for a locale, in Tesseract's names: the
// locale's own first, then Chinese and English ("deu+chi_sim+eng").
QString recognitionLanguages(const QLocale &locale);

class SearchablePdf : public QObject
{
    Q_OBJECT

  public:
    SearchablePdf(QAction *toggle, QStatusBar *status, const Settings &settings, QObject *parent);

    bool isOn() const;
    // Starts recognising a page that a PDF is to hold, where the switch is on.
    void prepare(const QByteArray &path);
    void showProgress(int done, int total);

  private:
    void toggled(bool on);
    bool applyTextLayer(bool on);

    QAction *toggle_;
    QStatusBar *status_;
    const Settings &settings_;
};

#endif
