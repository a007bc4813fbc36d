// The calibration history's store: records and cards coming back whole,
// a damaged file, a newer schema, a folder that cannot be made, a save
// killed at any point and one that meets a full disk.
#include "RecordJson.h"
#include "RecordStore.h"
#include "Records.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

namespace {

// The record as it would be kept again: what a user sees of it.
QString Seen(const TCalibrationRecord &r)
{
    return ReportCsv(r);
}

TCalibrationRecord StartedAt(const TCalibrationRecord &r, const QDateTime &started)
{
    TCalibrationRecord::TContents c = r.Contents();
    c.started = started;
    return TCalibrationRecord::Kept(c);
}

QString SaverPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/history_saver");
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    void recordsComeBackWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("deep/folder/history.db"));
        const QDateTime now = QDateTime::currentDateTime();
        // Typed text that SQL or a spreadsheet would act on is kept as typed.
        const QString typed = QStringLiteral("O'Brien\"; DROP TABLE records; -- =SUM(A1) Ünal 測");
        TCalibrationRecord first = StartedAt(CalibratedRecord(QStringLiteral("A-1"), typed, 3, 0.25), now.addYears(-1));
        TCalibrationRecord second = StartedAt(CalibratedRecord(QStringLiteral("A-1"), QStringLiteral("Kim"), 5, -0.5), now);
        TCalibrationRecord other = CalibratedRecord(QStringLiteral("B-2"), QStringLiteral("Kim"), 1, 0);
        TCalibrationRecord untyped = CalibratedRecord(QString(), QString()); // nothing typed: kept all the same
        {
            TRecordStore store(path);
            QVERIFY2(store.Open() && !store.ReadOnly() && store.Message().isEmpty(), qPrintable(store.Message()));
            for (const TCalibrationRecord *r : {&first, &second, &other, &untyped})
                QVERIFY2(store.Save(*r), qPrintable(store.Message()));
            second.SetOperator(QStringLiteral("Kim Lee")); // a later change: the same record again
            QVERIFY(store.Save(second));
            QVERIFY(store.SetInterval(QStringLiteral("A-1"), 6));
        }
        TRecordStore store(path);
        QVERIFY2(store.Message().isEmpty(), qPrintable(store.Message()));
        const auto records = store.Records(QStringLiteral("A-1"));
        QCOMPARE(records.size(), size_t(2));
        QCOMPARE(records[0].id, second.Id()); // newest first
        QCOMPARE(records[0].operatorName, QStringLiteral("Kim Lee"));
        QCOMPARE(records[1].operatorName, typed);
        QCOMPARE(records[0].verdict, TVerdict::Pass);
        QCOMPARE(records[1].started, first.Started());
        for (const TCalibrationRecord *r : {&first, &second, &other, &untyped}) {
            const auto kept = store.Load(r->Id());
            QVERIFY(kept);
            QCOMPARE(Seen(*kept), Seen(*r));
            QCOMPARE(kept->Id(), r->Id());
        }
        const auto cards = store.Cards();
        QCOMPARE(cards.size(), size_t(3));
        QCOMPARE(cards[0].serial, QString()); // by serial: none given first
        QCOMPARE(cards[1].serial, QStringLiteral("A-1"));
        QCOMPARE(cards[1].records, 2);
        QCOMPARE(cards[1].intervalMonths, 6);
        QCOMPARE(cards[1].lastCalibrated, second.CheckedAsLeft());
        QCOMPARE(cards[2].intervalMonths, TRecordStore::DefaultIntervalMonths);
        const auto drift = store.CardRecords(QStringLiteral("A-1"));
        QCOMPARE(drift.size(), size_t(2));
        QCOMPARE(drift[0].Id(), first.Id()); // oldest first
        QVERIFY(!RecordFromJson("{\"points\": []}"));
        QVERIFY(!RecordFromJson("not json"));
    }

    // A file that is no database is kept aside and a new history begun; a
    // newer Setup's history is read, never written; a folder that cannot
    // be made says so.
    void damagedNewerOrUnwritableHistorySaysWhy()
    {
        QTemporaryDir dir;
        const QString damaged = dir.filePath(QStringLiteral("damaged.db"));
        const QByteArray garbage(8192, '\x5A');
        {
            QFile f(damaged);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(garbage) == garbage.size());
        }
        {
            TRecordStore store(damaged);
            QVERIFY2(store.Open() && !store.ReadOnly(), qPrintable(store.Message()));
            QVERIFY2(store.Message().contains(QStringLiteral("was damaged")) && store.Message().contains(QStringLiteral("kept as")),
                     qPrintable(store.Message()));
            QVERIFY(store.Save(CalibratedRecord(QStringLiteral("C-3"), QStringLiteral("Ana"))));
        }
        const QStringList aside = QDir(dir.path()).entryList({QStringLiteral("damaged.db.damaged-*")});
        QCOMPARE(aside.size(), 1);
        QFile kept(dir.filePath(aside[0]));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), garbage);
        QCOMPARE(TRecordStore(damaged).Cards().size(), size_t(1));

        const QString newer = dir.filePath(QStringLiteral("newer.db"));
        const TCalibrationRecord r = CalibratedRecord(QStringLiteral("D-4"), QStringLiteral("Ana"));
        QVERIFY(TRecordStore(newer).Save(r));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
            db.setDatabaseName(newer);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(QStringLiteral("UPDATE schema_version SET version = 99"), db).isActive());
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("newer"));
        {
            TRecordStore store(newer);
            QVERIFY(store.Open() && store.ReadOnly());
            QVERIFY2(store.Message().contains(QStringLiteral("newer Setup (schema 99)")), qPrintable(store.Message()));
            QCOMPARE(store.Records(QStringLiteral("D-4")).size(), size_t(1));
            QVERIFY(!store.Save(CalibratedRecord(QStringLiteral("D-4"), QStringLiteral("Ana"))));
            QVERIFY(!store.SetInterval(QStringLiteral("D-4"), 3));
            QVERIFY(store.Message().contains(QStringLiteral("read-only")));
        }
        QCOMPARE(TRecordStore(newer).Records(QStringLiteral("D-4")).size(), size_t(1));

        QFile file(dir.filePath(QStringLiteral("a-file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        TRecordStore nowhere(dir.filePath(QStringLiteral("a-file/history.db")));
        QVERIFY(!nowhere.Open());
        QVERIFY2(nowhere.Message().contains(QStringLiteral("cannot be made")), qPrintable(nowhere.Message()));
        QVERIFY(!nowhere.Save(r));
    }

    // A save killed at any point, 100 times: every save that returned is
    // there, whole; the file stays sound.
    void killedMidSaveLosesNothing()
    {
        const quint32 seed = qEnvironmentVariableIsSet("HISTORY_SEED") ? quint32(qEnvironmentVariableIntValue("HISTORY_SEED"))
                                                                         : QRandomGenerator::global()->generate();
        qInfo("seed %u (HISTORY_SEED replays it)", seed);
        QRandomGenerator random(seed);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.db"));
        std::map<QUuid, int> saved; // the last state each record was seen saved in
        int lines = 0;
        for (int cycle = 0; cycle < 100; ++cycle) {
            QProcess saver;
            saver.start(SaverPath(), {path});
            QVERIFY2(saver.waitForStarted(), qPrintable(saver.errorString()));
            // Killed after a number of saves, or before the first.
            const int after = int(random.bounded(4));
            int seen = 0;
            QByteArray pending;
            while (seen < after && saver.state() == QProcess::Running) {
                saver.waitForReadyRead(100);
                pending += saver.readAllStandardOutput();
                for (int nl; (nl = pending.indexOf('\n')) >= 0; pending.remove(0, nl + 1)) {
                    const QList<QByteArray> f = pending.left(nl).split(' ');
                    QVERIFY2(f.size() == 3 && f[0] == "saved", pending.left(nl).constData());
                    saved[QUuid::fromString(QLatin1String(f[1]))] = f[2].toInt();
                    ++seen;
                    ++lines;
                }
            }
            if (after > 0)
                QTest::qWait(int(random.bounded(3)));
            saver.kill();
            saver.waitForFinished();
            pending += saver.readAllStandardOutput();
            for (const QByteArray &line : pending.split('\n'))
                if (const QList<QByteArray> f = line.split(' '); f.size() == 3 && f[0] == "saved")
                    saved[QUuid::fromString(QLatin1String(f[1]))] = f[2].toInt();
        }
        TRecordStore store(path);
        QVERIFY2(store.Open() && store.Message().isEmpty(), qPrintable(store.Message()));
        QVERIFY2(lines > 50, qPrintable(QStringLiteral("%1 saves seen").arg(lines)));
        for (const auto &[id, n] : saved) {
            const auto kept = store.Load(id);
            QVERIFY2(kept, qPrintable(id.toString()));
            // This state, or one saved after it whose line the kill cut off.
            const int stored = kept->Operator().mid(3).toInt();
            QVERIFY2(stored >= n && stored <= n + 2, qPrintable(QStringLiteral("%1: op %2, saved %3").arg(id.toString()).arg(stored).arg(n)));
            QCOMPARE(kept->Points().size(), CalibratedRecord(QString(), QString()).Points().size());
        }
    }

    // A save that meets a full disk fails, says why, and leaves the record
    // kept before it whole.
    void fullDiskLeavesTheLastRecord()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("history.db"));
        QProcess saver;
        saver.start(SaverPath(), {path, QStringLiteral("--fsize"), QString::number(1 << 20)});
        QVERIFY(saver.waitForFinished(60000));
        const QString out = QString::fromUtf8(saver.readAllStandardOutput());
        QCOMPARE(saver.exitCode(), 3);
        QVERIFY2(out.contains(QStringLiteral("refused The calibration history")) && out.contains(QStringLiteral("could not be written")), qPrintable(out));
        TRecordStore store(path);
        QVERIFY2(store.Message().isEmpty(), qPrintable(store.Message()));
        QCOMPARE(store.Records(QStringLiteral("FULL-1")).size(), size_t(1));
        QVERIFY(store.Records(QStringLiteral("FULL-2")).empty());
        QVERIFY(store.Load(store.Records(QStringLiteral("FULL-1"))[0].id));
    }
};

QTEST_GUILESS_MAIN(TestHistory)
#include "tst_history.moc"
