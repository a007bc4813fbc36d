#include "RecordStore.h"

#include "RecordJson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

namespace {

// Each migration takes the schema from its index to the next version; the
// statements hold on SQLite and PostgreSQL alike.
const std::vector<std::vector<const char *>> Migrations{
    {"CREATE TABLE schema_version (version INTEGER NOT NULL)",
     "INSERT INTO schema_version (version) VALUES (0)",
     "CREATE TABLE cards (serial TEXT PRIMARY KEY, interval_months INTEGER NOT NULL)",
     "CREATE TABLE records (id TEXT PRIMARY KEY, serial TEXT NOT NULL, model TEXT NOT NULL, "
     "base INTEGER NOT NULL, started TEXT NOT NULL, checked_as_left TEXT, operator TEXT NOT NULL, "
     "verdict TEXT NOT NULL, body TEXT NOT NULL)",
     "CREATE INDEX records_by_card ON records (serial, started)",
     // Records an embedded store keeps for a lab's server it could not reach.
     "CREATE TABLE unsent (id TEXT PRIMARY KEY)"},
};
static_assert(TRecordStore::SchemaVersion == 1, "one migration per version");

// Times kept in UTC, as text that sorts as the times do.
QString Stored(const QDateTime &time)
{
    return time.toUTC().toString(Qt::ISODateWithMs);
}

std::optional<QDateTime> StoredTime(const QVariant &v)
{
    if (v.isNull() || v.toString().isEmpty())
        return std::nullopt;
    return QDateTime::fromString(v.toString(), Qt::ISODateWithMs).toLocalTime();
}

QString NewConnectionName()
{
    return QStringLiteral("history-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Runs `sql` with `values` bound in order; the query, run or not.
QSqlQuery Run(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    // PostgreSQL prepares no schema statements: those run as they stand.
    if (values.isEmpty()) {
        q.exec(sql);
        return q;
    }
    if (!q.prepare(sql))
        return q;
    for (const QVariant &v : values)
        q.addBindValue(v);
    q.exec();
    return q;
}

// A text as bound: empty, never NULL.
QVariant Text(const QString &text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

bool Ran(const QSqlQuery &q)
{
    return !q.lastError().isValid();
}

// The file kept aside in place of a damaged one: "history.db.damaged-20261210-171500".
QString AsideName(const QString &path)
{
    QString aside = path + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int k = 2; QFileInfo::exists(aside); ++k)
        aside = path + QStringLiteral(".damaged-%1-%2").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))).arg(k);
    return aside;
}

} // namespace

QString TServerSettings::Text() const
{
    QStringList shown;
    for (const QString &part : conninfo.split(QRegularExpression(QStringLiteral("[\\s;]+")), Qt::SkipEmptyParts))
        if (!part.startsWith(QLatin1String("password"), Qt::CaseInsensitive))
            shown << part;
    return QStringLiteral("PostgreSQL (%1)").arg(shown.join(u' '));
}

TVerdict VerdictNamed(const QString &name)
{
    for (TVerdict v : {TVerdict::Pass, TVerdict::Fail})
        if (VerdictName(v) == name)
            return v;
    return TVerdict::Incomplete;
}

