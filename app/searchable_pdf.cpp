// The "可搜索 PDF" switch: PDFs with the words recognised on their pages,
// read in the languages of the locale and in Chinese and English.  The
// switch is kept in the program's own settings file; each page collected
// while it is on is handed to the library for recognition at once.
#include "mainwindow.h"

#include "pdf_composer.h"
#include "ui_mainwindow.h"

#include <zqscan/zq_pdf.h>

#include <QLocale>
#include <QSignalBlocker>
#include <QStatusBar>

namespace
{

const char kSearchableKey[] = "pdf/searchable";
const char kChineseAndEnglish[] = "chi_sim+eng";

// Tesseract's model for a locale's language (Chinese by its script).
struct LanguageModel {
    QLocale::Language language;
    const char *model;
};
const LanguageModel kModels[] = {
    {QLocale::English, "eng"}, {QLocale::German, "deu"},     {QLocale::French, "fra"},
    {QLocale::Spanish, "spa"}, {QLocale::Italian, "ita"},    {QLocale::Portuguese, "por"},
    {QLocale::Dutch, "nld"},   {QLocale::Polish, "pol"},     {QLocale::Czech, "ces"},
    {QLocale::Swedish, "swe"}, {QLocale::Russian, "rus"},    {QLocale::Ukrainian, "ukr"},
    {QLocale::Turkish, "tur"}, {QLocale::Arabic, "ara"},     {QLocale::Japanese, "jpn"},
    {QLocale::Korean, "kor"},  {QLocale::Vietnamese, "vie"}, {QLocale::Thai, "tha"},
};

QString modelFor(const QLocale &locale)
{
    if (locale.language() == QLocale::Chinese)
        return locale.script() == QLocale::TraditionalChineseScript ? "chi_tra" : "chi_sim";
    for (const LanguageModel &m : kModels) {
        if (m.language == locale.language())
            return m.model;
    }
    return {};
}

} // namespace

QString recognitionLanguages(const QLocale &locale)
{
    QStringList models;
    const QString own = modelFor(locale);
    if (!own.isEmpty())
        models << own;
    for (const QString &model : QString(kChineseAndEnglish).split('+')) {
        if (!models.contains(model))
            models << model;
    }
    return models.join('+');
}

void MainWindow::setUpSearchablePdf()
{
    composer = new PdfComposer(this);
    connect(composer, &PdfComposer::recognising, this, &MainWindow::showRecognitionProgress);
    connect(composer, &PdfComposer::finished, this, &MainWindow::pdfComposed);
    if (settings.readSwitch(kSearchableKey)) {
        const QSignalBlocker quiet(ui->actionSearchablePdf);
        ui->actionSearchablePdf->setChecked(applyTextLayer(true));
    }
}

void MainWindow::on_actionSearchablePdf_toggled(bool on)
{
    if (on && !applyTextLayer(true)) {
        const QSignalBlocker quiet(ui->actionSearchablePdf);
        ui->actionSearchablePdf->setChecked(false);
    } else if (!on) {
        applyTextLayer(false);
    }
    // A switch that cannot be kept still holds for this session.
    settings.writeSwitch(kSearchableKey, ui->actionSearchablePdf->isChecked());
}

// The PDF settings are read when a composition starts: they wait while one
// is made.
void MainWindow::enablePdfSettings(bool on)
{
    ui->actionSearchablePdf->setEnabled(on);
    ui->menuPdfSize->setEnabled(on);
}

// Whether the library's text layer is on afterwards.  Without the model of
// the locale's language it reads Chinese and English alone, and says so;
// without those it stays off, and says why.
bool MainWindow::applyTextLayer(bool on)
{
    if (!on) {
        zq_pdf_set_text_layer(nullptr);
        return false;
    }
    const QByteArray languages = recognitionLanguages(QLocale()).toLatin1();
    if (zq_pdf_set_text_layer(languages.constData()) == 0)
        return true;
    const QString why = QString::fromLocal8Bit(zq_pdf_error());
    if (languages != kChineseAndEnglish && zq_pdf_set_text_layer(kChineseAndEnglish) == 0) {
        statusBar()->showMessage(tr("只识别中文和英文：%1").arg(why), kStatusLongMs);
        return true;
    }
    statusBar()->showMessage(
        tr("无法识别文字，PDF 不可搜索：%1").arg(QString::fromLocal8Bit(zq_pdf_error())),
        kStatusLongMs);
    return false;
}

void MainWindow::prepareForSearch(const char *path)
{
    if (ui->actionSearchablePdf->isChecked())
        zq_pdf_prepare_page(path); // a page it cannot read fails its composition, with the reason
}

void MainWindow::showRecognitionProgress(int done, int total)
{
    statusBar()->showMessage(tr("正在识别文字 %1/%2").arg(done).arg(total));
}
