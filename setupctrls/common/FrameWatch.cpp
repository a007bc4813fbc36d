#include "FrameWatch.h"

#include "ClientArea.h"

#include <QEvent>
#include <QWidget>

TFrameWatch::TFrameWatch(QWidget *window) : QObject(window), FWindow(window)
{
    window->installEventFilter(this);
    FPoll.setInterval(10);
    connect(&FPoll, &QTimer::timeout, this, [this] {
        Check();
        if (FUntil.hasExpired() || !FWindow->isVisible())
            FPoll.stop();
    });
}

bool TFrameWatch::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == FWindow
        && (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowStateChange)) {
        FUntil.setRemainingTime(1000);
        if (!FPoll.isActive())
            FPoll.start();
    }
    return QObject::eventFilter(watched, event);
}

void TFrameWatch::Check()
{
    const QMargins frame = FrameMargins(FWindow);
    if (frame == FFrame)
        return;
    FFrame = frame;
    emit FrameChanged(frame);
}
