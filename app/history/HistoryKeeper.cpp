#include "HistoryKeeper.h"

#include "CardIO.h"
#include "CsvImport.h"

#include <QFile>
#include <QFileInfo>

#include <QSettings>
#include <QStandardPaths>

namespace {

constexpr int GatherMs = 400;

// What Setup remembers between runs, in the user's configuration folder.
std::unique_ptr<QSettings> Memory()
{
    return std::make_unique<QSettings>(QStringLiteral("rz4070-setup"), QStringLiteral("history"));
}

QString CardKey(const TCardId &card)
{
    return QStringLiteral("Cards/%1-%2/Serial").arg(card.model, CardIO::FormatAddress(card.base));
}

} // namespace

THistoryKeeper::THistoryKeeper(TRecordModel &record, const QString &file, const std::optional<TServerSettings> &server,
                               QObject *parent, int retryMs)
    : QObject(parent), FRecord(record), FFile(file), FServerSettings(server), FRetryMs(retryMs)
{
    FSendLater.setInterval(std::max(retryMs, 1000));
    connect(&FSendLater, &QTimer::timeout, this, [this] {
        if (Server())
            SendUnsent();
    });
    FSoon.setSingleShot(true);
    FSoon.setInterval(GatherMs);
    connect(&FSoon, &QTimer::timeout, this, &THistoryKeeper::Save);
    connect(&FRecord, &TRecordModel::Changed, this, &THistoryKeeper::Changed);
}

THistoryKeeper::~THistoryKeeper()
{
    Flush();
}

QString THistoryKeeper::DefaultFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/history.db");
}

std::optional<TServerSettings> THistoryKeeper::ConfiguredServer(const QStringList &arguments)
{
    const QString option = QStringLiteral("--history-server");
    for (qsizetype k = 1; k < arguments.size(); ++k) {
        if (arguments[k].startsWith(option + QLatin1Char('=')))
            return TServerSettings{arguments[k].mid(option.size() + 1)};
        if (arguments[k] == option && k + 1 < arguments.size())
            return TServerSettings{arguments[k + 1]};
    }
    const QString set = Memory()->value(QStringLiteral("History/Server")).toString();
    return set.isEmpty() ? std::nullopt : std::optional<TServerSettings>(TServerSettings{set});
}

QString THistoryKeeper::SerialOf(const TCardId &card)
{
    return Memory()->value(CardKey(card)).toString();
}

void THistoryKeeper::Changed()
{
    const TCalibrationRecord &r = FRecord.Record();
    if (r.Id() != FSeen) {
        FSeen = r.Id();
        // A new calibration: what the user gave last time, where nothing
        // is given yet.
        const auto settings = Memory();
        if (r.Serial().isEmpty() && !r.Card().model.isEmpty())
            if (const QString serial = SerialOf(r.Card()); !serial.isEmpty())
                FRecord.SetSerial(serial);
        if (r.Operator().isEmpty())
            if (const QString name = settings->value(QStringLiteral("Record/Operator")).toString(); !name.isEmpty())
                FRecord.SetOperator(name);
        if (r.Instruments().isEmpty())
            if (const QString instruments = settings->value(QStringLiteral("Record/Instruments")).toString(); !instruments.isEmpty())
                FRecord.SetInstruments(instruments);
        return;
    }
    if (r.CheckedAsLeft())
        FSoon.start();
}

void THistoryKeeper::Flush()
{
    if (FSoon.isActive()) {
        FSoon.stop();
        Save();
    }
}

void THistoryKeeper::Save()
{
    const TCalibrationRecord &r = FRecord.Record();
    const auto settings = Memory();
    if (!r.Card().model.isEmpty() && !r.Serial().isEmpty())
        settings->setValue(CardKey(r.Card()), r.Serial());
    settings->setValue(QStringLiteral("Record/Operator"), r.Operator());
    settings->setValue(QStringLiteral("Record/Instruments"), r.Instruments());
    if (FServerSettings) {
        if (TRecordStore *server = Server(); server && server->Save(r)) {
            SendUnsent();
            return;
        }
        if (Local().Save(r) && Local().MarkUnsent(r.Id(), true)) {
            FSendLater.start();
            Tell(QStringLiteral("%1 The record was kept on this computer and will be sent when the server can be reached.")
                     .arg(FServer ? FServer->Message() : QString()).trimmed());
            return;
        }
    } else if (Local().Save(r)) {
        return;
    }
    Tell(Local().Message());
}

TRecordStore &THistoryKeeper::Local()
{
    if (!FLocal) {
        FLocal = std::make_unique<TRecordStore>(FFile);
        if (!FLocal->Message().isEmpty())
            Tell(FLocal->Message());
    }
    return *FLocal;
}

TRecordStore *THistoryKeeper::Server()
{
    if (!FServerSettings)
        return nullptr;
    if (FServer && FServer->Open() && FServer->Message().isEmpty())
        return FServer.get();
    if (FServer && !FRetryServer.hasExpired())
        return nullptr;
    FServer = std::make_unique<TRecordStore>(*FServerSettings);
    FRetryServer.setRemainingTime(FRetryMs);
    return FServer->Open() && !FServer->ReadOnly() ? FServer.get() : nullptr;
}

void THistoryKeeper::SendUnsent()
{
    TRecordStore *server = FServer.get();
    int sent = 0;
    for (const QUuid &id : Local().Unsent()) {
        const std::optional<TCalibrationRecord> r = Local().Load(id);
        if (r && !server->Save(*r))
            return;
        Local().MarkUnsent(id, false);
        ++sent;
    }
    FSendLater.stop();
    if (sent > 0)
        Tell(QStringLiteral("%1 calibration record(s) kept on this computer were sent to %2.").arg(sent).arg(server->Where()));
}

TRecordStore &THistoryKeeper::Store()
{
    if (TRecordStore *server = Server()) {
        SendUnsent();
        return *server;
    }
    return Local();
}

void THistoryKeeper::Tell(const QString &text)
{
    // The same trouble is told once, not at every keystroke.
    if (text.isEmpty() || text == FLastMessage)
        return;
    FLastMessage = text;
    emit Message(text);
}

QString THistoryKeeper::Import(const QStringList &files)
{
    TRecordStore &store = Store();
    QStringList said;
    int imported = 0;
    for (const QString &path : files) {
        const QString name = QFileInfo(path).fileName();
        QFile file(path);
        QString why;
        if (!file.open(QIODevice::ReadOnly)) {
            said << QStringLiteral("%1 was not imported: %2.").arg(name, file.errorString());
            continue;
        }
        const std::optional<TCalibrationRecord> r = RecordFromCsv(file.read(1 << 24), &why);
        if (!r) {
            said << QStringLiteral("%1 was not imported: %2.").arg(name, why);
            continue;
        }
        const auto same = store.Records(r->Serial());
        if (store.Holds(r->Id()) || std::any_of(same.begin(), same.end(), [&](const TRecordSummary &s) { return s.started == r->Started(); })) {
            said << QStringLiteral("%1 is in the history already.").arg(name);
            continue;
        }
        if (!store.Save(*r)) {
            said << QStringLiteral("%1 was not imported: %2").arg(name, store.Message());
            continue;
        }
        ++imported;
    }
    said.prepend(QStringLiteral("%1 of %2 record(s) imported.").arg(imported).arg(files.size()));
    return said.join(u'\n');
}
