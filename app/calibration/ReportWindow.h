// The "Calibration record" window: the card and its serial or asset
// number (typed), the date, when the card was checked as left, the DAC
// ranges, the operator and reference instruments
// (typed here; a pasted line break becomes a space and control characters
// are left out; kept for the session), the verdict, and the test points
// as a table, a row per point, with as found and as left side by side,
// each state in words and in colour; the record's notes and its decision
// rule wrapped beneath. It offers the check passes (as found before
// adjusting, as left after the last step) and keeps the record: Save as
// PDF…, Save as CSV… (both written atomically; a failure says why and
// leaves an old file as it was), Copy. It opens without taking the
// keyboard and lies wholly on the screen, frame included. Escape goes back
// to the main window and leaves the record open. Its parts bear their names ("OperatorEdit", "AsFoundButton",
// "Table" ...) for findChild.
#pragma once

#include "RecordModel.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStandardItemModel;
class QTableView;
struct TSaveResult;
class QPushButton;
class TKeptPlace;

class TReportWindow : public QDialog {
    Q_OBJECT

public:
    // Shows `record` and follows its changes.
    TReportWindow(QWidget *owner, TRecordModel &record);

    // Makes the window as large as fits between `preferred` and the far
    // corner of the screen's free area (at most its natural size, at least
    // a usable one) and places its frame where it covers none of
    // `mustClear` (screen rectangles the user must press or watch), with
    // its own title bar and buttons under none of `above` (windows that
    // stay above it), covering the least of `ratherClear` (what the user
    // would rather see), the nearest to `preferred` among equals. On a
    // screen too crowded for that it is made smaller, down to a cramped
    // least; where even that hides something, its buttons stay clear and
    // as much of its title bar as can be, to move it by.
    void PlaceClearOf(const QPoint &preferred, const QList<QRect> &mustClear, const QList<QRect> &ratherClear,
                      const QList<QRect> &above);
    // Which check passes can be started now.
    void OfferChecks(bool asFound, bool asLeft);
    // Shows a record kept from an earlier calibration: nothing typed
    // changes it and it offers no checks; it is saved and copied again.
    void ShowKept();
    QString Text() const;

    // What the save buttons do once a file name is chosen; false (with a
    // message box saying why) when the file could not be written.
    bool SavePdf(const QString &path);
    bool SaveCsv(const QString &path);

signals:
    void CheckRequested(TCheckKind kind);
    // The window took the keyboard (the window manager raises it then).
    void Activated();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // Shows the record as it is now.
    void Refresh();
    bool Saved(const QString &path, const TSaveResult &result);
    // Asks for the file to save `what` ("PDF") in, with `name` offered.
    QString AskSavePath(const QString &what, const QString &name);
    // Moves the window, frame included, onto the screen's free area.
    void HoldOnScreen();

    QLabel *FCardLabel;
    QLabel *FDateLabel;
    QLabel *FLeftLabel;
    QLabel *FRangesLabel;
    QLineEdit *FOperatorEdit;
    QLineEdit *FInstrumentsEdit;
    QLineEdit *FSerialEdit;
    QLabel *FVerdictLabel;
    QTableView *FTable;
    QStandardItemModel *FPoints;
    QLabel *FNotesLabel;
    QPlainTextEdit *FRuleText;
    QPushButton *FAsFoundButton;
    QPushButton *FAsLeftButton;
    QPushButton *FPdfButton;
    QPushButton *FCsvButton;
    QPushButton *FCopyButton;
    QPushButton *FCloseButton;
    TRecordModel &FModel;
    const TCalibrationRecord &FRecord;
    QPoint FPlace;               // where PlaceClearOf put the frame's corner
    TKeptPlace *FKept = nullptr; // keeps it there, once placed
};
