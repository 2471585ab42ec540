#include "pages_pdf.h"

#include "config.h"
#include "pdf_composer.h"
#include "pdfsize.h"
#include "savedir.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QListWidget>
#include <QStatusBar>

#include <string>
#include <vector>

namespace
{

// As long as the window shows its other results.
constexpr int kResultShownMs = 10000;

QString chooseOutputDialog(QWidget *parent, const QString &proposed)
{
    return QFileDialog::getSaveFileName(parent, PagesPdf::tr("保存 PDF"), proposed,
                                        PagesPdf::tr("PDF 文件 (*.pdf)"));
}

// The name a collection's PDF would get now, in the save directory.
QString proposedOutput()
{
    const QString name = QString::fromLatin1(_get_file_time_str()) + ".pdf";
    return g_Config.save_dir[0] ? QDir(QFile::decodeName(g_Config.save_dir)).filePath(name) : name;
}

} // namespace

PagesPdf::Hooks PagesPdf::hooks = {chooseOutputDialog};

PagesPdf::PagesPdf(QListWidget *list, QAction *fromSelection, QAction *fromAll,
                   const QAction *searchable, QStatusBar *status, QWidget *parent)
    : QObject(parent), list_(list), fromSelection_(fromSelection), fromAll_(fromAll),
      searchable_(searchable), status_(status), composer_(new PdfComposer(this))
{
    connect(fromSelection, &QAction::triggered, this, [this] { compose(true); });
    connect(fromAll, &QAction::triggered, this, [this] { compose(false); });
    connect(composer_, &PdfComposer::recognising, this, &PagesPdf::recognising);
    connect(composer_, &PdfComposer::finished, this, &PagesPdf::composed);
    connect(composer_, &PdfComposer::cancelled, this, [this] {
        stopped();
        status_->showMessage(tr("已取消合成 PDF"), kResultShownMs);
    });
    connect(list, &QListWidget::itemSelectionChanged, this, &PagesPdf::enableActions);
    connect(list->model(), &QAbstractItemModel::rowsInserted, this, &PagesPdf::enableActions);
    connect(list->model(), &QAbstractItemModel::rowsRemoved, this, &PagesPdf::enableActions);
    enableActions();
}

void PagesPdf::holdFor(bool collectionComposing)
{
    held_ = collectionComposing;
    enableActions();
}

void PagesPdf::compose(bool selectedOnly)
{
    if (composing_ || held_)
        return;
    std::vector<std::string> pages;
    for (int row = 0; row < list_->count(); ++row) {
        const QListWidgetItem *page = list_->item(row);
        if (!selectedOnly || page->isSelected())
            pages.push_back(page->data(Qt::UserRole).toByteArray().toStdString());
    }
    if (pages.empty())
        return;
    const QString output = hooks.chooseOutput(list_->window(), proposedOutput());
    if (output.isEmpty())
        return;
    composing_ = true;
    output_ = output;
    pages_ = int(pages.size());
    enableActions();
    emit composingChanged(true);
    status_->showMessage(QCoreApplication::translate("MainWindow", "正在合成 PDF……"));
    composer_->start(std::move(pages), QFile::encodeName(output).toStdString(),
                     searchable_->isChecked());
}

void PagesPdf::cancel()
{
    if (composing_)
        composer_->cancel();
}

void PagesPdf::stopped()
{
    composing_ = false;
    enableActions();
    emit composingChanged(false);
}

void PagesPdf::composed(int result, const QString &why)
{
    stopped();
    if (result != 0) {
        // Shown until the next message: the user has to act on it.
        status_->showMessage(tr("PDF 合成失败：%1").arg(why));
        return;
    }
    status_->showMessage(pdfSavedMessage(output_, pages_), kResultShownMs);
}

void PagesPdf::enableActions()
{
    const bool free = !composing_ && !held_;
    fromSelection_->setEnabled(free && !list_->selectedItems().isEmpty());
    fromAll_->setEnabled(free && list_->count() > 0);
}
