// The as-left record of a calibration: for each measuring step, the last
// reading the user left it with when pressing Next, against the step's
// target; and the report made of it (text, CSV, PDF).
#pragma once

#include "CalibrationSteps.h"

#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

struct TAsLeft {
    int step = 0;
    int pot = 0;
    double targetVolts = 0;
    int targetCounts = 0;
    double voltsPerCount = 0;
    std::optional<uint8_t> range; // the DAC range, for the DAC steps
    bool done = false;            // a reading was recorded
    CardIO::TReading reading{0, 0};
    int Difference() const { return reading.counts - targetCounts; }
    bool Within() const { return done && Difference() >= -1 && Difference() <= 1; }
};

class TCalibrationRecord {
public:
    TCalibrationRecord() { Begin({0, 0}); }
    // A new calibration with these DAC ranges: every step not done.
    void Begin(const std::array<uint8_t, 2> &ranges);
    // The latest reading of a pass of `step`.
    void Reading(int step, const TMeasureStep &s, const CardIO::TReading &reading);
    // Next pressed in `step`: its latest reading, if that step has one,
    // becomes its as-left value; the last visit of a step wins.
    void Next(int step);
    const std::array<TAsLeft, 8> &Rows() const { return FRows; }

private:
    std::array<TAsLeft, 8> FRows;
    std::optional<TAsLeft> FLatest;
};

struct TReportHeader {
    QDateTime when;
    QString card;        // the card's model
    uint16_t base = 0;   // its I/O base address
};

// The range's name, as the DAC lists show it.
QString RangeName(uint8_t range);
QString ReportText(const TReportHeader &header, const std::array<TAsLeft, 8> &rows);
// A header row, then one line per step; a dot as decimal separator.
QString ReportCsv(const std::array<TAsLeft, 8> &rows);
// One A4 page through Qt's PDF writer; false when the file cannot be written.
bool WriteReportPdf(const QString &path, const TReportHeader &header, const std::array<TAsLeft, 8> &rows);
