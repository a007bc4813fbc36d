#include "GraphicControl.h"

#include <QMouseEvent>

void TGraphicControl::Click()
{
    emit OnClick(this);
}

void TGraphicControl::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
}

void TGraphicControl::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click && isEnabled())
        Click();
}

void TGraphicControl::mouseDoubleClickEvent(QMouseEvent *)
{
    m_pressed = false;
}
