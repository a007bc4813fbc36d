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

bool TKeptPlace::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != FWindow || event->type() != QEvent::Move || !FWindow->isVisible() || FUserMoved
        || FrameMargins(FWindow) != FFrame)
        return false;
    if (FWindow->pos() == FPlacedAt)
        FTaken = true;
    else if (FTaken)
        FUserMoved = true;
    else if (FPlacedAgain++ < 3)
        QMetaObject::invokeMethod(this, [this] { FWindow->move(FPlacedAt); }, Qt::QueuedConnection);
    return false;
}
