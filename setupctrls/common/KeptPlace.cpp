#include "KeptPlace.h"

#include "ClientArea.h"

#include <QEvent>
#include <QWidget>

TKeptPlace::TKeptPlace(QWidget *window, std::function<QPoint()> place)
    : QObject(window), FWindow(window), FPlace(std::move(place))
{
    window->installEventFilter(this);
}

void TKeptPlace::Place()
{
    FFrame = FrameMargins(FWindow);
    FTaken = false;
    FPlacedAgain = 0;
    FPlacedAt = FPlace();
    FWindow->move(FPlacedAt); // a top-level's move places its frame
}

bool TKeptPlace::UserMoved() const
{
    return FTaken && FWindow->geometry().topLeft() != FTakenAt;
}

bool TKeptPlace::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != FWindow || event->type() != QEvent::Move || !FWindow->isVisible())
        return false;
    if (FrameMargins(FWindow) != FFrame) {
        FTaken = false; // framed anew: the owner places the window again
        return false;
    }
    if (FTaken)
        return false;
    if (FWindow->pos() == FPlacedAt) {
        FTaken = true;
        FTakenAt = FWindow->geometry().topLeft();
    } else if (FPlacedAgain++ < 3) {
        QMetaObject::invokeMethod(this, [this] { FWindow->move(FPlacedAt); }, Qt::QueuedConnection);
    }
    return false;
}
