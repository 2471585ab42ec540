// The keys of the window, and the page list beyond capture and deletion:
// reordering by drag, with the PDF following the list's order, turning and
// opening pages from the list's context menu, pages added from files and
// PDFs of any of them.
#include "mainwindow.h"

#include "config.h"
#include "liveview.h"
#include "ownkeys.h"
#include "page_files.h"
#include "page_import.h"
#include "page_numbers.h"
#include "pages_pdf.h"
#include "pageturn.h"
#include "pageviewer.h"
#include "ui_mainwindow.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDesktopServices>
#include <QDropEvent>
#include <QFile>
#include <QFutureWatcher>
#include <QImageReader>
#include <QLineEdit>
#include <QMenu>
#include <QUrl>
#include <QtConcurrent>

#include <algorithm>
#include <utility>

namespace
{

QString keyNames(const QAction *action)
{
    QStringList names;
    for (const QKeySequence &key : action->shortcuts())
        names << key.toString(QKeySequence::NativeText);
    return names.join(QCoreApplication::translate("MainWindow", "、"));
}

QByteArray pathOf(const QListWidgetItem *item)
{
    return item->data(Qt::UserRole).toByteArray();
}

// The page's latest thumbnail request: a thumbnail that arrives after a
// later one was asked for (a page turned right after its capture) is
// dropped.
constexpr int kThumbnailRequestRole = Qt::UserRole + 1;

// A list in icon mode leaves a dragged icon wherever it is dropped, and
// refuses drops on other icons; a dragged page is to change its place in
// the order instead.  Watches the list's viewport.
class DropReorders : public QObject
{
  public:
    explicit DropReorders(QListWidget *list) : QObject(list), list_(list)
    {
        list->viewport()->installEventFilter(this);
    }

    bool eventFilter(QObject *, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
            return false;
        auto *drop = static_cast<QDropEvent *>(event);
        if (drop->source() != list_)
            return false;
        if (type == QEvent::Drop) {
            moveSelectedBefore(rowAt(drop->pos()));
            // Moved already: the drag must not take the page out of the list.
            drop->setDropAction(Qt::CopyAction);
        }
        drop->accept();
        return true;
    }

  private:
    // The list shows its pages in one line: a drop goes before the first
    // page whose middle lies right of it.
    int rowAt(const QPoint &position) const
    {
        int row = 0;
        while (row < list_->count() &&
               list_->visualItemRect(list_->item(row)).center().x() < position.x())
            ++row;
        return row;
    }

    // The selected pages keep their order among themselves.  Each move is
    // one of the model's, so that whoever watches the list sees it.
    void moveSelectedBefore(int row)
    {
        QAbstractItemModel *model = list_->model();
        std::vector<QPersistentModelIndex> selected;
        for (const QModelIndex &index : list_->selectionModel()->selectedIndexes())
            selected.emplace_back(index);
        std::sort(selected.begin(), selected.end(),
                  [](const QPersistentModelIndex &a, const QPersistentModelIndex &b) {
                      return a.row() < b.row();
                  });
        for (const QPersistentModelIndex &page : selected) {
            const int from = page.row();
            model->moveRow(QModelIndex(), from, QModelIndex(), row);
            if (from >= row)
                ++row; // the next one goes behind it
        }
    }

    QListWidget *list_;
};

} // namespace

