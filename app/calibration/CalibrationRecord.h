// The record of a calibration, as a lab files and signs it: the card and
// the conditions, and for each test point the card as found (before any
// adjustment) and as left (checked after the last step), each the mean of
// at least a second of readings with their spread. A point whose pot was
// adjusted after its as-left check must be checked again. The report made
// of it: a table for the screen, CSV and an A4 PDF.
#pragma once

#include "CalibrationSteps.h"
#include "InstalledCards.h"

#include <QDateTime>
#include <QString>
#include <QUuid>
#include <array>
#include <optional>
#include <vector>

// One point measured with no adjustment: the mean of the conversions
// taken over at least a second, their spread, and how many sat at an end
// of the range read.
struct TMeasurement {
    double counts = 0; // mean, in counts of the range read
    double volts = 0;  // the mean in volts
    int spread = 0;    // largest minus smallest conversion, in counts
    int readings = 0;  // readings of five conversions each
    int conversions = 0;
    int atBottom = 0, atTop = 0; // conversions at the range's ends
    QDateTime taken;
    // At a DAC point: the A/D's own error at the level read, in counts,
    // from the A/D points checked the same way (as found or as left) and
    // not adjusted since; nothing without them (then the DAC cannot be
    // judged).
    std::optional<double> adError;
};

enum class TCheckKind { AsFound, AsLeft };

// What the record says of a point as found or as left.
enum class TPointState { NotMeasured, Within, Outside, BelowRange, AboveRange, NoReference, CheckAgain };

// The measurement's distance from the point's target, in counts of the
// range read; at a DAC point, less the A/D's own error at that level.
// Nothing when the measurement cannot tell it (out of range, or a DAC
// point with no A/D reference).
std::optional<double> ErrorCounts(const TTestPoint &point, const TMeasurement &m);
// The decision rule: out of range when half or more of the conversions
// sat at an end of the range read (the level is then at or beyond it, and
// no mean tells how far); otherwise within when the error is no larger
// than the tolerance.
TPointState Judged(const TTestPoint &point, const TMeasurement &m);
// The rule in one sentence, as the record states it.
QString DecisionRule();

struct TPointRecord {
    TTestPoint point; // as of its latest measurement (the DAC ranges may change)
    std::optional<TMeasurement> asFound, asLeft;
    bool checkAgain = false; // its pot was adjusted after its as-left check
    // As left: check again once its pot was adjusted after the check.
    TPointState State() const;
    TPointState FoundState() const;
};

enum class TVerdict { Pass, Fail, Incomplete };

class TCalibrationRecord {
public:
    TCalibrationRecord() { Begin({}, {0, 0}); }
    // A new calibration of `card` with these DAC ranges, started now:
    // nothing measured.
    // `chosen`: for which DACs the user chose the range (the others are
    // the lists' defaults, which the card's switches may not match).
    void Begin(const TCardId &card, const std::array<uint8_t, 2> &ranges,
               const std::array<bool, 2> &chosen = {true, true});
    // A point measured by a check pass of `kind`, with the ranges then in
    // effect. A DAC point takes the A/D's own error at its level from the
    // A/D points of the same kind measured before it and still valid.
    void Measured(TCheckKind kind, const TTestPoint &point, const TMeasurement &m,
                  const std::array<uint8_t, 2> &ranges);
    // The DAC ranges in effect now: the header and every point not
    // measured yet follow them. Whether they changed.
    bool RangesInEffect(const std::array<uint8_t, 2> &ranges, const std::array<bool, 2> &chosen = {true, true});
    // An adjustment step of `pot` ran: its points' as-left values are
    // stale. Whether a point became so.
    bool PotAdjusted(int pot);

    const std::vector<TPointRecord> &Points() const { return FPoints; }
    // Pass only when every point was checked as left, within its tolerance.
    TVerdict Verdict() const;
    const TCardId &Card() const { return FCard; }
    const QDateTime &Started() const { return FStarted; }
    // When the card was last seen as left: the latest as-left measurement.
    const std::optional<QDateTime> &CheckedAsLeft() const { return FLeftAt; }
    const std::array<uint8_t, 2> &Ranges() const { return FRanges; }
    const std::array<bool, 2> &RangesChosen() const { return FRangesChosen; }

