// The keys of the window, and the page list's wiring: its context menu,
// the viewers, pages added from files and PDFs of any of them.  The pages
// themselves are the page document's.
#include "mainwindow.h"

#include "liveview.h"
#include "ownkeys.h"
#include "page_import.h"
#include "pagedocument.h"
#include "pages_pdf.h"
#include "pageturn.h"
#include "pageviewer.h"
#include "ui_mainwindow.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>

namespace
{

QString keyNames(const QAction *action)
{
    QStringList names;
    for (const QKeySequence &key : action->shortcuts())
        names << key.toString(QKeySequence::NativeText);
    return names.join(QCoreApplication::translate("MainWindow", "、"));
}

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
            [this] { pages->turn(ui->listWidget->selectedItems(), PageTurn::Left); });
    connect(ui->actionTurnRight, &QAction::triggered, this,
            [this] { pages->turn(ui->listWidget->selectedItems(), PageTurn::Right); });
    connect(ui->actionOpenPage, &QAction::triggered, this,
            [this] { pages->open(ui->listWidget->selectedItems()); });

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
