// What a screen reader hears of the readout. The readout changes ten times
// a second; said each time, it would drown everything else. The voice
// speaks the reading with its meaning and unit ("1019 counts, 2.488
// volts") as the accessible name of one widget, at most once a second
// while it changes, and once more with the value it settled at.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QWidget;

class TReadoutVoice : public QObject {
    Q_OBJECT

public:
    // Speaks through `speaker`'s accessible name.
    explicit TReadoutVoice(QWidget *speaker);

    // The readout shows `text` now.
    void Say(const QString &text);

    static constexpr int IntervalMs = 1000;

private:
    void Speak();

    QWidget *FSpeaker;
    QString FLatest;
    QElapsedTimer FSpoken; // since the last name given, on the monotonic clock
    QTimer FLater;
};