    // Typed by the user; kept for the session. Control characters other
    // than tab and line feed are left out (a carriage return becomes a
    // line feed).
    void SetOperator(const QString &name) { FOperator = TypedText(name); }
    void SetInstruments(const QString &instruments) { FInstruments = TypedText(instruments); }
    // The card's serial or asset number (the card carries none that
    // software can read), as the lab marked it.
    void SetSerial(const QString &serial) { FSerial = TypedText(serial); }
    const QString &Operator() const { return FOperator; }
    const QString &Instruments() const { return FInstruments; }
    const QString &Serial() const { return FSerial; }
    // Names this calibration wherever it is kept: new at every Begin.
    const QUuid &Id() const { return FId; }

    // Everything a record holds, as a store keeps it.
    struct TContents {
        QUuid id;
        TCardId card;
        QString serial, operatorName, instruments;
        QDateTime started;
        std::optional<QDateTime> checkedAsLeft;
        std::array<uint8_t, 2> ranges{};
        std::array<bool, 2> chosen{true, true};
        std::vector<TPointRecord> points;
    };
    TContents Contents() const;
    // The record read back from `contents`, as it was kept (typed texts
    // cleaned as if typed).
    static TCalibrationRecord Kept(const TContents &contents);

    // What the record keeps of a typed text.
    static QString TypedText(const QString &text);

private:
    // The A/D's own error at `level` (volts) on the range `code` selects,
    // from the still valid A/D points of `kind`: on the line through the
    // points either side of `target` (the nearest two beyond the ends), or
    // the error of a lone point at it.
    std::optional<double> AdErrorAt(TCheckKind kind, CardIO::TAdSelect code, double target, double level) const;

    QUuid FId;
    QString FOperator;
    QString FInstruments;
    QString FSerial;
    TCardId FCard;
    QDateTime FStarted;
    std::optional<QDateTime> FLeftAt;
    std::array<uint8_t, 2> FRanges{};
    std::array<bool, 2> FRangesChosen{true, true};
    std::vector<TPointRecord> FPoints;
};

// The range's name, as the DAC lists show it.
QString RangeName(uint8_t range);
// Both DACs' ranges: "DAC 0 ±5V, DAC 1 0-10V".
QString RangesText(const std::array<uint8_t, 2> &ranges);
// A time in ISO 8601 with the offset from UTC.
QString TimeText(const QDateTime &time);
// When the record was started.
QString StartedText(const TCalibrationRecord &record);
// When the card was checked as left, or that it was not.
QString CheckedAsLeftText(const TCalibrationRecord &record);
QString VerdictName(TVerdict verdict);
QString StateName(TPointState state);

// The DAC ranges whose values a DAC point's reading (volts) lies near,
// when the reading is far from the chosen range's value and much nearer
// theirs: the card's switches are then likely set to one of them.
std::vector<uint8_t> LikelyRanges(const TTestPoint &point, double volts);
// "The card's DAC 0 switches may be set to 0-5V or ±5V, not 0-2.5V as
// chosen."
QString RangeNote(const TTestPoint &point, const std::vector<uint8_t> &likely);
// What the record notes for the user: the ranges the DAC steps assumed
// when none was chosen, and the likely range of a DAC whose points read
// far out.
QStringList RecordNotes(const TCalibrationRecord &record);

// The report on screen and on the clipboard, in the user's numbers (as the
// readout shows them).
QString ReportText(const TCalibrationRecord &record);
// CSV that stands alone: the header's facts as key,value lines, an empty
// line, then one line per point; a dot as decimal separator, numbers in
// numeric columns (empty when not measured), states in their own columns.
// A field a spreadsheet would take for a formula is written as text.
QString ReportCsv(const TCalibrationRecord &record);
// One A4 page (more if the typed texts need them), with lines for remarks
// and a signature, written to `device` in the user's numbers; long texts
// wrap, typed line breaks stay, and a typed text cannot reorder what
// follows it. False when the painter cannot draw on it.
bool WriteReportPdf(QIODevice *device, const TCalibrationRecord &record);
