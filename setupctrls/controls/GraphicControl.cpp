#include "GraphicControl.h"

#include "AccessibleControls.h"

#include <QFocusFrame>
#include <QKeyEvent>
#include <QMouseEvent>

TGraphicControl::TGraphicControl(QWidget *parent) : QWidget(parent)
{
    InstallControlAccessibility();
}

void TGraphicControl::Click()
{
    emit OnClick(this);
}

void TGraphicControl::PerformClick()
{
    if (isEnabled())
        Click();
}

void TGraphicControl::mousePressEvent(QMouseEvent *event)
{
    FPressed = event->button() == Qt::LeftButton;
}

void TGraphicControl::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = FPressed && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    FPressed = false;
    if (click)
        PerformClick();
}

void TGraphicControl::mouseDoubleClickEvent(QMouseEvent *)
{
    FPressed = false;
}

void TGraphicControl::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        PerformClick();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TGraphicControl::focusInEvent(QFocusEvent *event)
{
    // Shown when the keyboard brought the focus, and again when the window
    // comes back with it; not for the focus a window gives at its start.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason)
        FKeyboardFocus = true;
    if (FKeyboardFocus) {
        // A sibling drawn around the control, outside its rectangle.
        if (!FFocusFrame && parentWidget())
            FFocusFrame = new QFocusFrame(parentWidget());
        if (FFocusFrame)
            FFocusFrame->setWidget(this);
    }
    QWidget::focusInEvent(event);
}

void TGraphicControl::focusOutEvent(QFocusEvent *event)
{
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        FKeyboardFocus = false;
    if (FFocusFrame)
        FFocusFrame->setWidget(nullptr); // hides it
    QWidget::focusOutEvent(event);
}
