// Saves calibration records into a history for tst_history, printing a
// line once each save has returned: "saved ID N" (N the operator's
// number), or "refused MESSAGE". STORE is a file, or "server" for the
// lab's server in HISTORY_SERVER.
//   history_saver STORE                saves forever, until killed;
//   history_saver STORE --one SERIAL   tells how many cards it holds,
//                                      then saves one record;
//   history_saver STORE --fsize BYTES  saves one record, then may write no
//                                      file beyond BYTES (as on a full
//                                      disk) and saves a large record.
#include "RecordStore.h"
#include "Records.h"

#include <QCoreApplication>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace {

void Print(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

bool Saved(TRecordStore &store, const TCalibrationRecord &r, int n)
{
    if (!store.Save(r)) {
        Print(QStringLiteral("refused ") + store.Message());
        return false;
    }
    Print(QStringLiteral("saved %1 %2").arg(r.Id().toString(QUuid::WithoutBraces)).arg(n));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 && args.size() != 4)
        return 2;
    TRecordStore store = args[1] == QLatin1String("server") ? TRecordStore(TServerSettings{qEnvironmentVariable("HISTORY_SERVER")})
                                                            : TRecordStore(args[1]);
    if (!store.Open()) {
        Print(QStringLiteral("closed ") + store.Message());
        return 1;
    }
    if (args.size() == 4 && args[2] == QLatin1String("--one")) {
        Print(QStringLiteral("holds %1 card(s)").arg(store.Cards().size()));
        return Saved(store, CalibratedRecord(args[3], QStringLiteral("op 1")), 1) ? 0 : 3;
    }
    if (args.size() == 4 && args[2] == QLatin1String("--fsize")) {
        if (!Saved(store, CalibratedRecord(QStringLiteral("FULL-1"), QStringLiteral("op 1")), 1))
            return 1;
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{args[3].toULong(), RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &limit);
        TCalibrationRecord big = CalibratedRecord(QStringLiteral("FULL-2"), QStringLiteral("op 2"));
        big.SetInstruments(QString(4 << 20, QLatin1Char('x')));
        return Saved(store, big, 2) ? 0 : 3;
    }
    // Forever: a new record, then two new states of it.
    for (int n = 1;; ++n) {
        static TCalibrationRecord r;
        if (n % 3 == 1)
            r = CalibratedRecord(QStringLiteral("KILL-%1").arg(n % 5), QStringLiteral("op %1").arg(n));
        else
            r.SetOperator(QStringLiteral("op %1").arg(n));
        if (!Saved(store, r, n))
            return 1;
    }
}
