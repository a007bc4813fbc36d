#include "CheckPass.h"

#include <algorithm>

TCheckPass::TCheckPass(TCheckKind kind, double seconds)
    : FKind(kind), FSeconds(seconds), FPoints(CalibrationSteps::TestPoints(FPointsFor)), FCount(int(FPoints.size()))
{
}

TTestPoint TCheckPass::Current(const std::array<uint8_t, 2> &ranges) const
{
    if (ranges != FPointsFor) {
        FPointsFor = ranges;
        FPoints = CalibrationSteps::TestPoints(ranges);
    }
    return FPoints[size_t(std::clamp(FIndex, 0, FCount - 1))];
}

void TCheckPass::Restart()
{
    FCollecting = false;
    FSum = 0;
    FConversions = FReadings = FAtBottom = FAtTop = 0;
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

std::optional<TMeasurement> TCheckPass::Add(const TTestPoint &point, const CardIO::TReading &reading)
{
    if (!FCollecting)
        return std::nullopt;
    // The raw conversions, not the reading's truncated average: a mean of
    // truncated averages leans toward zero.
    const int32_t bottom = CardIO::RangeBottom(point.Variant), top = CardIO::RangeTop(point.Variant);
    for (const int32_t sample : reading.samples) {
        FLowest = FConversions ? std::min(FLowest, sample) : sample;
        FHighest = FConversions ? std::max(FHighest, sample) : sample;
        FSum += sample;
        FAtBottom += sample <= bottom;
        FAtTop += sample >= top;
        ++FConversions;
    }
    ++FReadings;
    if (!FUntil.hasExpired() || FReadings < MinReadings)
        return std::nullopt;
    TMeasurement m;
    m.counts = double(FSum) / FConversions;
    m.volts = m.counts * CardIO::VoltsPerCount(point.Variant);
    m.spread = FHighest - FLowest;
    m.readings = FReadings;
    m.conversions = FConversions;
    m.atBottom = FAtBottom;
    m.atTop = FAtTop;
    m.taken = QDateTime::currentDateTime();
    Skip();
    return m;
}
