#include "HistoryWindow.h"

#include "DueDates.h"
#include "HistoryKeeper.h"
#include "RecordModel.h"
#include "ReportWindow.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// A table of whole rows, one chosen at a time, under its label `label`
// (whose mnemonic goes to it), added to `layout`.
QTableWidget *AddTable(QVBoxLayout *layout, QWidget *owner, const char *name, const QString &label, const QString &accessible,
                       const QStringList &columns)
{
    auto *t = new QTableWidget(0, int(columns.size()), owner);
    t->setObjectName(QLatin1String(name));
    t->setAccessibleName(accessible);
    t->setHorizontalHeaderLabels(columns);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    // The columns share the width: every heading shows whole.
    t->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    auto *title = new QLabel(label, owner);
    title->setBuddy(t);
    layout->addWidget(title);
    layout->addWidget(t, 1);
    return t;
}

void SetRow(QTableWidget *t, int row, const QStringList &cells)
{
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString DateText(const std::optional<QDateTime> &time)
{
    return time ? time->toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("not checked as left");
}

QString CountsText(const std::optional<double> &counts)
{
    return counts ? QString::number(*counts, 'f', 2) : QStringLiteral("–");
}

} // namespace

void TDriftView::SetDrift(TDrift drift)
{
    FDrift = std::move(drift);
    update();
}

void TDriftView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    PaintDrift(painter, rect(), FDrift);
}

