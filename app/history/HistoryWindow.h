// The "Calibration history" window: the cards kept in the history, each
// with its calibrations, its interval and when it is next due; a card's
// calibrations newest first (date, operator, verdict, due date); its drift
// chart and, per point, the change since the last calibration left it.
// A record opens read-only in the record window, where it is saved again
// as PDF or CSV. Its parts bear names ("CardsTable", "RecordsTable",
// "IntervalBox", "DriftChart", "DriftTable", "OpenButton") for findChild.
#pragma once

#include "Drift.h"

#include <QDialog>
#include <QWidget>

class QLabel;
class QSpinBox;
class QTableWidget;
class QPushButton;
class THistoryKeeper;

// The drift chart: PaintDrift over the widget.
class TDriftView : public QWidget {
public:
    using QWidget::QWidget;
    void SetDrift(TDrift drift);
    const TDrift &Drift() const { return FDrift; }

protected:
    void paintEvent(QPaintEvent *) override;

private:
    TDrift FDrift;
};

class THistoryWindow : public QDialog {
    Q_OBJECT

public:
    THistoryWindow(QWidget *owner, THistoryKeeper &history);

    // Reads the history again: the cards, and the chosen card's records.
    void Refresh();
    // Opens the chosen card's record at `row` read-only in a record window.
    QWidget *OpenRecord(int row);

private:
    void ShowCard();
    QString ChosenSerial() const;

    THistoryKeeper &FHistory;
    QLabel *FWhere;
    QTableWidget *FCards;
    QTableWidget *FRecords;
    QSpinBox *FInterval;
    TDriftView *FChart;
    QTableWidget *FDriftTable;
    QPushButton *FOpen;
    std::vector<QUuid> FShown; // the records in the table, by row
};
