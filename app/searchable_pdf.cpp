#include "searchable_pdf.h"

#include "settings.h"

#include <zqscan/zq_pdf.h>

#include <QAction>
#include <QLocale>
#include <QSignalBlocker>
#include <QStatusBar>

namespace
{

constexpr int kStatusLongMs = 10000;
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

SearchablePdf::SearchablePdf(QAction *toggle, QStatusBar *status, const Settings &settings,
                             QObject *parent)
    : QObject(parent), toggle_(toggle), status_(status), settings_(settings)
{
    if (settings_.readSwitch(kSearchableKey)) {
        const QSignalBlocker quiet(toggle_);
        toggle_->setChecked(applyTextLayer(true));
    }
    connect(toggle_, &QAction::toggled, this, &SearchablePdf::toggled);
}

bool SearchablePdf::isOn() const
{
    return toggle_->isChecked();
}

void SearchablePdf::toggled(bool on)
{
    if (on && !applyTextLayer(true)) {
        const QSignalBlocker quiet(toggle_);
        toggle_->setChecked(false);
    } else if (!on) {
        applyTextLayer(false);
    }
    // A switch that cannot be kept still holds for this session.
    settings_.writeSwitch(kSearchableKey, toggle_->isChecked());
}

// Whether the library's text layer is on afterwards.  Without the model of
// the locale's language it reads Chinese and English alone, and says so;
// without those it stays off, and says why.
bool SearchablePdf::applyTextLayer(bool on)
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
        status_->showMessage(tr("只识别中文和英文：%1").arg(why), kStatusLongMs);
        return true;
    }
    status_->showMessage(
        tr("无法识别文字，PDF 不可搜索：%1").arg(QString::fromLocal8Bit(zq_pdf_error())),
        kStatusLongMs);
    return false;
}

void SearchablePdf::prepare(const QByteArray &path)
{
    if (isOn())
        zq_pdf_prepare_page(
            path.constData()); // a page it cannot read fails its composition, with the reason
}

void SearchablePdf::showProgress(int done, int total)
{
    status_->showMessage(tr("正在识别文字 %1/%2").arg(done).arg(total));
}
