// The record of a calibration, as a lab files and signs it: the card and
// the conditions, and for each test point the card as found (before any
// adjustment) and as left (checked after the last step), each the mean of
// at least a second of readings with their spread. A point whose pot was
// adjusted after its as-left check must be checked again. The report made
// of it: a table for the screen, CSV and an A4 PDF.
#pragma once

#include "CalibrationSteps.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>
#include <vector>

// One point measured with no adjustment: the mean of the readings taken
// over at least a second, and their spread.
struct TMeasurement {
    double volts = 0;  // mean
    double counts = 0; // mean
    int spread = 0;    // largest minus smallest reading, in counts
    int readings = 0;
};

enum class TCheckKind { AsFound, AsLeft };

// What the record says of a point's as-left value.
enum class TPointState { NotMeasured, Within, Outside, CheckAgain };

struct TPointRecord {
    TTestPoint point; // as of its latest measurement (the DAC ranges may change)
    std::optional<TMeasurement> asFound, asLeft;
    bool checkAgain = false; // its pot was adjusted after its as-left check
    TPointState State() const;
};

enum class TVerdict { Pass, Fail, Incomplete };

// The card a calibration drives.
struct TCardId {
    QString model;     // "PCI-RZ4070"
    uint16_t base = 0; // its I/O base address
};

// "PCI-RZ4070 at base address E800".
QString CardText(const TCardId &card);

class TCalibrationRecord {
public:
    TCalibrationRecord() { Begin({}, {0, 0}); }
    // A new calibration of `card` with these DAC ranges, started now:
    // nothing measured.
    void Begin(const TCardId &card, const std::array<uint8_t, 2> &ranges);
    // A point measured by a check pass of `kind`, with the ranges then in
    // effect.
    void Measured(TCheckKind kind, const TTestPoint &point, const TMeasurement &m,
                  const std::array<uint8_t, 2> &ranges);
    // The DAC ranges in effect now: the header and every point not
    // measured yet follow them. Whether they changed.
    bool RangesInEffect(const std::array<uint8_t, 2> &ranges);
    // An adjustment step of `pot` ran: its points' as-left values are
    // stale. Whether a point became so.
    bool PotAdjusted(int pot);

    const std::vector<TPointRecord> &Points() const { return FPoints; }
    // Pass only when every point was checked as left, within its tolerance.
    TVerdict Verdict() const;
    const TCardId &Card() const { return FCard; }
    const QDateTime &Started() const { return FStarted; }
    const std::array<uint8_t, 2> &Ranges() const { return FRanges; }

    // Typed by the user; kept for the session.
    void SetOperator(const QString &name) { FOperator = name; }
    void SetInstruments(const QString &instruments) { FInstruments = instruments; }
    const QString &Operator() const { return FOperator; }
    const QString &Instruments() const { return FInstruments; }

private:
    QString FOperator;
    QString FInstruments;
    TCardId FCard;
    QDateTime FStarted;
    std::array<uint8_t, 2> FRanges{};
    std::vector<TPointRecord> FPoints;
};

// The range's name, as the DAC lists show it.
QString RangeName(uint8_t range);
// Both DACs' ranges: "DAC 0 ±5V, DAC 1 0-10V".
QString RangesText(const std::array<uint8_t, 2> &ranges);
// When the record was started, in ISO 8601 with the offset from UTC.
QString StartedText(const TCalibrationRecord &record);
QString VerdictName(TVerdict verdict);
QString StateName(TPointState state);

// The report on screen and on the clipboard, in the user's numbers (as the
// readout shows them).
QString ReportText(const TCalibrationRecord &record);
// CSV that stands alone: the header's facts as key,value lines, an empty
// line, then one line per point; a dot as decimal separator, numbers in
// numeric columns (empty when not measured), states in their own columns.
QString ReportCsv(const TCalibrationRecord &record);
// One A4 page, with lines for remarks and a signature, written to `device`
// in the user's numbers. False when the painter cannot draw on it.
bool WriteReportPdf(QIODevice *device, const TCalibrationRecord &record);