// The actions' shortcuts belong to the window: they work wherever the focus
// is, and a held key acts once.  Only widgets that use a key themselves keep
// it: an open drop-down list and a text field take Return, the page list
// Space and Return.
void MainWindow::setUpKeys()
{
    // Foot pedals and presentation remotes send one of these.
    ui->actionCapture->setShortcuts({QKeySequence(Qt::Key_Space), QKeySequence(Qt::Key_Return),
                                     QKeySequence(Qt::Key_PageDown)});
    auto *ownKeys = new OwnKeys(this);
    for (QComboBox *box : findChildren<QComboBox *>())
        ownKeys->give(box->view(), {Qt::Key_Return, Qt::Key_Enter});
    for (QLineEdit *field : findChildren<QLineEdit *>())
        ownKeys->give(field, {Qt::Key_Return, Qt::Key_Enter});
    ownKeys->give(ui->listWidget, {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter});
    connect(ui->actionCapture, &QAction::triggered, this, &MainWindow::requestCapture);
    connect(ui->actionDeletePage, &QAction::triggered, this, &MainWindow::deleteSelectedPages);
    // Through the button itself, so that key and button cannot differ.
    connect(ui->actionPdf, &QAction::triggered, ui->butten_pdf, &QPushButton::click);
    connect(ui->actionTurnLeft, &QAction::triggered, this,
            [this] { turnSelectedPages(PageTurn::Left); });
    connect(ui->actionTurnRight, &QAction::triggered, this,
            [this] { turnSelectedPages(PageTurn::Right); });
    connect(ui->actionOpenPage, &QAction::triggered, this, &MainWindow::openSelectedPages);

    const std::pair<QPushButton *, QAction *> keyed[] = {
        {ui->pushButton_3, ui->actionCapture},
        {ui->pushButton_4, ui->actionDeletePage},
        {ui->butten_pdf, ui->actionPdf},
    };
    for (const auto &[button, action] : keyed)
        button->setToolTip(tr("快捷键：%1").arg(keyNames(action)));
}

void MainWindow::setUpPageList()
{
    QListWidget *list = ui->listWidget;
    // The thumbnails keep their places in the flow; a dragged one moves in
    // the order.
    list->setMovement(QListView::Static);
    list->setDragDropMode(QAbstractItemView::InternalMove);
    list->setDefaultDropAction(Qt::MoveAction);
    list->viewport()->setAcceptDrops(true); // which the static movement turned off
    new DropReorders(list);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setItemDelegate(new PageNumbers(list));
    connect(list->model(), &QAbstractItemModel::rowsMoved, this, &MainWindow::followThumbnailOrder);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &MainWindow::showPageMenu);
    // Enter and a double click (the view's activation) open the page in the
    // program's own viewer; the desktop's is in the page's menu.
    connect(list, &QAbstractItemView::activated, this,
            [this](const QModelIndex &page) { pageViewer->showPage(page.row()); });
    connect(list, &QListWidget::itemSelectionChanged, this, &MainWindow::enablePageActions);

    auto *import = new PageImport(ui->actionAddPages, statusBar(), list->iconSize().width(), this);
    connect(import, &PageImport::pageAccepted, this, &MainWindow::listPage);
    pagesPdf = new PagesPdf(list, ui->actionPdfFromSelection, ui->actionPdfFromAll,
                            ui->actionSearchablePdf, statusBar(), this);
    connect(pagesPdf, &PagesPdf::recognising, this, &MainWindow::showRecognitionProgress);
    connect(pagesPdf, &PagesPdf::composingChanged, this, &MainWindow::holdCollectionPdf);
}

// A page keeps its path as the bytes its file lies under: a directory name
// that is not valid UTF-8 does not survive a QString.  (Bytes against
// bytes: the item stores them unless they are equal.)
void MainWindow::listPage(const QByteArray &path, const QString &name)
{
    AddImage(QFile::decodeName(path), name.toUtf8().constData());
    ui->listWidget->item(ui->listWidget->count() - 1)->setData(Qt::UserRole, path);
}

// libzqscan composes one PDF at a time.
void MainWindow::holdCollectionPdf(bool pagesComposing)
{
    ui->butten_pdf->setEnabled(!pagesComposing);
    enablePdfSettings(!pagesComposing);
}

