// rz4070-bench: the simulated card's bench. It shares the card with Setup
// through the segment named in TRVWDM_SIM_SHM (run.sh sets it for both).
#include "BenchWindow.h"

#include <QApplication>
#include <QMessageBox>
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
    window.PlaceBesideSetup();
    window.show();
    return application.exec();
}
