// The page list's wiring: its context menu, the viewers, pages added from
// files and PDFs of any of them.  The pages themselves are the page
// document's.
#include "mainwindow.h"

#include "liveview.h"
#include "page_import.h"
#include "pagedocument.h"
#include "pages_pdf.h"
#include "pageviewer.h"
#include "ui_mainwindow.h"

#include <QAbstractItemView>
#include <QMenu>

void MainWindow::setUpPageList()
{
    QListWidget *list = ui->listWidget;
    pages =
        new PageDocument(list, ui->actionUndoDelete, statusBar(), pdfImageList, pdfRecording, this);
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this, &MainWindow::showPageMenu);
    // Enter and a double click (the view's activation) open the page in the
    // program's own viewer; the desktop's is in the page's menu.
    connect(list, &QAbstractItemView::activated, this,
            [this](const QModelIndex &page) { pageViewer->showPage(page.row()); });
    connect(list, &QListWidget::itemSelectionChanged, this, &MainWindow::enablePageActions);

    auto *import = new PageImport(ui->actionAddPages, statusBar(), list->iconSize().width(), this);
    connect(import, &PageImport::pageAccepted, pages, &PageDocument::add);
    pagesPdf = new PagesPdf(list, ui->actionPdfFromSelection, ui->actionPdfFromAll,
                            ui->actionSearchablePdf, statusBar(), this);
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
