// A check pass: walks the technician through every test point with no
// adjustment. For each point the wizard's loop drives the card as the point
// says and hands each reading in; once the user confirms the input is
// applied, the conversions of at least a second (on the monotonic clock)
// and ten readings are collected, and their mean, spread and how many sat at an end of the
// range are recorded. Points may be skipped.
#pragma once

#include "CalibrationRecord.h"

#include <QDeadlineTimer>
#include <optional>

class TCheckPass {
public:
    // `seconds`: how long a point is read once confirmed.
    TCheckPass(TCheckKind kind, double seconds = 1.0);

    TCheckKind Kind() const { return FKind; }
    // The point now checked, for the DAC ranges in effect.
    TTestPoint Current(const std::array<uint8_t, 2> &ranges) const;
    int Index() const { return FIndex; }
    int Count() const { return FCount; }
    bool Finished() const { return FIndex >= FCount; }
    // The readings are being collected for the current point.
    bool Collecting() const { return FCollecting; }

    // The user confirms the input is applied: collecting starts now.
    void Confirm();
    // On to the next point without a measurement, or back to the last one.
    void Skip();
    void Back();
    void Stop();

    // Readings a measurement takes at the least, whatever its time: fifty
    // conversions hold the mean's noise to a twentieth of a count on the
    // card, even on a machine too busy to read ten times a second.
    static constexpr int MinReadings = 10;

    // One reading of `point`, the current one. While collecting, its
    // conversions count; once a second's worth is in (and at least
    // MinReadings), the measurement is returned and the pass moves to the
    // next point.
    std::optional<TMeasurement> Add(const TTestPoint &point, const CardIO::TReading &reading);

private:
    void Restart();

    TCheckKind FKind;
    double FSeconds;
    // The test points, made again only when the ranges asked for change.
    mutable std::array<uint8_t, 2> FPointsFor{};
    mutable std::vector<TTestPoint> FPoints;
    int FIndex = 0;
    int FCount = 0;
    bool FCollecting = false;
    QDeadlineTimer FUntil;
    int64_t FSum = 0; // of the conversions, in counts
    int FConversions = 0, FReadings = 0;
    int FLowest = 0, FHighest = 0, FAtBottom = 0, FAtTop = 0;
};
