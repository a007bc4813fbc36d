// Calibration benchmark: runs the wizard against the simulated card for
// ten seconds at its first step, then ten seconds of a check pass, and
// prints for each the CPU time the process used and the passes per second.
// Headless (QT_QPA_PLATFORM=offscreen), with the simulated driver library
// on LD_LIBRARY_PATH.
#include "CheckWindow.h"
#include "LayoutStyle.h"
#include "CalibrationSession.h"
#include "ReportWindow.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

constexpr int Seconds = 10;

// Measures the process for ten seconds, prints the figures under `what`,
// then calls `next`.
void Measure(QObject *context, const trvsim::Card &card, const char *what, std::function<void()> next)
{
    const double cpuStart = CpuSeconds();
    const uint64_t conversionsStart = card.conversions();
    auto wall = std::make_shared<QElapsedTimer>();
    wall->start();
    QTimer::singleShot(Seconds * 1000, context, [=, &card] {
        const double cpu = CpuSeconds() - cpuStart;
        const double elapsed = wall->elapsed() / 1000.0;
        const double passes = (card.conversions() - conversionsStart) / 5.0;
        std::printf("%s for %.1f s: cpu %.3f s (%.1f%% of one core), %.1f passes/s\n", what, elapsed, cpu,
                    100.0 * cpu / elapsed, passes / elapsed);
        next();
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    UseLayoutLook();
    TMainForm form;
    form.show();
    form.SetSupGetCardString(nullptr, 0);
    trvsim::Card &card = trvsim::Machine::instance().card(0);
    card.setPin37(trvsim::Pin37::Ground);

    QTimer::singleShot(500, &form, [&] { // after start-up, while step 1 runs
        Measure(&form, card, "calibration step 1", [&] {
            // A check pass as found, its first point confirmed and read.
            form.Calibration()->ReportWindow()->findChild<QPushButton *>(QStringLiteral("AsFoundButton"))->click();
            form.Calibration()->CheckWindow()->findChild<QPushButton *>(QStringLiteral("RecordButton"))->click();
            Measure(&form, card, "check pass", [&] { form.QuitClick(); });
        });
    });
    QTimer::singleShot(0, &form, &TMainForm::CalibButtonClick);
    QTimer::singleShot((2 * Seconds + 3) * 1000, &application, &QApplication::quit);
    return application.exec();
}
