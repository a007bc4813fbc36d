// Benchmarks of the calibration history on the embedded store, filled
// with 100 cards of 100 records each (10,000 records):
//  - saving one record (one transaction, flushed to the disk);
//  - opening the history window on that store;
//  - reading one card's records and drawing its drift chart.
// Runs headless (QT_QPA_PLATFORM=offscreen). The store lies in a temporary
// folder under TMPDIR (a disk, not tmpfs, gives the figure a user sees).
// Prints medians, in milliseconds.
#include "CardIO.h"
#include "Drift.h"
#include "HistoryKeeper.h"
#include "HistoryWindow.h"
#include "RecordStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double MedianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int k = 0; k < runs; ++k) {
        QElapsedTimer clock;
        clock.start();
        work();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

// A calibration of `serial`, every point found `found` counts off and left
// a quarter count off, started `days` ago.
TCalibrationRecord Calibration(const QString &serial, double found, int days)
{
    TCalibrationRecord r;
    r.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, {5, 0});
    r.SetSerial(serial);
    r.SetOperator(QStringLiteral("Bench"));
    for (TCheckKind kind : {TCheckKind::AsFound, TCheckKind::AsLeft})
        for (const TPointRecord &p : std::vector<TPointRecord>(r.Points())) {
            TMeasurement m;
            m.counts = p.point.Target / CardIO::VoltsPerCount(p.point.Variant) + (kind == TCheckKind::AsFound ? found : 0.25);
            m.volts = m.counts * CardIO::VoltsPerCount(p.point.Variant);
            m.readings = 10;
            m.conversions = 50;
            m.taken = QDateTime::currentDateTime();
            r.Measured(kind, p.point, m, {5, 0});
        }
    TCalibrationRecord::TContents c = r.Contents();
    c.started = c.started.addDays(-days);
    return TCalibrationRecord::Kept(c);
}

} // namespace

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
                if (!store.Save(Calibration(QStringLiteral("CARD-%1").arg(card, 3, 10, QLatin1Char('0')), k % 7, 3650 - k * 30)))
                    return std::fprintf(stderr, "%s\n", qPrintable(store.Message())), 1;
    }
    TRecordModel model;
    THistoryKeeper keeper(model, file, std::nullopt);
    TRecordStore &store = keeper.Store();
    int n = 0;
    const double save = MedianMs(21, [&] { store.Save(Calibration(QStringLiteral("CARD-NEW"), 1, n++)); });
    const double open = MedianMs(5, [&] {
        THistoryWindow window(nullptr, keeper);
        window.show();
        QApplication::processEvents();
    });
    QImage canvas(700, 160, QImage::Format_RGB32);
    const double drift = MedianMs(11, [&] {
        const TDrift d = DriftOf(store.CardRecords(QStringLiteral("CARD-042")));
        QPainter painter(&canvas);
        PaintDrift(painter, canvas.rect(), d);
    });
    std::printf("records in store:            %zu cards x 100 + %d\n", store.Cards().size() - 1, n);
    std::printf("save one record:             %.2f ms (median of 21)\n", save);
    std::printf("open history window:         %.2f ms (median of 5)\n", open);
    std::printf("one card's drift, read+draw: %.2f ms (median of 11)\n", drift);
    return 0;
}
