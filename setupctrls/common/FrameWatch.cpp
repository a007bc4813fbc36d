#include "FrameWatch.h"

#include "ClientArea.h"

#include <QEvent>
#include <QWidget>

namespace {

// How long after a change the frame is looked at: a window manager short of
// processor time may take well over a second to frame a window.
constexpr int WatchMs = 3000;

} // namespace

TFrameWatch::TFrameWatch(QWidget *window) : QObject(window), FWindow(window)
{
    window->installEventFilter(this);
    FPoll.setInterval(10);
    connect(&FPoll, &QTimer::timeout, this, [this] {
        Check();
        if (FUntil.hasExpired() || !FWindow->isVisible())
            FPoll.stop();
    });
    // A window already on the screen may be framed still.
    if (window->isVisible())
        Watch();
}

void TFrameWatch::Watch()
{
    FUntil.setRemainingTime(WatchMs);
    if (!FPoll.isActive())
        FPoll.start();
}

bool TFrameWatch::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == FWindow
        && (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowStateChange))
        Watch();
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