TRecordStore::TRecordStore(const QString &path)
    : FConnection(NewConnectionName()), FPath(path), FWhere(QDir::toNativeSeparators(path))
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        FMessage = QStringLiteral("The calibration history cannot be kept: the folder %1 cannot be made.")
                       .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath()));
        return;
    }
    // A history this user may not change is shown as it stands, never
    // taken for a damaged one.
    const QFileInfo file(path), folder(file.absolutePath());
    if (!folder.isWritable() || (file.exists() && !file.isWritable())) {
        if (file.exists())
            OpenFile(true, nullptr);
        FMessage = QStringLiteral("The calibration history %1 cannot be written: %2 is read-only. No record is kept in it.")
                       .arg(FWhere, folder.isWritable() ? QStringLiteral("the file")
                                                        : QStringLiteral("the folder ") + QDir::toNativeSeparators(folder.filePath()));
        FReadOnly = true;
        return;
    }
    QString why;
    if (!OpenFile(false, &why)) {
        // A file that is no sound database is kept aside for the user, and
        // the history starts anew.
        const QString aside = AsideName(path);
        bool moved = QFile::rename(path, aside);
        for (const char *suffix : {"-wal", "-shm"})
            if (QFileInfo::exists(path + QLatin1String(suffix)))
                moved = QFile::rename(path + QLatin1String(suffix), aside + QLatin1String(suffix)) && moved;
        if (!moved) {
            FMessage = QStringLiteral("The calibration history %1 is damaged (%2) and cannot be moved aside.").arg(FWhere, why);
            return;
        }
        OpenFile(false, &why);
        const QString damaged = QStringLiteral("The calibration history %1 was damaged (%2). It was kept as %3 and a new history begun.")
                                    .arg(FWhere, why, QDir::toNativeSeparators(aside));
        FMessage = FMessage.isEmpty() ? damaged : damaged + QLatin1Char(' ') + FMessage;
    }
    if (FOpen)
        Prepare();
}

TRecordStore::TRecordStore(const TServerSettings &server)
    : FConnection(NewConnectionName()), FWhere(server.Text())
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), FConnection);
    db.setConnectOptions(server.conninfo.simplified() + QStringLiteral(" connect_timeout=5"));
    FOpen = db.open();
    if (!FOpen) {
        FMessage = QStringLiteral("The lab's calibration history (%1) cannot be reached: %2").arg(FWhere, db.lastError().text().trimmed());
        return;
    }
    Prepare();
}

TRecordStore::~TRecordStore()
{
    Db().close();
    QSqlDatabase::removeDatabase(FConnection);
}

QSqlDatabase TRecordStore::Db() const
{
    return QSqlDatabase::database(FConnection, false);
}

