#include "ReadoutVoice.h"

#include <QWidget>

TReadoutVoice::TReadoutVoice(QWidget *speaker) : QObject(speaker), FSpeaker(speaker)
{
    FLater.setSingleShot(true);
    connect(&FLater, &QTimer::timeout, this, &TReadoutVoice::Speak);
}

void TReadoutVoice::Say(const QString &text)
{
    FLatest = text;
    if (!FSpoken.isValid() || FSpoken.elapsed() >= IntervalMs)
        Speak();
    else if (!FLater.isActive())
        FLater.start(int(IntervalMs - FSpoken.elapsed()));
}

void TReadoutVoice::Speak()
{
    FLater.stop();
    // The same words again are no news.
    if (FSpeaker->accessibleName() == FLatest)
        return;
    FSpeaker->setAccessibleName(FLatest);
    FSpoken.start();
}
