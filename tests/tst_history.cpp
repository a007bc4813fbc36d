// The calibration history: what a calibration leaves in it (its serial,
// operator and instruments offered again next time), the history window
// with its due dates and drift, a record opened again and saved;
// the store: records and cards coming back whole,
// a damaged file, a newer schema, a read-only folder, a folder that cannot
// be made, a save killed at any point and one that meets a full disk; a
// lab's server stopped between saves and during them.
#include "DueDates.h"
#include "HistoryKeeper.h"
#include "HistoryWindow.h"
#include "RecordJson.h"
#include "ReportWindow.h"
#include "RecordStore.h"
#include "Records.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <unistd.h>

namespace {

// The record as it would be kept again: what a user sees of it.
QString Seen(const TCalibrationRecord &r)
{
    return ReportCsv(r);
}

QString SaverPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/history_saver");
}

// The lab's server the PostgreSQL tier started for this run, emptied;
// none outside that tier.
std::optional<TServerSettings> FreshServer()
{
    if (!qEnvironmentVariableIsSet("HISTORY_SERVER"))
        return std::nullopt;
    const TServerSettings server{qEnvironmentVariable("HISTORY_SERVER")};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("fresh"));
        db.setConnectOptions(server.conninfo);
        if (db.open())
            QSqlQuery(QStringLiteral("DROP TABLE IF EXISTS records, cards, schema_version, unsent"), db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fresh"));
    return server;
}

// Runs the saver with `args` to its end, as a user without privilege (root
// writes any folder): its output.
QString SaveAsAUser(const QStringList &args)
{
    QProcess saver;
    if (geteuid() == 0)
        saver.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                                           QStringLiteral("--clear-groups"), QStringLiteral("--"), SaverPath()} + args);
    else
        saver.start(SaverPath(), args);
    saver.waitForFinished(60000);
    return QString::fromUtf8(saver.readAllStandardOutput() + saver.readAllStandardError());
}

