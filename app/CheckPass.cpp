#include "CheckPass.h"

#include <algorithm>

TCheckPass::TCheckPass(TCheckKind kind, double seconds)
    : FKind(kind), FSeconds(seconds), FCount(int(CalibrationSteps::TestPoints({0, 0}).size()))
{
}

TTestPoint TCheckPass::Current(const std::array<uint8_t, 2> &ranges) const
{
    const std::vector<TTestPoint> points = CalibrationSteps::TestPoints(ranges);
    return points[size_t(std::clamp(FIndex, 0, FCount - 1))];
}

void TCheckPass::Restart()
{
    FCollecting = false;
    FVolts = FCounts = 0;
    FReadings = 0;
}

void TCheckPass::Confirm()
{
    if (Finished())
        return;
    Restart();
    FCollecting = true;
    FUntil = QDeadlineTimer(qint64(FSeconds * 1000), Qt::PreciseTimer);
}

void TCheckPass::Skip()
{
    Restart();
    FIndex = std::min(FIndex + 1, FCount);
}

void TCheckPass::Back()
{
    Restart();
    FIndex = std::max(FIndex - 1, 0);
}

void TCheckPass::Stop()
{
    Restart();
    FIndex = FCount;
}

std::optional<TMeasurement> TCheckPass::Add(const CardIO::TReading &reading)
{
    if (!FCollecting)
        return std::nullopt;
    FLowest = FReadings ? std::min(FLowest, reading.counts) : reading.counts;
    FHighest = FReadings ? std::max(FHighest, reading.counts) : reading.counts;
    FVolts += reading.volts;
    FCounts += reading.counts;
    ++FReadings;
    if (!FUntil.hasExpired() || FReadings < 2)
        return std::nullopt;
    const TMeasurement m{FVolts / FReadings, FCounts / FReadings, FHighest - FLowest, FReadings};
    Skip();
    return m;
}
