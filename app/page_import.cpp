#include "page_import.h"

#include "config.h"
#include "page_files.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStatusBar>

namespace
{

// As long as the window shows its other results.
constexpr int kResultShownMs = 10000;

QStringList choosePagesDialog(QWidget *parent, const QString &folder)
{
    return QFileDialog::getOpenFileNames(
        parent, PageImport::tr("添加页面"), folder,
        PageImport::tr("JPEG 或 TIFF 图片 (*.jpg *.jpeg *.JPG *.JPEG *.tif *.tiff *.TIF *.TIFF)"));
}

} // namespace

PageImport::Hooks PageImport::hooks = {choosePagesDialog};

PageImport::PageImport(QAction *addPages, QStatusBar *status, int thumbnailSide, QWidget *parent)
    : QObject(parent), parent_(parent), status_(status), thumbnailSide_(thumbnailSide)
{
    connect(addPages, &QAction::triggered, this, &PageImport::addPages);
}

// The refused files are named with their reasons until the next message:
// the user has to act on them.
void PageImport::addPages()
{
    const QStringList files = hooks.choosePages(parent_, QFile::decodeName(g_Config.save_dir));
    int added = 0;
    QStringList refused;
    for (const QString &file : files) {
        const QByteArray path = QFile::encodeName(file);
        const QString name = QFileInfo(file).fileName();
        const QString problem = pageFileProblem(path, thumbnailSide_);
        if (!problem.isEmpty()) {
            refused << tr("%1 未添加：%2").arg(name, problem);
            continue;
        }
        emit pageAccepted(path, name);
        ++added;
    }
    if (files.isEmpty())
        return;
    const int shownMs = refused.isEmpty() ? kResultShownMs : 0;
    refused.prepend(tr("已添加 %n 页", nullptr, added));
    status_->showMessage(refused.join(QCoreApplication::translate("MainWindow", "；")), shownMs);
}
