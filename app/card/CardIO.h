// The card's registers as the calibration uses them: A/D selection,
// sampling and averaging, the DAC range list, and the texts that show a
// reading. All port traffic goes through the driver binding.
#pragma once

#include <QString>
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

namespace CardIO {

// Register offsets from the card's base address.
inline constexpr uint16_t AdData = 0;
inline constexpr uint16_t AdSelect = 2;
inline constexpr uint16_t AdControl = 4;
inline constexpr uint16_t DacOutput0 = 12; // DAC n at 12 + 2n
inline constexpr uint8_t ControlByte = 0x48;
inline constexpr int SamplesPerReading = 5;
inline constexpr uint32_t StatusPolls = 65535;

// What the A/D select register is written with: the input and its range.
// A DAC code is a type of its own, so that neither passes for the other.
enum class TAdSelect : uint16_t {
    Bipolar = 0,  // pin 37, -10 .. +10 V
    Unipolar = 4, // pin 37, 0 .. 10 V
};
inline constexpr TAdSelect SelectBipolar = TAdSelect::Bipolar;
inline constexpr TAdSelect SelectUnipolar = TAdSelect::Unipolar;
enum class TDacCode : uint16_t {};

// How long the wizard waits between passes, and for a newly selected
// input to settle.
inline constexpr unsigned PassPauseMs = 50;
inline constexpr unsigned SettleMs = 50;
// Makes every wait of the wizard `factor` times as long (1, real time,
// unless set); tests run whole calibrations in compressed time with it.
void SetWaitScale(double factor);
double WaitScaleFactor();
// `ms` scaled by the factor, on the monotonic clock.
std::chrono::nanoseconds ScaledWait(unsigned ms);

// Writes `code` to DAC `dac` (0 or 1).
void WriteDac(uint16_t base, int dac, TDacCode code);
// Selects the A/D input and range; the input then needs SettleMs.
void SelectADInput(uint16_t base, TAdSelect code);

// One conversion: the 16-bit data word, or nothing when the status never
// showed completion within the polling bound.
std::optional<uint16_t> TakeSample(uint16_t base, bool wideStatus);

// DAC range index 0..5 (and any other byte, by the same rule): above 2 is
// bipolar; index mod 3 picks the span 2.5, 5 or 10 V.
enum class TSpan { Span2V5, Span5V, Span10V };
bool IsBipolarRange(uint8_t range);
TSpan RangeSpanOf(uint8_t range);
double RangeSpan(uint8_t range);

// How the five samples of a reading are decoded, summed and scaled.
enum class TVariant { BipolarRaw, Unipolar, BipolarByDac, UnipolarByDac };

// Whether the variant reads the unipolar range, where 0 counts is the
// bottom and anything below it reads 0 too.
inline bool ReadsUnipolar(TVariant variant)
{
    return variant == TVariant::Unipolar || variant == TVariant::UnipolarByDac;
}

// The volts one count of the variant's reading stands for.
double VoltsPerCount(TVariant variant);
// The ends of the range the variant reads, in counts: a conversion there
// says only that the input is at or beyond it.
int32_t RangeBottom(TVariant variant);
int32_t RangeTop(TVariant variant);
// One conversion's 12-bit sample in counts of the variant's range
// (sign-extended on the bipolar range), before any averaging.
int32_t SampleCounts(TVariant variant, uint16_t word);

// One reading as shown: the average in counts and in volts, and the
// conversions it was made of, each in counts.
struct TReading {
    int32_t counts;
    double volts;
    std::array<int32_t, SamplesPerReading> samples{};
};

// The conversions of one reading, taken one at a time: the reading when
// all five are in, nothing once one has failed.
class TSampleSet {
public:
    explicit TSampleSet(TVariant variant) : FVariant(variant) {}
    // Adds a conversion, or a failed one.
    void Add(std::optional<uint16_t> sample);
    bool Complete() const { return FTaken == SamplesPerReading; }
    bool Failed() const { return FFailed; }
    // The average of a complete reading with no failure.
    std::optional<TReading> Reading() const;
    bool WideStatus() const;

private:
    TVariant FVariant;
    int FTaken = 0;
    bool FFailed = false;
    std::array<uint16_t, SamplesPerReading> FWords{};
};

// Sums the decoded samples of one reading as the variant says.
class TAverage {
public:
    explicit TAverage(TVariant variant) : FVariant(variant) {}
    void Add(uint16_t word);
    // The average, dividing by 5 however many samples were added.
    int32_t Counts() const;
    double Volts() const;
    // Whether the status is read as a 16-bit word.
    bool WideStatus() const { return FVariant != TVariant::BipolarRaw; }

private:
    TVariant FVariant;
    int16_t FSigned = 0;    // wrapping signed 16-bit sum
    uint16_t FUnsigned = 0; // wrapping unsigned 16-bit sum
};

// What the readouts show of a reading: its counts and volts, or "****"
// and "******" for a reading with a failed conversion.
struct TReadout {
    QString counts, volts;
};
TReadout ReadoutOf(const std::optional<TReading> &reading);

// Counts as plain decimal digits; volts with three decimals (a value that
// rounds to zero is "0.000", never "-0.000"); all three with the user's
// decimal separator and minus sign and no thousands separator.
QString FormatCounts(int32_t counts);
QString FormatVolts(double volts);
// The value, or 0 when it rounds to zero at `decimals` decimals: what a
// number is written from, so that no "-0.000" is.
double SignlessZero(double value, int decimals);
// A number with `decimals` decimals and its sign ("+0.3", "-2.2"); one
// that rounds to zero is written unsigned ("0.0").
QString FormatSigned(double value, int decimals);
// A number in the general format, up to 15 significant digits.
QString FormatGeneral(double value);
// An I/O address as the cards list shows it: at least four hexadecimal
// digits, in capitals ("E800").
QString FormatAddress(uint32_t address);

} // namespace CardIO
