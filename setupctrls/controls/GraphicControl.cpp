#include "GraphicControl.h"

#include <QMouseEvent>

void TGraphicControl::Click()
{
    emit OnClick(this);
}

void TGraphicControl::mousePressEvent(QMouseEvent *event)
{
    FPressed = event->button() == Qt::LeftButton;
}

void TGraphicControl::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    FPressed = false;
    if (click && isEnabled())
        Click();
}

void TGraphicControl::mouseDoubleClickEvent(QMouseEvent *)
{
    FPressed = false;
}