void MainWindow::setUpViewers()
{
    pageViewer = new PageViewer(ui->listWidget->model(), this);
    liveView = new LiveView(this);
    liveView->openOnDoubleClick(ui->label_V);
    auto *large = new QAction(tr("大图实时画面"), this);
    large->setObjectName("actionLiveView");
    large->setShortcut(QKeySequence(Qt::Key_F11));
    large->setToolTip(
        tr("在单独的窗口中放大显示实时画面，可放大到原始大小以检查对焦（也可双击预览）"));
    connect(large, &QAction::triggered, liveView, &LiveView::toggle);
    ui->menuCapture->addAction(large);
}

void MainWindow::showPageMenu(const QPoint &position)
{
    QListWidgetItem *item = ui->listWidget->itemAt(position);
    if (!item)
        return;
    // A right click on one of several selected pages acts on them all.
    if (!item->isSelected())
        ui->listWidget->setCurrentItem(item);
    QMenu menu(this);
    menu.addActions({ui->actionTurnLeft, ui->actionTurnRight, ui->actionOpenPage});
    menu.addSeparator();
    menu.addAction(ui->actionDeletePage);
    menu.exec(ui->listWidget->viewport()->mapToGlobal(position));
}

void MainWindow::enablePageActions()
{
    const bool selected = !ui->listWidget->selectedItems().isEmpty();
    for (QAction *action :
         {ui->actionDeletePage, ui->actionTurnLeft, ui->actionTurnRight, ui->actionOpenPage})
        action->setEnabled(selected);
}

// Made from the written file on a worker thread, so that the preview does
// not wait for it: the page is listed at once and its picture follows.  A
// page deleted meanwhile simply gets none.
void MainWindow::showThumbnail(QListWidgetItem *item, const QString &path)
{
    const quint64 request = ++thumbnailRequests;
    item->setData(kThumbnailRequestRole, request);
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        for (int i = 0; i < ui->listWidget->count(); ++i) {
            QListWidgetItem *page = ui->listWidget->item(i);
            if (page->data(kThumbnailRequestRole).toULongLong() == request) {
                page->setIcon(QIcon(QPixmap::fromImage(watcher->result())));
                return;
            }
        }
    });
    watcher->setFuture(QtConcurrent::run(pageThumbnail, path, ui->listWidget->iconSize().width()));
}

void MainWindow::turnSelectedPages(PageTurn turn)
{
    QStringList report;
    for (QListWidgetItem *item : ui->listWidget->selectedItems()) {
        const QByteArray path = pathOf(item);
        QString why;
        if (!turnPageFile(path, turn, writerQuality(g_Config.quality), why)) {
            report << tr("%1 无法旋转：%2").arg(item->text(), why);
            continue;
        }
        showThumbnail(item, QFile::decodeName(path));
        // Words recognised on the page as it lay before no longer fit it.
        if (std::find(pdfImageList.begin(), pdfImageList.end(), path.toStdString()) !=
            pdfImageList.end())
            prepareForSearch(path.constData());
        report << tr("已旋转 %1").arg(item->text());
    }
    if (!report.isEmpty())
        statusBar()->showMessage(report.join(tr("；")), kStatusLongMs);
}

void MainWindow::openSelectedPages()
{
    for (QListWidgetItem *item : ui->listWidget->selectedItems())
        openPage(item);
}

void MainWindow::openPage(QListWidgetItem *item)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(pathOf(item)))))
        statusBar()->showMessage(tr("无法打开 %1：桌面没有可以显示它的程序").arg(item->text()),
                                 kStatusLongMs);
}

// The PDF takes the collected pages in the order the list shows them.
void MainWindow::followThumbnailOrder()
{
    std::list<std::string> ordered;
    for (int row = 0; row < ui->listWidget->count(); ++row) {
        const std::string path = pathOf(ui->listWidget->item(row)).toStdString();
        const auto entry = std::find(pdfImageList.begin(), pdfImageList.end(), path);
        if (entry != pdfImageList.end())
            ordered.splice(ordered.end(), pdfImageList, entry);
    }
    // A collected page without a thumbnail cannot be: keep it all the same.
    ordered.splice(ordered.end(), pdfImageList);
    pdfImageList = std::move(ordered);
}
