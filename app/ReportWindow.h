// The "Calibration report" window opened at the wizard's last step: the
// as-left record as a table, with Save as PDF…, Save as CSV…, Copy and
// Close. Nothing is written unless the user saves.
#pragma once

#include "CalibrationRecord.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TReportWindow : public QDialog {
    Q_OBJECT

public:
    explicit TReportWindow(QWidget *owner);

    // Shows the record under `header`.
    void Show(const TReportHeader &header, const std::array<TAsLeft, 8> &rows);
    QString Text() const;

    // What the buttons do once a file name is chosen; false (with a
    // message box) when the file cannot be written.
    bool SavePdf(const QString &path);
    bool SaveCsv(const QString &path);

    QPlainTextEdit *Table = nullptr;
    QPushButton *PdfButton = nullptr;
    QPushButton *CsvButton = nullptr;
    QPushButton *CopyButton = nullptr;
    QPushButton *CloseButton = nullptr;

private:
    bool Saved(bool written, const QString &path);

    TReportHeader FHeader;
    std::array<TAsLeft, 8> FRows{};
};
