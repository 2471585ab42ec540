#include "zoomview.h"

#include <QGraphicsPixmapItem>
#include <QWheelEvent>

#include <algorithm>

namespace
{

constexpr qreal kZoomStep = 1.25;
constexpr qreal kLeastZoom = 0.02;
constexpr qreal kMostZoom = 8; // a pixel as large as 8 x 8: enough to judge focus

} // namespace

ZoomView::ZoomView(QWidget *parent) : QGraphicsView(parent), picture_(new QGraphicsPixmapItem)
{
    setScene(new QGraphicsScene(this));
    scene()->addItem(picture_);
    picture_->setTransformationMode(Qt::SmoothTransformation);
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setBackgroundBrush(palette().dark());
    setFrameShape(QFrame::NoFrame);
}

void ZoomView::setPicture(const QImage &picture)
{
    const bool sameSize = picture.size() == picture_->pixmap().size();
    picture_->setPixmap(QPixmap::fromImage(picture));
    if (!sameSize) {
        scene()->setSceneRect(picture_->boundingRect());
        if (fitting_)
            fitToWindow();
    }
}

void ZoomView::fitToWindow()
{
    fitting_ = true;
    fitInView(picture_, Qt::KeepAspectRatio);
    emit zoomed();
}

void ZoomView::showActualSize()
{
    zoomTo(1);
}

void ZoomView::zoomIn()
{
    zoomTo(zoom() * kZoomStep);
}

void ZoomView::zoomOut()
{
    zoomTo(zoom() / kZoomStep);
}

void ZoomView::zoomTo(qreal zoom)
{
    fitting_ = false;
    zoom = std::clamp(zoom, kLeastZoom, kMostZoom);
    setTransform(QTransform::fromScale(zoom, zoom));
    emit zoomed();
}

void ZoomView::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0)
        return QGraphicsView::wheelEvent(event);
    for (int i = 0; i < std::abs(steps); ++i)
        steps > 0 ? zoomIn() : zoomOut();
    event->accept();
}

void ZoomView::resizeEvent(QResizeEvent *event)
{
    QGraphicsView::resizeEvent(event);
    if (fitting_)
        fitToWindow();
}
