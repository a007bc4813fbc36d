// Waits inside a real event loop, so that the loop blocks between events
// (QTest::qWait only polls) and idle notifications fire.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

// How long the desktop tests wait for a window manager's answer: a loaded
// machine may be slow, never this slow.
inline constexpr int Patience = 10000; // ms

template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}
