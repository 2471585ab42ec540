#include "liveview.h"

#include "zoomview.h"

#include <QAction>
#include <QEvent>
#include <QTimer>
#include <QVBoxLayout>

LiveView::LiveView(QWidget *parent) : QWidget(parent, Qt::Window), view_(new ZoomView(this))
{
    setObjectName("liveView");
    setWindowTitle(tr("实时画面"));
    resize(1280, 960);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    const auto key = [this](const QKeySequence &sequence, auto slot) {
        auto *action = new QAction(this);
        action->setShortcut(sequence);
        addAction(action);
        connect(action, &QAction::triggered, this, slot);
    };
    key(QKeySequence(Qt::Key_F11),
        [this] { setWindowState(windowState() ^ Qt::WindowFullScreen); });
    key(QKeySequence(Qt::Key_Escape), [this] { close(); });
    key(QKeySequence(Qt::Key_1), [this] { view_->showActualSize(); });
    key(QKeySequence(Qt::Key_0), [this] { view_->fitToWindow(); });
    key(QKeySequence(Qt::Key_F), [this] { view_->fitToWindow(); });
    key(QKeySequence::ZoomIn, [this] { view_->zoomIn(); });
    key(QKeySequence::ZoomOut, [this] { view_->zoomOut(); });
}

void LiveView::openOnDoubleClick(QWidget *preview)
{
    preview_ = preview;
    preview->installEventFilter(this);
}

bool LiveView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == preview_ && event->type() == QEvent::MouseButtonDblClick) {
        toggle();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void LiveView::toggle()
{
    if (isVisible()) {
        close();
        return;
    }
    show();
    // Once the click or key that asked has been handled: its window would
    // take the focus back.
    QTimer::singleShot(0, this, [this] {
        raise();
        activateWindow();
    });
}

void LiveView::showFrame(const unsigned char *rgb, int width, int height)
{
    if (!isVisible())
        return;
    view_->setPicture(QImage(rgb, width, height, 3 * width, QImage::Format_RGB888));
}
