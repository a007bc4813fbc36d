// The calibration history: every record, kept in a database, one row per
// calibration, saved again whole on every change; each card (by its serial
// or asset number) with its calibration interval. The same schema, with a
// version and forward migrations, lives in an embedded SQLite file or on a
// lab's PostgreSQL server. Each save is one transaction: a failed one
// leaves the last committed record as it was and says why.
#pragma once

#include "CalibrationRecord.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <optional>
#include <vector>

// Where a lab's shared store is, as libpq takes it: "service=lab" (an
// entry of the user's PostgreSQL service file) or "host=10.0.0.5 port=5432
// dbname=calibrations user=lab"; a password comes from ~/.pgpass or the
// service file, never from a record.
struct TServerSettings {
    QString conninfo;
    // The address without any password in it.
    QString Text() const;
};

// One calibration as the history lists it.
struct TRecordSummary {
    QUuid id;
    QString serial;
    QString model;
    QDateTime started;
    std::optional<QDateTime> checkedAsLeft;
    QString operatorName;
    TVerdict verdict = TVerdict::Incomplete;
};

// One card as the history lists it.
struct TCardSummary {
    QString serial;
    QString model;
    int intervalMonths = 12;
    // The last time it was checked as left, if ever.
    std::optional<QDateTime> lastCalibrated;
    int records = 0;
};

class TRecordStore {
public:
    // The schema this program writes; a store of a later one is opened
    // read-only.
    static constexpr int SchemaVersion = 1;
    static constexpr int DefaultIntervalMonths = 12;

    // The embedded store in the file `path`, its folder made when missing.
    // A file that is not a sound database is moved aside (the message
    // says where) and a new one started; one in a folder, or a file, the
    // user may not write is opened read-only and the message says so.
    explicit TRecordStore(const QString &path);
    // The shared store on a PostgreSQL server.
    explicit TRecordStore(const TServerSettings &server);
    ~TRecordStore();
    TRecordStore(const TRecordStore &) = delete;
    TRecordStore &operator=(const TRecordStore &) = delete;

    // Whether the store can be read; whether it takes records.
    bool Open() const { return FOpen; }
    bool ReadOnly() const { return FReadOnly; }
    // What the user should know of the store: why it could not be opened
    // or written, that it was damaged and where the old file is, or that a
    // newer Setup wrote it. Empty when all went well.
    QString Message() const { return FMessage; }
    // The embedded file, or the server's description.
    QString Where() const { return FWhere; }

    // Keeps `record` (a new one, or a new state of one kept before), in
    // one transaction; false, with Message() saying why, when it was not.
    bool Save(const TCalibrationRecord &record);
    // The cards with at least one record, by serial.
    std::vector<TCardSummary> Cards();
    std::optional<TCardSummary> Card(const QString &serial);
    // A card's calibrations, newest first.
    std::vector<TRecordSummary> Records(const QString &serial);
    std::optional<TCalibrationRecord> Load(const QUuid &id);
    // A card's records, oldest first, whole: what the drift is read from.
    std::vector<TCalibrationRecord> CardRecords(const QString &serial);
    bool SetInterval(const QString &serial, int months);
    // The records kept here for a server that could not be reached; sent,
    // a record is taken off.
    bool MarkUnsent(const QUuid &id, bool unsent);
    std::vector<QUuid> Unsent();
    // Whether the store holds the record `id`.
    bool Holds(const QUuid &id);

private:
    // Opens the embedded file; false when `damage` is asked for and the
    // file is no sound database (`damage` then says what is wrong).
    bool OpenFile(bool readOnly, QString *damage);
    // Reads the schema's version and migrates forward; opens read-only a
    // store of a later version.
    bool Prepare();
    int Version();
    bool Migrate(int from);
    // A statement and the values bound to it in order.
    using TStatement = std::pair<QString, QVariantList>;
    // Runs `statements` in one transaction: all, or none (false, with
    // Message() saying why the store could not be `what`).
    bool InTransaction(const QString &what, const std::vector<TStatement> &statements);
    bool Failed(const QString &what, const QString &why);
    QSqlDatabase Db() const;

    QString FConnection; // this store's Qt SQL connection name
    QString FPath;       // the embedded file; empty for a server
    QString FWhere;
    QString FMessage;
    bool FOpen = false;
    bool FReadOnly = false;
};

// The verdict named as VerdictName names it.
TVerdict VerdictNamed(const QString &name);
