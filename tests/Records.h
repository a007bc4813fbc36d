// Calibration records made up for tests: measurements a chosen number of
// counts off their targets, and whole records of them.
#pragma once

#include "CalibrationRecord.h"
#include "CardIO.h"

// A measurement of `point` `off` counts from its target: 50 conversions,
// `atBottom` and `atTop` of them at the ends of the range.
inline TMeasurement Off(const TTestPoint &point, double off, int spread = 1, int atBottom = 0, int atTop = 0)
{
    TMeasurement m;
    m.counts = point.Target / CardIO::VoltsPerCount(point.Variant) + off;
    m.volts = m.counts * CardIO::VoltsPerCount(point.Variant);
    m.spread = spread;
    m.readings = 10;
    m.conversions = 50;
    m.atBottom = atBottom;
    m.atTop = atTop;
    m.taken = QDateTime::currentDateTime();
    return m;
}

// A calibration of the card `serial` by `operatorName`: every point found
// `found` counts off and left `left` counts off.
inline TCalibrationRecord CalibratedRecord(const QString &serial, const QString &operatorName, double found = 3, double left = 0.25,
                                           const std::array<uint8_t, 2> &ranges = {5, 0})
{
    TCalibrationRecord r;
    r.Begin({QStringLiteral("PCI-RZ4070"), 0xE800}, ranges);
    r.SetSerial(serial);
    r.SetOperator(operatorName);
    r.SetInstruments(QStringLiteral("Calibrator C-100, s/n 7"));
    for (TCheckKind kind : {TCheckKind::AsFound, TCheckKind::AsLeft})
        for (const TPointRecord &p : std::vector<TPointRecord>(r.Points()))
            r.Measured(kind, p.point, Off(p.point, kind == TCheckKind::AsFound ? found : left), ranges);
    return r;
}

// The record as if started at `started`.
inline TCalibrationRecord StartedAt(const TCalibrationRecord &r, const QDateTime &started)
{
    TCalibrationRecord::TContents c = r.Contents();
    c.started = started;
    return TCalibrationRecord::Kept(c);
}