bool TRecordStore::OpenFile(bool readOnly, QString *damage)
{
    if (QSqlDatabase::contains(FConnection)) {
        Db().close();
        QSqlDatabase::removeDatabase(FConnection);
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), FConnection);
    db.setDatabaseName(FPath);
    db.setConnectOptions(readOnly ? QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000")
                                  : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (readOnly && !QFileInfo(QFileInfo(FPath).absolutePath()).isWritable()) {
        // SQLite cannot make the shared log beside a file in a folder it
        // may not write: nothing changes the file there, so it is read as
        // it stands.
        db.setDatabaseName(QUrl::fromLocalFile(FPath).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    }
    FReadOnly = readOnly;
    FOpen = db.open();
    if (!FOpen) {
        FMessage = QStringLiteral("The calibration history %1 cannot be opened: %2").arg(FWhere, db.lastError().text());
        return true;
    }
    if (damage) {
        QSqlQuery check = Run(db, QStringLiteral("PRAGMA quick_check"));
        const bool sound = Ran(check) && check.next() && check.value(0).toString() == QLatin1String("ok");
        if (!sound) {
            *damage = Ran(check) ? check.value(0).toString() : check.lastError().databaseText();
            check = QSqlQuery();
            db.close();
            FOpen = false;
            return false;
        }
    }
    if (!readOnly) {
        // Write-ahead logging: a reader never waits, and a save that never
        // finished leaves the last one whole.
        QSqlQuery wal = Run(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        if (!Ran(wal) || !wal.next() || wal.value(0).toString() != QLatin1String("wal")) {
            const QString why = Ran(wal) ? QStringLiteral("write-ahead logging refused") : wal.lastError().text();
            FOpen = false;
            FMessage = QStringLiteral("The calibration history %1 cannot be written: %2").arg(FWhere, why);
            return true;
        }
        Run(db, QStringLiteral("PRAGMA synchronous=FULL"));
    }
    return true;
}

int TRecordStore::Version()
{
    QSqlQuery q = Run(Db(), QStringLiteral("SELECT version FROM schema_version"));
    return Ran(q) && q.next() ? q.value(0).toInt() : 0;
}

bool TRecordStore::Prepare()
{
    const bool known = Db().tables().contains(QStringLiteral("schema_version"));
    const int version = known ? Version() : 0;
    if (version > SchemaVersion) {
        if (!FPath.isEmpty())
            OpenFile(true, nullptr);
        FReadOnly = true;
        FMessage = QStringLiteral("The calibration history %1 was written by a newer Setup (schema %2). It is shown read-only: "
                                  "no record is kept in it.")
                       .arg(FWhere)
                       .arg(version);
        return FOpen;
    }
    if (version < SchemaVersion && !Migrate(version)) {
        // Another Setup may have migrated it meanwhile.
        if (Db().tables().contains(QStringLiteral("schema_version")) && Version() == SchemaVersion) {
            FMessage.clear();
            return true;
        }
        FOpen = false;
        return false;
    }
    return true;
}

bool TRecordStore::Migrate(int from)
{
    std::vector<TStatement> statements;
    for (int v = from; v < SchemaVersion; ++v)
        for (const char *sql : Migrations[size_t(v)])
            statements.push_back({QString::fromLatin1(sql), {}});
    statements.push_back({QStringLiteral("UPDATE schema_version SET version = ?"), {SchemaVersion}});
    return InTransaction(QStringLiteral("prepared"), statements);
}

bool TRecordStore::InTransaction(const QString &what, const std::vector<TStatement> &statements)
{
    QSqlDatabase db = Db();
    if (!db.transaction())
        return Failed(what, db.lastError().text());
    for (const auto &[sql, bound] : statements)
        if (QSqlQuery q = Run(db, sql, bound); !Ran(q)) {
            const QString why = q.lastError().text();
            db.rollback();
            return Failed(what, why);
        }
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        return Failed(what, why);
    }
    return true;
}

bool TRecordStore::Failed(const QString &what, const QString &why)
{
    FMessage = QStringLiteral("The calibration history %1 could not be %2: %3").arg(FWhere, what, why.trimmed());
    return false;
}

bool TRecordStore::Save(const TCalibrationRecord &record)
{
    if (!FOpen || FReadOnly) {
        // What made it read-only says why, when it was said.
        if (FReadOnly && FMessage.isEmpty())
            FMessage = QStringLiteral("The calibration history %1 is read-only: the record was not kept in it.").arg(FWhere);
        return false;
    }
    const QString id = record.Id().toString(QUuid::WithoutBraces);
    const std::optional<QDateTime> &left = record.CheckedAsLeft();
    const QVariantList values{id,
                              Text(record.Serial()),
                              Text(record.Card().model),
                              int(record.Card().base),
                              Stored(record.Started()),
                              left ? QVariant(Stored(*left)) : QVariant(QMetaType(QMetaType::QString)),
                              Text(record.Operator()),
                              VerdictName(record.Verdict()),
                              QString::fromUtf8(RecordJson(record))};
    const bool saved = InTransaction(
        QStringLiteral("written"),
        {{QStringLiteral("INSERT INTO cards (serial, interval_months) VALUES (?, ?) ON CONFLICT (serial) DO NOTHING"),
          {Text(record.Serial()), DefaultIntervalMonths}},
         {QStringLiteral("INSERT INTO records (id, serial, model, base, started, checked_as_left, operator, verdict, body) "
                         "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (id) DO UPDATE SET "
                         "serial = excluded.serial, model = excluded.model, base = excluded.base, "
                         "started = excluded.started, checked_as_left = excluded.checked_as_left, "
                         "operator = excluded.operator, verdict = excluded.verdict, body = excluded.body"),
          values}});
    if (saved)
        FMessage.clear();
    return saved;
}

std::vector<TCardSummary> TRecordStore::Cards()
{
    std::vector<TCardSummary> cards;
    QSqlQuery q = Run(Db(), QStringLiteral("SELECT r.serial, MAX(r.model), MAX(c.interval_months), MAX(r.checked_as_left), COUNT(*) "
                                           "FROM records r LEFT JOIN cards c ON c.serial = r.serial "
                                           "GROUP BY r.serial ORDER BY r.serial"));
    while (q.next())
        cards.push_back({q.value(0).toString(), q.value(1).toString(),
                         q.value(2).isNull() ? DefaultIntervalMonths : q.value(2).toInt(), StoredTime(q.value(3)), q.value(4).toInt()});
    return cards;
}

std::optional<TCardSummary> TRecordStore::Card(const QString &serial)
{
    for (TCardSummary &c : Cards())
        if (c.serial == serial)
            return c;
    return std::nullopt;
}

std::vector<TRecordSummary> TRecordStore::Records(const QString &serial)
{
    std::vector<TRecordSummary> records;
    QSqlQuery q = Run(Db(), QStringLiteral("SELECT id, serial, model, started, checked_as_left, operator, verdict FROM records "
                                           "WHERE serial = ? ORDER BY started DESC, id"),
                      {Text(serial)});
    while (q.next())
        records.push_back({QUuid::fromString(q.value(0).toString()), q.value(1).toString(), q.value(2).toString(),
                           StoredTime(q.value(3)).value_or(QDateTime()), StoredTime(q.value(4)), q.value(5).toString(),
                           VerdictNamed(q.value(6).toString())});
    return records;
}

std::optional<TCalibrationRecord> TRecordStore::Load(const QUuid &id)
{
    QSqlQuery q = Run(Db(), QStringLiteral("SELECT body FROM records WHERE id = ?"), {id.toString(QUuid::WithoutBraces)});
    if (!q.next())
        return std::nullopt;
    return RecordFromJson(q.value(0).toString().toUtf8());
}

std::vector<TCalibrationRecord> TRecordStore::CardRecords(const QString &serial)
{
    std::vector<TCalibrationRecord> records;
    QSqlQuery q = Run(Db(), QStringLiteral("SELECT body FROM records WHERE serial = ? ORDER BY started, id"), {Text(serial)});
    while (q.next())
        if (auto r = RecordFromJson(q.value(0).toString().toUtf8()))
            records.push_back(std::move(*r));
    return records;
}

bool TRecordStore::SetInterval(const QString &serial, int months)
{
    if (!FOpen || FReadOnly)
        return false;
    QSqlQuery q = Run(Db(), QStringLiteral("INSERT INTO cards (serial, interval_months) VALUES (?, ?) "
                                           "ON CONFLICT (serial) DO UPDATE SET interval_months = excluded.interval_months"),
                      {Text(serial), months});
    return Ran(q) || Failed(QStringLiteral("written"), q.lastError().text());
}

bool TRecordStore::MarkUnsent(const QUuid &id, bool unsent)
{
    if (!FOpen || FReadOnly)
        return false;
    QSqlQuery q = Run(Db(), unsent ? QStringLiteral("INSERT INTO unsent (id) VALUES (?) ON CONFLICT (id) DO NOTHING")
                                   : QStringLiteral("DELETE FROM unsent WHERE id = ?"),
                      {id.toString(QUuid::WithoutBraces)});
    return Ran(q) || Failed(QStringLiteral("written"), q.lastError().text());
}

std::vector<QUuid> TRecordStore::Unsent()
{
    std::vector<QUuid> ids;
    QSqlQuery q = Run(Db(), QStringLiteral("SELECT id FROM unsent ORDER BY id"));
    while (q.next())
        ids.push_back(QUuid::fromString(q.value(0).toString()));
    return ids;
}

bool TRecordStore::Holds(const QUuid &id)
{
    QSqlQuery q = Run(Db(), QStringLiteral("SELECT 1 FROM records WHERE id = ?"), {id.toString(QUuid::WithoutBraces)});
    return q.next();
}
