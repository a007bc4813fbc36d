// Benchmarks of the calibration history on the embedded store, filled
// with 100 cards of 100 records each (10,000 records):
//  - saving one record (one transaction, flushed to the disk);
//  - opening the history window on that store;
//  - reading one card's records and drawing its drift chart.
// Runs headless (QT_QPA_PLATFORM=offscreen). The store lies in a temporary
// folder under TMPDIR (a disk, not tmpfs, gives the figure a user sees).
// Prints medians, in milliseconds.
#include "Drift.h"
#include "HistoryKeeper.h"
#include "HistoryWindow.h"
#include "Median.h"
#include "Records.h"
#include "RecordStore.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("history.db"));
    {
        // Filled as Setup fills it: one save, one transaction, per record.
        TRecordStore store(file);
        for (int card = 0; card < 100; ++card)
            for (int k = 0; k < 100; ++k)
                if (!store.Save(StartedAt(CalibratedRecord(QStringLiteral("CARD-%1").arg(card, 3, 10, QLatin1Char('0')), QStringLiteral("Bench"), k % 7),
                                          QDateTime::currentDateTime().addDays(k * 30 - 3650))))
                    return std::fprintf(stderr, "%s\n", qPrintable(store.Message())), 1;
    }
    TRecordModel model;
    THistoryKeeper keeper(model, file, std::nullopt);
    TRecordStore &store = keeper.Store();
    int n = 0;
    const double save = MedianNanos(21, [&] {
        store.Save(StartedAt(CalibratedRecord(QStringLiteral("CARD-NEW"), QStringLiteral("Bench"), 1), QDateTime::currentDateTime().addDays(-n++)));
    }) / 1e6;
    const double open = MedianNanos(5, [&] {
        THistoryWindow window(nullptr, keeper);
        window.show();
        QApplication::processEvents();
    }) / 1e6;
    QImage canvas(700, 160, QImage::Format_RGB32);
    const double drift = MedianNanos(11, [&] {
        const TDrift d = DriftOf(store.CardRecords(QStringLiteral("CARD-042")));
        QPainter painter(&canvas);
        PaintDrift(painter, canvas.rect(), d);
    }) / 1e6;
    std::printf("records in store:            %zu cards x 100 + %d\n", store.Cards().size() - 1, n);
    std::printf("save one record:             %.2f ms (median of 21)\n", save);
    std::printf("open history window:         %.2f ms (median of 5)\n", open);
    std::printf("one card's drift, read+draw: %.2f ms (median of 11)\n", drift);
    return 0;
}
