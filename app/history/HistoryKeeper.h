// Keeps the calibration being made in the history: once it has been
// checked as left, and again after every later change (gathered for a
// moment, and at once when asked). A new record starts with the serial
// number last given for its card (by model and base address: the
// port-I/O library names no PCI location) and the operator and reference
// instruments of the last record. With a lab's server set, records go
// there; when it cannot be reached they are kept in the embedded store and
// sent, each once, when it can be.
#pragma once

#include "RecordModel.h"
#include "RecordStore.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>
#include <memory>

class THistoryKeeper : public QObject {
    Q_OBJECT

public:
    // `file`: the embedded store; `server`: a lab's, or none, tried again
    // `retryMs` after it could not be reached.
    THistoryKeeper(TRecordModel &record, const QString &file, const std::optional<TServerSettings> &server,
                   QObject *parent = nullptr, int retryMs = 30000);
    ~THistoryKeeper() override;

    // The store the history window shows: the lab's when it is set and
    // reached, else the embedded one. Opened on first use.
    TRecordStore &Store();
    // Saves the record now if a change waits.
    void Flush();
    // Imports records Setup saved as CSV into the store, each once; what
    // became of each file, for the user.
    QString Import(const QStringList &files);
    // The serial number last given for `card`.
    static QString SerialOf(const TCardId &card);

    // The lab's server: the command line's --history-server=CONNINFO, else
    // the setting History/Server; none when neither is given.
    static std::optional<TServerSettings> ConfiguredServer(const QStringList &arguments);
    // The embedded store's file in the user's data folder.
    static QString DefaultFile();

signals:
    // Something the user should know: a save that failed and why, a
    // damaged file kept aside, records kept for the server or sent to it.
    void Message(const QString &text);

private:
    void Changed();
    void Save();
    TRecordStore &Local();
    // The lab's store, reached again at most every half minute; null when
    // none is set or it cannot be reached.
    TRecordStore *Server();
    void SendUnsent();
    void Tell(const QString &text);

    TRecordModel &FRecord;
    QString FFile;
    std::optional<TServerSettings> FServerSettings;
    std::unique_ptr<TRecordStore> FLocal, FServer;
    int FRetryMs;
    QDeadlineTimer FRetryServer;
    QTimer FSendLater; // sends what waits for the server
    QTimer FSoon;
    QUuid FSeen; // the record the memory was applied to
    QString FLastMessage;
};
