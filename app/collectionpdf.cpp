#include "collectionpdf.h"

#include "config.h"
#include "leaveoutquestion.h"
#include "page_files.h"
#include "pagedocument.h"
#include "pages_pdf.h"
#include "pdf_composer.h"
#include "pdfsize.h"
#include "savedir.h"
#include "searchable_pdf.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

#include <cstdio>
#include <utility>
#include <vector>

// The PDF button's two texts, the window's own (its form gives the button
// the first).  They are made when the program starts, before its
// translation is loaded, so each is translated when it is shown.
struct TranslatedText {
    const char *source;
    operator QString() const { return QCoreApplication::translate("MainWindow", source); }
};
static const TranslatedText g_begin_record_pdf{QT_TRANSLATE_NOOP("MainWindow", "开始合成PDF")};
static const TranslatedText g_stop_record_pdf{QT_TRANSLATE_NOOP("MainWindow", "停止合成PDF")};

namespace
{

constexpr int kStatusLongMs = 10000;

} // namespace

CollectionPdf::CollectionPdf(const Controls &controls, PageDocument *pages, PagesPdf *pagesPdf,
                             SearchablePdf *searchable, std::list<std::string> &collected,
                             bool &collecting, QStatusBar *status, QWidget *window)
    : QObject(window), controls_(controls), pages_(pages), pagesPdf_(pagesPdf),
      searchable_(searchable), collected_(collected), collecting_(collecting), status_(status),
      window_(window), count_(new QLabel(window)), composer_(new PdfComposer(this))
{
    count_->setObjectName("pdfPageCount");
    status_->addPermanentWidget(count_);
    count_->hide();
    connect(pages_, &PageDocument::collectionChanged, this, &CollectionPdf::showCount);
    connect(composer_, &PdfComposer::recognising, searchable_, &SearchablePdf::showProgress);
    connect(composer_, &PdfComposer::finished, this, &CollectionPdf::composed);
    // Either PDF, the collection's or one of listed pages, can be given up
    // while it is made; libzqscan composes one at a time.
    connect(composer_, &PdfComposer::cancelled, this, &CollectionPdf::cancelled);
    connect(controls_.cancel, &QAction::triggered, composer_, &PdfComposer::cancel);
    connect(controls_.cancel, &QAction::triggered, pagesPdf_, &PagesPdf::cancel);
    connect(pagesPdf_, &PagesPdf::composingChanged, controls_.cancel, &QAction::setEnabled);
    connect(pagesPdf_, &PagesPdf::composingChanged, this, [this](bool pagesComposing) {
        controls_.button->setEnabled(!pagesComposing);
        enableSettings(!pagesComposing);
    });
}

void CollectionPdf::press()
{
    if (composing_)
        return;
    if (collecting_)
        compose();
    else
        start();
}

void CollectionPdf::start()
{
    if (!checkDir(nullptr))
        return;
    collecting_ = true;
    pages_->startCollection();
    controls_.button->setText(g_stop_record_pdf);
    showCount();
}

void CollectionPdf::compose()
{
    note_ = pages_->dropMissing();
    if (!leaveOutUnusablePages())
        return;
    if (collected_.empty()) {
        stop();
        QStringList report{tr("没有收集到页面，未生成 PDF")};
        if (!note_.isEmpty())
            report.prepend(note_);
        say(report);
        return;
    }
    char name[kFileNameMax + 1];
    snprintf(name, sizeof(name), "%s.pdf", _get_file_time_str());
    char output[kPathMax];
    if (!joinPath(output, g_Config.save_dir, name)) {
        reportFailure(tr("保存目录的路径太长"));
        return;
    }
    // Pages captured meanwhile are not part of this PDF.
    collecting_ = false;
    composing_ = true;
    output_ = QFile::decodeName(output);
    outputPages_ = int(collected_.size());
    controls_.button->setEnabled(false);
    enableSettings(false);
    pagesPdf_->holdFor(true);
    controls_.cancel->setEnabled(true);
    showCount();
    status_->showMessage(tr("正在合成 PDF……"));
    composer_->start({collected_.begin(), collected_.end()}, output, searchable_->isOn());
}

// Collected pages whose files are no pictures any more would fail the
// whole PDF: the user leaves them out (they stay in the list), or looks
// first and composes nothing now.
bool CollectionPdf::leaveOutUnusablePages()
{
    QStringList problems;
    std::vector<std::string> unusable;
    for (const std::string &path : collected_) {
        const QString why = pageFileKindProblem(QByteArray::fromStdString(path));
        if (why.isEmpty())
            continue;
        problems << tr("%1：%2").arg(QFileInfo(QFile::decodeName(path.c_str())).fileName(), why);
        unusable.push_back(path);
    }
    if (unusable.empty())
        return true;
    if (!askToLeaveOut(window_, problems))
        return false;
    for (const std::string &path : unusable)
        collected_.remove(path);
    showCount();
    return true;
}

void CollectionPdf::showState()
{
    controls_.button->setText(collecting_ ? g_stop_record_pdf : g_begin_record_pdf);
    showCount();
}

void CollectionPdf::showCount()
{
    count_->setText(tr("PDF：已收集 %n 页", nullptr, int(collected_.size())));
    count_->setVisible(collecting_);
    pages_->keepCollection(collecting_ || composing_);
}

// The PDF settings are read when a composition starts: they wait while one
// is made.
void CollectionPdf::enableSettings(bool on)
{
    controls_.searchable->setEnabled(on);
    controls_.size->setEnabled(on);
}

void CollectionPdf::composingEnded()
{
    composing_ = false;
    controls_.button->setEnabled(true);
    enableSettings(true);
    controls_.cancel->setEnabled(false);
    pagesPdf_->holdFor(false);
}

// The collection stays as it was, ready for another stop press.
void CollectionPdf::cancelled()
{
    closeWhenDone_ = false;
    composingEnded();
    collecting_ = true;
    showCount();
    status_->showMessage(tr("已取消合成 PDF，收集的页面都在"), kStatusLongMs);
}

void CollectionPdf::composed(int result, const QString &why)
{
    const bool thenClose = std::exchange(closeWhenDone_, false);
    composingEnded();
    if (result != 0) {
        collecting_ = true;
        showCount();
        reportFailure(why);
        return;
    }
    stop();
    QStringList report{pdfSavedMessage(output_, outputPages_)};
    if (!note_.isEmpty())
        report << note_;
    say(report);
    if (thenClose)
        emit closeRequested();
}

void CollectionPdf::stop()
{
    collecting_ = false;
    collected_.clear();
    controls_.button->setText(g_begin_record_pdf);
    showCount();
}

bool CollectionPdf::composeBeforeClosing()
{
    closeWhenDone_ = true;
    press();
    if (composing_)
        return false; // closes when the PDF is written
    closeWhenDone_ = false;
    return !collecting_;
}

// Shown until the next message: the user has to act on it.
void CollectionPdf::reportFailure(const QString &why)
{
    status_->showMessage(
        tr("PDF 合成失败：%1。已收集的页面都在，可再按“%2”重试").arg(why, g_stop_record_pdf));
}

void CollectionPdf::say(const QStringList &report)
{
    status_->showMessage(report.join(tr("；")), kStatusLongMs);
}