// Stops or starts the PostgreSQL tier's server.
bool ServerDoes(const char *what)
{
    return QProcess::execute(qEnvironmentVariable("HISTORY_PGCTL"), {QLatin1String(what)}) == 0;
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT

private slots:
    // What Setup remembers between runs starts empty, whatever ran before.
    void initTestCase()
    {
        QVERIFY(FSettings.isValid());
        qputenv("XDG_CONFIG_HOME", FSettings.path().toLocal8Bit());
    }

    void recordsComeBackWhole_data()
    {
        QTest::addColumn<bool>("server");
        QTest::newRow("embedded") << false;
        if (qEnvironmentVariableIsSet("HISTORY_SERVER"))
            QTest::newRow("PostgreSQL") << true;
    }

    void recordsComeBackWhole()
    {
        QFETCH(bool, server);
        QTemporaryDir dir;
        const std::optional<TServerSettings> lab = server ? FreshServer() : std::nullopt;
        auto open = [&] {
            return lab ? std::make_unique<TRecordStore>(*lab) : std::make_unique<TRecordStore>(dir.filePath(QStringLiteral("deep/folder/history.db")));
        };
        const QDateTime now = QDateTime::currentDateTime();
        // Typed text that SQL or a spreadsheet would act on is kept as typed.
        const QString typed = QStringLiteral("O'Brien\"; DROP TABLE records; -- =SUM(A1) Ünal 測");
        TCalibrationRecord first = StartedAt(CalibratedRecord(QStringLiteral("A-1"), typed, 3, 0.25), now.addYears(-1));
        TCalibrationRecord second = StartedAt(CalibratedRecord(QStringLiteral("A-1"), QStringLiteral("Kim"), 5, -0.5), now);
        TCalibrationRecord other = CalibratedRecord(QStringLiteral("B-2"), QStringLiteral("Kim"), 1, 0);
        TCalibrationRecord untyped = CalibratedRecord(QString(), QString()); // nothing typed: kept all the same
        {
            const auto kept = open();
            TRecordStore &store = *kept;
            QVERIFY2(store.Open() && !store.ReadOnly() && store.Message().isEmpty(), qPrintable(store.Message()));
            for (const TCalibrationRecord *r : {&first, &second, &other, &untyped})
                QVERIFY2(store.Save(*r), qPrintable(store.Message()));
            second.SetOperator(QStringLiteral("Kim Lee")); // a later change: the same record again
            QVERIFY(store.Save(second));
            QVERIFY(store.SetInterval(QStringLiteral("A-1"), 6));
        }
        const auto reopened = open();
        TRecordStore &store = *reopened;
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

    // Two calibrations of one card, a pot turned between them: the second
    // starts with what the first was given, both are kept, the window
    // shows them newest first with the drift between, and the first opens
    // read-only and saves again as PDF.
    void calibratedTwiceThenLookedUp()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("history.db"));
        TRecordModel model;
        THistoryKeeper keeper(model, file, std::nullopt);
        QStringList told;
        connect(&keeper, &THistoryKeeper::Message, this, [&](const QString &text) { told << text; });
        const TCardId card{QStringLiteral("PCI-RZ4070"), 0xD000}; // no other test's card
        auto calibrate = [&](double found, double left) {
            model.Begin(card, {5, 0});
            if (model.Record().Serial().isEmpty())
                model.SetSerial(QStringLiteral("LAB-0042"));
            if (model.Record().Operator().isEmpty()) {
                model.SetOperator(QStringLiteral("Ana"));
                model.SetInstruments(QStringLiteral("Calibrator C-100"));
            }
            for (TCheckKind kind : {TCheckKind::AsFound, TCheckKind::AsLeft})
                for (const TPointRecord &p : std::vector<TPointRecord>(model.Record().Points()))
                    model.Measured(kind, p.point, Off(p.point, kind == TCheckKind::AsFound ? found : left), {5, 0});
            keeper.Flush();
            return model.Record().Id();
        };
        const QUuid first = calibrate(0.5, 0.25);
        QVERIFY(keeper.Store().Holds(first));
        const QUuid second = calibrate(2.75, 0.0); // a pot moved by 2.5 counts since
        QVERIFY(keeper.Store().Holds(second));
        QCOMPARE(model.Record().Serial(), QStringLiteral("LAB-0042"));
        QCOMPARE(model.Record().Operator(), QStringLiteral("Ana"));
        QCOMPARE(model.Record().Instruments(), QStringLiteral("Calibrator C-100"));
        QCOMPARE(THistoryKeeper::SerialOf(card), QStringLiteral("LAB-0042"));
        QVERIFY2(told.isEmpty(), qPrintable(told.join(u'\n')));

        THistoryWindow window(nullptr, keeper);
        auto *cards = window.findChild<QTableWidget *>(QStringLiteral("CardsTable"));
        auto *records = window.findChild<QTableWidget *>(QStringLiteral("RecordsTable"));
        auto *drift = window.findChild<QTableWidget *>(QStringLiteral("DriftTable"));
        QCOMPARE(cards->rowCount(), 1);
        QCOMPARE(cards->item(0, 0)->text(), QStringLiteral("LAB-0042"));
        const QDate due = model.Record().CheckedAsLeft()->date().addMonths(12);
        QCOMPARE(cards->item(0, 4)->text(), QStringLiteral("Due %1").arg(due.toString(Qt::ISODate)));
        QCOMPARE(records->rowCount(), 2);
        QCOMPARE(records->item(0, 2)->text(), QStringLiteral("pass"));
        QCOMPARE(drift->rowCount(), int(model.Record().Points().size()));
        // The A/D points moved 2.5 counts; a DAC point read through the
        // same A/D is judged less the A/D's own error, so it did not move.
        for (int row = 0; row < drift->rowCount(); ++row)
            QCOMPARE(drift->item(row, 4)->text(),
                     model.Record().Points()[size_t(row)].point.Dac ? QStringLiteral("0.00") : QStringLiteral("2.50"));
        window.findChild<QSpinBox *>(QStringLiteral("IntervalBox"))->setValue(1);
        QCOMPARE(keeper.Store().Card(QStringLiteral("LAB-0042"))->intervalMonths, 1);
        QCOMPARE(cards->item(0, 4)->text(), DueText(DueOf(model.Record().CheckedAsLeft(), 1, QDate::currentDate())));

        auto *opened = qobject_cast<TReportWindow *>(window.OpenRecord(1)); // the older
        QVERIFY(opened);
        QVERIFY(opened->findChild<QLineEdit *>(QStringLiteral("OperatorEdit"))->isReadOnly());
        QVERIFY(opened->findChild<QPushButton *>(QStringLiteral("AsLeftButton"))->isHidden());
        QVERIFY(opened->Text().contains(QStringLiteral("LAB-0042")));
        const QString pdf = dir.filePath(QStringLiteral("again.pdf"));
        QVERIFY(opened->SavePdf(pdf));
        QFile saved(pdf);
        QVERIFY(saved.open(QIODevice::ReadOnly) && saved.read(5) == "%PDF-");
        const auto kept = keeper.Store().Load(first);
        QVERIFY(kept);
        QCOMPARE(opened->Text(), ReportText(*kept));

        // A record saved as CSV before the history kept it comes in once,
        // as it was; a file that is no such record is refused with why.
        const TCalibrationRecord earlier = CalibratedRecord(QStringLiteral("=OLD-1"), QStringLiteral("Bo, \"the\" tech"), 4, -0.5, {2, 3});
        const QString csv = dir.filePath(QStringLiteral("earlier.csv")), other = dir.filePath(QStringLiteral("other.csv"));
        QFile f(csv), g(other);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(ReportCsv(earlier).toUtf8()) > 0 && g.open(QIODevice::WriteOnly) && g.write("a,b\n1,2\n") > 0);
        f.close();
        g.close();
        const QString said = keeper.Import({csv, csv, other});
        QVERIFY2(said.startsWith(QStringLiteral("1 of 3 record(s) imported.\nearlier.csv is in the history already.\nother.csv was not imported: it is not")),
                 qPrintable(said));
        const auto imported = keeper.Store().Records(QStringLiteral("=OLD-1"));
        QCOMPARE(imported.size(), size_t(1));
        QCOMPARE(ReportCsv(*keeper.Store().Load(imported[0].id)), ReportCsv(earlier));
        QVERIFY(keeper.Import({csv}).startsWith(QStringLiteral("0 of 1")));

        // Due dates: the interval from the last as-left check; soon within
        // 30 days; overdue the day after.
        const QDateTime last(QDate(2026, 1, 31), QTime(12, 0));
        QCOMPARE(DueText(DueOf(std::nullopt, 12, QDate(2026, 2, 1))), QStringLiteral("Never calibrated"));
        QCOMPARE(DueText(DueOf(last, 12, QDate(2026, 12, 31))), QStringLiteral("Due 2027-01-31"));
        QCOMPARE(DueText(DueOf(last, 12, QDate(2027, 1, 1))), QStringLiteral("Due soon, on 2027-01-31"));
        QCOMPARE(DueText(DueOf(last, 12, QDate(2027, 1, 31))), QStringLiteral("Due soon, on 2027-01-31"));
        QCOMPARE(DueText(DueOf(last, 12, QDate(2027, 2, 1))), QStringLiteral("Overdue since 2027-01-31"));
        QCOMPARE(DueOf(last, 1, QDate(2026, 2, 1)).date, QDate(2026, 2, 28)); // the month's last day
    }

    // A lab's server stopped between saves: the record is kept on this
    // computer and said so; started again, it gets the record, once.
    void serverAwayKeepsRecordsHere()
    {
        const std::optional<TServerSettings> lab = FreshServer();
        if (!lab)
            QSKIP("run by the PostgreSQL tier (tests/with-postgres.sh)");
        QTemporaryDir dir;
        TRecordModel model;
        THistoryKeeper keeper(model, dir.filePath(QStringLiteral("history.db")), lab, nullptr, 0);
        QStringList told;
        connect(&keeper, &THistoryKeeper::Message, this, [&](const QString &text) { told << text; });
        auto calibrate = [&](const QString &serial) {
            const TCalibrationRecord r = CalibratedRecord(serial, QStringLiteral("Ana"));
            model.Show(r); // a new record, then a change after its as-left check
            model.SetOperator(QStringLiteral("Ana Lee"));
            keeper.Flush();
            return r.Id();
        };
        const QUuid first = calibrate(QStringLiteral("S-1"));
        QVERIFY2(told.isEmpty(), qPrintable(told.join(u'\n')));
        QVERIFY(ServerDoes("stop"));
        const QUuid second = calibrate(QStringLiteral("S-2"));
        QCOMPARE(told.size(), 1);
        QVERIFY2(told[0].contains(QStringLiteral("kept on this computer and will be sent")), qPrintable(told[0]));
        QVERIFY(ServerDoes("start"));
        QVERIFY(keeper.Store().Holds(second));
        QCOMPARE(told.size(), 2);
        QVERIFY2(told[1].startsWith(QStringLiteral("1 calibration record(s) kept on this computer were sent")), qPrintable(told[1]));
        keeper.Store();
        QCOMPARE(told.size(), 2); // sent once
        TRecordStore server(*lab);
        QVERIFY(server.Holds(first) && server.Holds(second));
        QCOMPARE(server.Records(QStringLiteral("S-2")).size(), size_t(1));
        QCOMPARE(server.Load(second)->Operator(), QStringLiteral("Ana Lee"));
        QVERIFY(TRecordStore(dir.filePath(QStringLiteral("history.db"))).Unsent().empty());
    }

    // The lab's server stopped while records are being saved: each is on
    // the server after it comes back, once, whether its save went through
    // or was kept here to be sent.
    void serverStoppedMidSaveLosesNothing()
    {
        const std::optional<TServerSettings> lab = FreshServer();
        if (!lab)
            QSKIP("run by the PostgreSQL tier (tests/with-postgres.sh)");
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("history.db"));
        TRecordModel model;
        THistoryKeeper keeper(model, file, lab, nullptr, 0);
        std::map<QUuid, QString> saved; // each record, with its last operator
        auto save = [&](int n) {
            if (n % 2 == 0)
                model.Show(CalibratedRecord(QStringLiteral("STOP-%1").arg(n % 3), QStringLiteral("op %1").arg(n)));
            model.SetOperator(QStringLiteral("op %1 again").arg(n));
            keeper.Flush();
            saved[model.Record().Id()] = model.Record().Operator();
        };
        int n = 0;
        for (; n < 4; ++n)
            save(n);
        // Stopping ends every session at once, wherever its save is.
        QProcess stopper;
        stopper.start(qEnvironmentVariable("HISTORY_PGCTL"), {QStringLiteral("stop")});
        QVERIFY(stopper.waitForStarted());
        bool stopped = false;
        for (int after = 0; after < 3 && n < 5000; ++n) {
            save(n);
            stopped = stopped || stopper.waitForFinished(0);
            after += stopped;
        }
        QVERIFY2(stopped && stopper.exitStatus() == QProcess::NormalExit && stopper.exitCode() == 0,
                 qPrintable(QStringLiteral("the server did not stop in %1 saves").arg(n)));
        QVERIFY2(!TRecordStore(file).Unsent().empty(), "no record was kept here while the server was stopped");
        QVERIFY(ServerDoes("start"));
        keeper.Store(); // sends what waits
        QVERIFY(TRecordStore(file).Unsent().empty());
        TRecordStore server(*lab);
        size_t rows = 0;
        for (const QString &serial : {QStringLiteral("STOP-0"), QStringLiteral("STOP-1"), QStringLiteral("STOP-2")})
            rows += server.Records(serial).size();
        QCOMPARE(rows, saved.size());
        for (const auto &[id, name] : saved) {
            const auto kept = server.Load(id);
            QVERIFY2(kept && kept->Operator() == name, qPrintable(id.toString()));
        }
        qInfo("%d saves, %zu records, the server stopped meanwhile", n, saved.size());
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

        // A folder the user may not write: the history it holds is shown,
        // a save says why it was refused, and the file is left as it was.
        QTemporaryDir locked;
        const QString lockedFile = locked.filePath(QStringLiteral("history.db"));
        QVERIFY(TRecordStore(lockedFile).Save(r));
        if (geteuid() == 0)
            QVERIFY(chown(qPrintable(locked.path()), 65534, 65534) == 0 && chown(qPrintable(lockedFile), 65534, 65534) == 0);
        QVERIFY(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther));
        const QString refused = SaveAsAUser({lockedFile, QStringLiteral("--one"), QStringLiteral("E-5")});
        QVERIFY(QFile::setPermissions(locked.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QVERIFY2(refused.startsWith(QStringLiteral("holds 1 card(s)\nrefused The calibration history %1 cannot be written: the folder %2 is read-only")
                                        .arg(lockedFile, locked.path())),
                 qPrintable(refused));
        QCOMPARE(QDir(locked.path()).entryList(QDir::Files), QStringList{QStringLiteral("history.db")});
        {
            TRecordStore store(lockedFile);
            QVERIFY2(store.Message().isEmpty(), qPrintable(store.Message()));
            QCOMPARE(store.Cards().size(), size_t(1));
            QCOMPARE(Seen(*store.Load(r.Id())), Seen(r));
        }

        QFile file(dir.filePath(QStringLiteral("a-file")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        TRecordStore nowhere(dir.filePath(QStringLiteral("a-file/history.db")));
        QVERIFY(!nowhere.Open());
        QVERIFY2(nowhere.Message().contains(QStringLiteral("cannot be made")), qPrintable(nowhere.Message()));
        QVERIFY(!nowhere.Save(r));
    }

    void killedMidSaveLosesNothing_data()
    {
        recordsComeBackWhole_data();
    }

    // A save killed at any point, 100 times: every save that returned is
    // there, whole; the store stays sound.
    void killedMidSaveLosesNothing()
    {
        QFETCH(bool, server);
        const std::optional<TServerSettings> lab = server ? FreshServer() : std::nullopt;
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
            saver.start(SaverPath(), {lab ? QStringLiteral("server") : path});
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
        const auto opened = lab ? std::make_unique<TRecordStore>(*lab) : std::make_unique<TRecordStore>(path);
        TRecordStore &store = *opened;
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


private:
    QTemporaryDir FSettings;
};

QTEST_MAIN(TestHistory)
#include "tst_history.moc"
