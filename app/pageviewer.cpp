#include "pageviewer.h"

#include "page_files.h"
#include "zoomview.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QToolBar>
#include <QTimer>
#include <QVBoxLayout>

PageViewer::PageViewer(QAbstractItemModel *pages, QWidget *parent)
    : QWidget(parent, Qt::Window), pages_(pages), view_(new ZoomView(this)),
      state_(new QLabel(this))
{
    setObjectName("pageViewer");
    resize(900, 1000);
    auto *tools = new QToolBar(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(view_, 1);
    layout->addWidget(state_);
    state_->setContentsMargins(6, 3, 6, 3);

    const auto button = [&](const QString &text, const QList<QKeySequence> &keys) {
        QAction *action = tools->addAction(text);
        action->setShortcuts(keys);
        action->setToolTip(QStringLiteral("%1 (%2)").arg(
            text, QKeySequence::listToString(keys, QKeySequence::PortableText)));
        return action;
    };
    connect(button(tr("上一页"), {QKeySequence(Qt::Key_PageUp), QKeySequence(Qt::Key_Backspace)}),
            &QAction::triggered, this, [this] { step(-1); });
    connect(button(tr("下一页"), {QKeySequence(Qt::Key_PageDown), QKeySequence(Qt::Key_Space)}),
            &QAction::triggered, this, [this] { step(+1); });
    tools->addSeparator();
    connect(button(tr("适合窗口"), {QKeySequence(Qt::Key_F), QKeySequence(Qt::Key_0)}),
            &QAction::triggered, view_, &ZoomView::fitToWindow);
    connect(button(tr("原始大小"), {QKeySequence(Qt::Key_1)}), &QAction::triggered, view_,
            &ZoomView::showActualSize);
    connect(button(tr("放大"), {QKeySequence::ZoomIn, QKeySequence(Qt::Key_Plus)}),
            &QAction::triggered, view_, &ZoomView::zoomIn);
    connect(button(tr("缩小"), {QKeySequence::ZoomOut, QKeySequence(Qt::Key_Minus)}),
            &QAction::triggered, view_, &ZoomView::zoomOut);
    connect(button(tr("关闭"), {QKeySequence(Qt::Key_Escape)}), &QAction::triggered, this,
            &QWidget::close);
    connect(view_, &ZoomView::zoomed, this, &PageViewer::showState);
}

void PageViewer::showPage(int row)
{
    page_ = pages_->index(row, 0);
    const QByteArray path = page_.data(Qt::UserRole).toByteArray();
    // Looked at first without waiting: a FIFO in the page's place would
    // hold the window.
    failure_ = pageFileKindProblem(path);
    QImage picture;
    if (failure_.isEmpty()) {
        QImageReader reader(QFile::decodeName(path));
        reader.setAutoTransform(true);
        picture = reader.read();
        failure_ = picture.isNull() ? reader.errorString() : QString();
    }
    view_->setPicture(picture);
    view_->fitToWindow();
    showState();
    show();
    // Once the click or key that asked has been handled: its window would
    // take the focus back.
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
}

void PageViewer::step(int rows)
{
    const int row = page_.row() + rows;
    if (page_.isValid() && row >= 0 && row < pages_->rowCount())
        showPage(row);
}

void PageViewer::showState()
{
    const QString name = page_.data(Qt::DisplayRole).toString();
    const int number = page_.row() + 1, count = pages_->rowCount();
    setWindowTitle(tr("第 %1/%2 页 — %3").arg(number).arg(count).arg(name));
    if (!page_.isValid())
        state_->setText(tr("这一页已从列表中删除"));
    else if (!failure_.isEmpty())
        state_->setText(tr("无法读取 %1：%2").arg(name, failure_));
    else
        state_->setText(tr("%1 %").arg(qRound(view_->zoom() * 100)));
}
