// A card's drift between calibrations: each test point's as-found error
// at every calibration, as a share of its tolerance (1 is the tolerance's
// edge), and the change since the previous calibration left it. Composed
// as data, and painted by a pure function a test can call.
#pragma once

#include "CalibrationRecord.h"

#include <QDateTime>
#include <QRect>
#include <vector>

class QPainter;

struct TDriftPoint {
    QString name;      // "1" .. "8", "3b"
    QString tolerance; // "1 count"
    // Per calibration, oldest first: the error as found and as left, in
    // counts of the range read, and the tolerance in counts.
    std::vector<std::optional<double>> found, left;
    std::vector<double> toleranceCounts;
    // As found at the latest calibration less as left at the one before.
    std::optional<double> Drift() const;
};

struct TDrift {
    std::vector<QDateTime> dates; // each calibration's start, oldest first
    std::vector<TDriftPoint> points;
};

// The drift over `records`, oldest first.
TDrift DriftOf(const std::vector<TCalibrationRecord> &records);

// One colour per point, in order.
QColor DriftColour(int point);
// The chart in `area`: the tolerance band (±1) shaded, zero, and each
// point's as-found errors as shares of its tolerance, joined over the
// calibrations, which lie evenly from left to right. Shares beyond ±2 are
// drawn at the edge.
void PaintDrift(QPainter &painter, const QRect &area, const TDrift &drift);
// Where PaintDrift puts a share `share` of calibration `k` of `n` in `area`.
QPoint DriftPosition(const QRect &area, int k, int n, double share);
