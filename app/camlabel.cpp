#include "camlabel.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QStyle>

CamLabel::CamLabel(QWidget *parent, Qt::WindowFlags f) : QLabel(parent, f) {}

CamLabel::CamLabel(const QString &text, QWidget *parent, Qt::WindowFlags f)
    : QLabel(text, parent, f)
{
}

CamLabel::~CamLabel() = default;

QSize CamLabel::pictureSize(const QSize &frameSize) const
{
    return frameSize.scaled(size(), Qt::KeepAspectRatio);
}

// As QLabel paints a pixmap: aligned within the contents less the margin,
// after the application's layout direction.
QRect CamLabel::pictureRect(const QSize &frameSize) const
{
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    return QStyle::alignedRect(QGuiApplication::layoutDirection(), alignment(),
                               pictureSize(frameSize), area);
}

// Any mouse button drags; positions outside the label count as they are,
// since the label keeps receiving moves while a button is held.
void CamLabel::mousePressEvent(QMouseEvent *event)
{
    QLabel::mousePressEvent(event);
    if (cropState != Armed && cropState != Done)
        return;
    startPoint = {event->pos().x(), event->pos().y()};
    endPoint = startPoint;
    cropState = Dragging;
}

void CamLabel::mouseMoveEvent(QMouseEvent *event)
{
    QLabel::mouseMoveEvent(event);
    if (cropState == Dragging)
        endPoint = {event->pos().x(), event->pos().y()};
}

void CamLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (cropState != Dragging)
        return;
    endPoint = {event->pos().x(), event->pos().y()};
    cropState = Done;
}
