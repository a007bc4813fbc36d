#include "CardIO.h"

#include "LLTRVWDM.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

namespace CardIO {

namespace {
double WaitScale = 1.0;
}

double WaitScaleFactor()
{
    return WaitScale;
}

void SetWaitScale(double factor)
{
    WaitScale = std::max(0.0, factor);
}

std::chrono::nanoseconds ScaledWait(unsigned ms)
{
    return std::chrono::nanoseconds(qint64(ms * 1e6 * WaitScale));
}

void WriteDac(uint16_t base, int dac, TDacCode code)
{
    LLTRVWDM::OutPort(base + DacOutput0 + 2 * dac, uint16_t(code));
}

void SelectADInput(uint16_t base, TAdSelect code)
{
    LLTRVWDM::OutPortB(base + AdControl, ControlByte);
    LLTRVWDM::OutPort(base + AdSelect, uint16_t(code));
    LLTRVWDM::OutPort(base + AdSelect, uint16_t(code));
    LLTRVWDM::InPort(base + AdSelect);
}

std::optional<uint16_t> TakeSample(uint16_t base, bool wideStatus)
{
    LLTRVWDM::OutPortB(base + AdData, 0);
    uint32_t counter = StatusPolls;
    for (;;) {
        const uint32_t status = wideStatus ? LLTRVWDM::InPort(base + AdControl) : LLTRVWDM::InPortB(base + AdControl);
        if ((status & 0x80) || counter == 0)
            break;
        --counter;
    }
    if (counter == 0)
        return std::nullopt;
    return uint16_t(LLTRVWDM::InPort(base + AdData));
}

bool IsBipolarRange(uint8_t range)
{
    return range > 2;
}

TSpan RangeSpanOf(uint8_t range)
{
    return TSpan(range % 3);
}

double RangeSpan(uint8_t range)
{
    static constexpr double spans[] = {2.5, 5.0, 10.0};
    return spans[int(RangeSpanOf(range))];
}

namespace {

int16_t SignExtended(uint16_t word)
{
    return int16_t(word & 0x0800 ? word | 0xF000 : word);
}

constexpr double BipolarVoltsPerCount = 20.0 / 4096;
constexpr double UnipolarVoltsPerCount = 10.0 / 4096;

} // namespace

void TAverage::Add(uint16_t word)
{
    switch (FVariant) {
    case TVariant::BipolarRaw:
        FSigned = int16_t(FSigned + SignExtended(word));
        break;
    case TVariant::Unipolar:
    case TVariant::UnipolarByDac:
        FUnsigned = uint16_t(FUnsigned + (word & 0x0FFF));
        break;
    case TVariant::BipolarByDac:
        FSigned = int16_t(FSigned + SignExtended(word & 0x0FFF));
        break;
    }
}

int32_t TAverage::Counts() const
{
    switch (FVariant) {
    case TVariant::BipolarRaw:
    case TVariant::BipolarByDac: return FSigned / SamplesPerReading;
    case TVariant::Unipolar:
    case TVariant::UnipolarByDac: return FUnsigned / SamplesPerReading;
    }
    return 0;
}

double VoltsPerCount(TVariant variant)
{
    const bool bipolar = variant == TVariant::BipolarRaw || variant == TVariant::BipolarByDac;
    return bipolar ? BipolarVoltsPerCount : UnipolarVoltsPerCount;
}

int32_t RangeBottom(TVariant variant)
{
    return ReadsUnipolar(variant) ? 0 : -2048;
}

int32_t RangeTop(TVariant variant)
{
    return ReadsUnipolar(variant) ? 4095 : 2047;
}

int32_t SampleCounts(TVariant variant, uint16_t word)
{
    return ReadsUnipolar(variant) ? word & 0x0FFF : SignExtended(word & 0x0FFF);
}

void TSampleSet::Add(std::optional<uint16_t> sample)
{
    if (Complete())
        return;
    if (sample)
        FWords[size_t(FTaken)] = *sample;
    else
        FFailed = true;
    ++FTaken;
}

bool TSampleSet::WideStatus() const
{
    return TAverage(FVariant).WideStatus();
}

std::optional<TReading> TSampleSet::Reading() const
{
    if (!Complete() || FFailed)
        return std::nullopt;
    TAverage average(FVariant);
    TReading reading{};
    for (size_t i = 0; i < FWords.size(); ++i) {
        average.Add(FWords[i]);
        reading.samples[i] = SampleCounts(FVariant, FWords[i]);
    }
    reading.counts = average.Counts();
    reading.volts = average.Volts();
    return reading;
}

double TAverage::Volts() const
{
    return double(Counts()) * VoltsPerCount(FVariant);
}

// The user's locale (decimal separator, minus sign) without group separators,
// the one convention of every number the wizard shows.
static QLocale UserNumbers()
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale;
}

TReadout ReadoutOf(const std::optional<TReading> &reading)
{
    if (!reading)
        return {QStringLiteral("****"), QStringLiteral("******")};
    return {FormatCounts(reading->counts), FormatVolts(reading->volts)};
}

QString FormatCounts(int32_t counts)
{
    return UserNumbers().toString(counts);
}

QString FormatVolts(double volts)
{
    return UserNumbers().toString(SignlessZero(volts, 3), 'f', 3);
}

double SignlessZero(double value, int decimals)
{
    return std::abs(value) * std::pow(10.0, decimals) < 0.5 ? 0.0 : value;
}

QString FormatSigned(double value, int decimals)
{
    const double shown = SignlessZero(value, decimals);
    const QString text = UserNumbers().toString(std::abs(shown), 'f', decimals);
    if (shown == 0)
        return text;
    return (shown < 0 ? UserNumbers().negativeSign() : UserNumbers().positiveSign()) + text;
}

QString FormatGeneral(double value)
{
    return UserNumbers().toString(value, 'g', 15);
}

QString FormatAddress(uint32_t address)
{
    return QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace CardIO
