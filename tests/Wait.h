// Waits inside a real event loop, so that the loop blocks between events
// (QTest::qWait only polls) and idle notifications fire.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QtGlobal>
#include <source_location>

// How much longer than their bounds the tests wait for what the machine
// does in its own time (a window manager's answer, a process, a timer):
// SETUP_TEST_PATIENCE=3 waits three times as long. 1 unless set.
inline double PatienceFactor()
{
    static const double factor = [] {
        bool ok = false;
        const double f = qEnvironmentVariable("SETUP_TEST_PATIENCE").toDouble(&ok);
        return ok && f >= 1 ? f : 1.0;
    }();
    return factor;
}

// `ms` stretched by the patience factor.
inline int Scaled(int ms)
{
    return int(ms * PatienceFactor());
}

// How long the desktop tests wait for a window manager's answer: a loaded
// machine may be slow, never this slow.
inline const int Patience = Scaled(10000); // ms

// Lets the event loop run for `ms`: time for what must not happen to show.
inline void RunEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// True once `condition` holds; false when it still does not after
// `timeoutMs`, saying where the test gave up waiting.
template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs = Scaled(5000), std::source_location where = std::source_location::current())
{
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (condition())
        return true;
    qWarning("Gave up after %d ms waiting for the condition at %s:%u", timeoutMs, where.file_name(), unsigned(where.line()));
    return false;
}
