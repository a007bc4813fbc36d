// Runs the calibration wizard from Begin Calibration; `tick` plays the user
// every `tickMs` while it runs. A check that fails in a tick ends the
// wizard (as Quit does) and the run at once, naming the step. True when
// the wizard ended in time and no check failed.
#pragma once

#include "CalibrationSession.h"
#include "Wait.h"
#include "template.h"

#include <QTimer>
#include <QtTest/QTest>
#include <functional>

// The wizard's waits scaled by `factor` while it lives, whatever the test
// comes to: a failed check never leaves short waits to the tests after it.
struct ScaledWaits {
    explicit ScaledWaits(double factor) { CardIO::SetWaitScale(factor); }
    ~ScaledWaits() { CardIO::SetWaitScale(1); }
    ScaledWaits(const ScaledWaits &) = delete;
    ScaledWaits &operator=(const ScaledWaits &) = delete;
};

inline bool RunWizard(TMainForm &form, const std::function<void()> &tick, int timeoutMs = 60000, int tickMs = 10)
{
    bool clicked = false, failed = false;
    // Clicked from the event loop: a question the click asks is answered
    // by the test's own timers.
    QTimer::singleShot(0, &form, [&] {
        form.CalibButtonClick();
        clicked = true;
    });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (failed)
            return;
        tick();
        if (QTest::currentTestFailed()) {
            failed = true;
            qWarning("A check failed at wizard step %d; the wizard is ended.", int(MainUnit.CalibStep));
            form.QuitClick();
        }
    });
    ticker.start(tickMs);
    const bool ended = WaitFor([&] { return failed || (clicked && !form.Calibration()->Running()); }, Scaled(timeoutMs));
    if (!ended)
        qWarning("The wizard was still running at step %d after %d ms.", int(MainUnit.CalibStep), timeoutMs);
    return ended && !failed;
}