THistoryWindow::THistoryWindow(QWidget *owner, THistoryKeeper &history) : QDialog(owner), FHistory(history)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(QStringLiteral("Calibration history"));
    // Above the help and support windows, which stay on top as well.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    auto *layout = new QVBoxLayout(this);
    FWhere = new QLabel(this);
    FWhere->setObjectName(QStringLiteral("WhereLabel"));
    FWhere->setWordWrap(true);
    layout->addWidget(FWhere);
    FCards = AddTable(layout, this, "CardsTable", QStringLiteral("&Cards:"), QStringLiteral("Cards"),
                      {QStringLiteral("Serial or asset number"), QStringLiteral("Card"), QStringLiteral("Calibrations"),
                       QStringLiteral("Last calibrated"), QStringLiteral("Next due")});
    auto *form = new QFormLayout;
    FInterval = new QSpinBox(this);
    FInterval->setObjectName(QStringLiteral("IntervalBox"));
    FInterval->setRange(1, 120);
    FInterval->setSuffix(QStringLiteral(" months"));
    form->addRow(QStringLiteral("Calibration &interval:"), FInterval);
    layout->addLayout(form);
    FRecords = AddTable(layout, this, "RecordsTable", QStringLiteral("Cali&brations, newest first:"), QStringLiteral("Calibrations"),
                        {QStringLiteral("Date"), QStringLiteral("Operator"), QStringLiteral("Verdict"), QStringLiteral("Checked as left")});
    FChart = new TDriftView(this);
    FChart->setObjectName(QStringLiteral("DriftChart"));
    FChart->setAccessibleName(QStringLiteral("Drift chart: each point's error as found, as a share of its tolerance"));
    FChart->setMinimumHeight(120);
    layout->addWidget(new QLabel(QStringLiteral("Errors as found, against the tolerance band:"), this));
    layout->addWidget(FChart, 1);
    FDriftTable = AddTable(layout, this, "DriftTable", QStringLiteral("&Drift since the last calibration:"),
                           QStringLiteral("Drift since the last calibration"),
                           {QStringLiteral("Point"), QStringLiteral("Tolerance"), QStringLiteral("As found (counts)"),
                            QStringLiteral("Left last time (counts)"), QStringLiteral("Drift (counts)")});
    auto *buttons = new QHBoxLayout;
    FOpen = new QPushButton(QStringLiteral("&Open record…"), this);
    FOpen->setObjectName(QStringLiteral("OpenButton"));
    auto *close = new QPushButton(QStringLiteral("Clo&se"), this);
    close->setObjectName(QStringLiteral("CloseButton"));
    buttons->addStretch();
    buttons->addWidget(FOpen);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    // As large as suits the tables, on a small screen no larger than its
    // free area less a title bar and borders.
    const QScreen *screen = QGuiApplication::primaryScreen();
    resize(screen ? QSize(720, 640).boundedTo(screen->availableGeometry().size() - QSize(16, 48)) : QSize(720, 640));

    connect(FCards, &QTableWidget::itemSelectionChanged, this, &THistoryWindow::ShowCard);
    connect(FInterval, &QSpinBox::valueChanged, this, [this](int months) {
        const QString serial = ChosenSerial();
        if (FCards->currentRow() < 0 || !FHistory.Store().SetInterval(serial, months))
            return;
        const int row = FCards->currentRow();
        Refresh();
        FCards->selectRow(row);
    });
    connect(FOpen, &QPushButton::clicked, this, [this] { OpenRecord(FRecords->currentRow()); });
    // Return anywhere in the window opens the chosen record through the
    // default button; a double click opens the one clicked. (A table's
    // activation would open it a second time on Return.)
    FOpen->setDefault(true);
    connect(FRecords, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { OpenRecord(row); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    Refresh();
}

void THistoryWindow::Refresh()
{
    TRecordStore &store = FHistory.Store();
    FWhere->setText(store.Message().isEmpty() ? QStringLiteral("Kept in %1").arg(store.Where()) : store.Message());
    const QString chosen = ChosenSerial();
    const auto cards = store.Cards();
    const QSignalBlocker quiet(FCards);
    FCards->setRowCount(int(cards.size()));
    int row = cards.empty() ? -1 : 0;
    for (size_t k = 0; k < cards.size(); ++k) {
        const TCardSummary &c = cards[k];
        SetRow(FCards, int(k),
               {c.serial.isEmpty() ? QStringLiteral("(none given)") : c.serial, c.model, QString::number(c.records),
                c.lastCalibrated ? c.lastCalibrated->toString(QStringLiteral("yyyy-MM-dd")) : QStringLiteral("never"),
                DueText(DueOf(c.lastCalibrated, c.intervalMonths, QDate::currentDate()))});
        FCards->item(int(k), 0)->setData(Qt::UserRole, c.serial);
        if (c.serial == chosen)
            row = int(k);
    }
    FCards->selectRow(row);
    ShowCard();
}

QString THistoryWindow::ChosenSerial() const
{
    const int row = FCards->currentRow();
    return row >= 0 && FCards->item(row, 0) ? FCards->item(row, 0)->data(Qt::UserRole).toString() : QString();
}

void THistoryWindow::ShowCard()
{
    TRecordStore &store = FHistory.Store();
    const QString serial = ChosenSerial();
    const bool any = FCards->currentRow() >= 0;
    const auto records = any ? store.Records(serial) : std::vector<TRecordSummary>();
    FRecords->setRowCount(int(records.size()));
    FShown.clear();
    for (size_t k = 0; k < records.size(); ++k) {
        const TRecordSummary &r = records[k];
        SetRow(FRecords, int(k),
               {r.started.toString(QStringLiteral("yyyy-MM-dd HH:mm")), r.operatorName, VerdictName(r.verdict), DateText(r.checkedAsLeft)});
        FShown.push_back(r.id);
    }
    if (!records.empty())
        FRecords->selectRow(0);
    FOpen->setEnabled(!records.empty());
    {
        const QSignalBlocker quiet(FInterval);
        const std::optional<TCardSummary> card = any ? store.Card(serial) : std::nullopt;
        FInterval->setValue(card ? card->intervalMonths : TRecordStore::DefaultIntervalMonths);
        FInterval->setEnabled(card && !store.ReadOnly());
    }
    const TDrift drift = DriftOf(any ? store.CardRecords(serial) : std::vector<TCalibrationRecord>());
    FDriftTable->setRowCount(int(drift.points.size()));
    for (size_t p = 0; p < drift.points.size(); ++p) {
        const TDriftPoint &d = drift.points[p];
        const size_t n = d.found.size();
        SetRow(FDriftTable, int(p),
               {d.name, d.tolerance, CountsText(n ? d.found[n - 1] : std::nullopt), CountsText(n > 1 ? d.left[n - 2] : std::nullopt),
                CountsText(d.Drift())});
        FDriftTable->item(int(p), 0)->setForeground(DriftColour(int(p)));
    }
    FChart->SetDrift(drift);
}

QWidget *THistoryWindow::OpenRecord(int row)
{
    if (row < 0 || size_t(row) >= FShown.size())
        return nullptr;
    const std::optional<TCalibrationRecord> record = FHistory.Store().Load(FShown[size_t(row)]);
    if (!record)
        return nullptr;
    auto *model = new TRecordModel(this);
    model->Show(*record);
    auto *window = new TReportWindow(this, *model);
    model->setParent(window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->ShowKept();
    window->setWindowTitle(QStringLiteral("Calibration record of %1").arg(record->Started().toString(QStringLiteral("yyyy-MM-dd"))));
    // Opened by the user, it takes the keys (the wizard's record does not).
    window->setAttribute(Qt::WA_ShowWithoutActivating, false);
    window->show();
    window->activateWindow();
    return window;
}
