// rz4070-bench: the simulated card's bench. It shares the card with Setup
// through the segment named in TRVWDM_SIM_SHM (run.sh sets it for both).
#include "BenchWindow.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    const char *name = std::getenv("TRVWDM_SIM_SHM");
    if (!name || !*name) {
        QMessageBox::critical(nullptr, QStringLiteral("Virtual bench"),
                              QStringLiteral("TRVWDM_SIM_SHM names no shared card. Start the bench with ./run.sh."));
        return 1;
    }
    trvsim::Card factory(trvsim::DeviceRZ4070, trvsim::DefaultBase);
    std::string error;
    const std::unique_ptr<trvsim::SharedState> shared = trvsim::SharedState::Attach(name, factory.State(), &error);
    if (!shared) {
        QMessageBox::critical(nullptr, QStringLiteral("Virtual bench"), QString::fromStdString(error));
        return 1;
    }
    TBenchWindow window(shared->Card(), shared.get());
    // Beside Setup, not under it: Setup runs maximised, so the bench stays on
    // top in the bottom right corner of the screen.
    window.setWindowFlag(Qt::WindowStaysOnTopHint);
    window.adjustSize();
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const int frame = 32; // room for the window manager's frame and caption
        window.move(area.right() + 1 - window.width() - frame / 4, area.bottom() + 1 - window.height() - frame);
    }
    window.show();
    return application.exec();
}
