#include "camlabel.h"

#include <QMouseEvent>

CamLabel::CamLabel(QWidget *parent, Qt::WindowFlags f) : QLabel(parent, f) {}

CamLabel::CamLabel(const QString &text, QWidget *parent, Qt::WindowFlags f)
    : QLabel(text, parent, f)
{
}

CamLabel::~CamLabel() = default;

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
