// Runs the calibration wizard from Begin Calibration; `tick` plays the user
// every `tickMs` inside the wizard's own event processing. True when the
// wizard returned in time.
#pragma once

#include "Wait.h"
#include "template.h"

#include <QTimer>
#include <functional>

inline bool RunWizard(TMainForm &form, const std::function<void()> &tick, int timeoutMs = 60000, int tickMs = 10)
{
    bool done = false;
    QTimer::singleShot(0, &form, [&] {
        form.CalibButtonClick();
        done = true;
    });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, tick);
    ticker.start(tickMs);
    return WaitFor([&] { return done; }, timeoutMs);
}
