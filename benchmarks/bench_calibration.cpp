// Calibration benchmark: runs the wizard against the simulated card for
// ten seconds and prints the CPU time the process used and the passes per
// second. Headless (QT_QPA_PLATFORM=offscreen), with the simulated driver
// library on LD_LIBRARY_PATH.
#include "LayoutStyle.h"
#include "template.h"
#include "trvwdm/sim/SimulatedCard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
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

    constexpr int Seconds = 10;
    double cpuStart = 0;
    uint64_t conversionsStart = 0;
    QElapsedTimer wall;
    QTimer::singleShot(500, &form, [&] { // after start-up, while step 1 runs
        cpuStart = CpuSeconds();
        conversionsStart = card.conversions();
        wall.start();
        QTimer::singleShot(Seconds * 1000, &form, [&] {
            const double cpu = CpuSeconds() - cpuStart;
            const double elapsed = wall.elapsed() / 1000.0;
            const double passes = (card.conversions() - conversionsStart) / 5.0;
            std::printf("calibration for %.1f s: cpu %.3f s (%.1f%% of one core), %.1f passes/s\n",
                        elapsed, cpu, 100.0 * cpu / elapsed, passes / elapsed);
            form.QuitClick();
        });
    });
    QTimer::singleShot(0, &form, &TMainForm::CalibButtonClick);
    QTimer::singleShot((Seconds + 2) * 1000, &application, &QApplication::quit);
    return application.exec();
}
