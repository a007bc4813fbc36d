// The eight measuring steps of the calibration wizard: texts, pot marker,
// DAC code and how the A/D is read, composed from the DAC ranges.
#pragma once

#include "CardIO.h"

#include <QString>
#include <array>
#include <optional>
#include <vector>

// What is applied to the A/D at a step or point.
enum class TInputKind {
    Ground,     // pin 37 wired to pin 18
    Calibrator, // a calibrator's leads on pins 37 and 18
    Dac,        // the DAC under test, wired back to pin 37
};

struct TMeasureStep {
    QString Title;      // CTitle
    QString Body;       // CBody: what pin 37 is wired to
    QString Body2;      // CBody2: which pot to turn to what value
    int Mark = 0;       // PotMark's left coordinate
    std::optional<int> Dac; // the DAC written before reading, if any
    CardIO::TDacCode DacCode{};
    CardIO::TAdSelect Code = CardIO::SelectBipolar;
    CardIO::TVariant Variant = CardIO::TVariant::BipolarRaw;
    double Target = 0;  // the voltage the step trims to
    int Pot = 0;        // the pot's number: RP<Pot>
    std::optional<uint8_t> Range; // the DAC range used, for the DAC steps
    TInputKind Input = TInputKind::Ground;
};

// A point the card is checked at, with no adjustment: what to apply, how
// the A/D reads it, what it should read and how close. Each measuring step
// is one; step 3's confirmation at -9.900 V is one of its own ("3b").
struct TTestPoint {
    QString Name;      // "1" .. "8", "3b"
    int Step = 0;      // the adjustment step it belongs to
    int Pot = 0;       // the pot that trims it: RP<Pot>
    QString Input;     // what to connect, in the step's own words
    TInputKind Applied = TInputKind::Ground;
    CardIO::TAdSelect Code = CardIO::SelectBipolar;
    CardIO::TVariant Variant = CardIO::TVariant::BipolarRaw;
    std::optional<int> Dac;
    CardIO::TDacCode DacCode{};
    std::optional<uint8_t> Range; // the DAC's range, for the DAC points
    double Target = 0;            // volts
    double Tolerance = 0;         // volts either side of the target
    QString ToleranceText;        // "1 count" or "10 mV"
};

namespace CalibrationSteps {

inline constexpr int LastStep = 9;
inline constexpr CardIO::TDacCode DacLowCode{20};
inline constexpr CardIO::TDacCode DacHighCode{4076};
// The level the checks apply for the unipolar zero (point 2): the
// unipolar range reads 0 for any input at or below 0 V, so a zero checked
// at 0 V cannot tell a perfect trim from one a count low. About twenty
// counts inside the range, the offset is read whole.
inline constexpr double UnipolarZeroCheckVolts = 0.05;

TMeasureStep StepBipolarOffset();
TMeasureStep StepUnipolarOffset();
TMeasureStep StepBipolarGain();
TMeasureStep StepUnipolarGain();
TMeasureStep StepDACOffset(int dac, uint8_t range);
TMeasureStep StepDACGain(int dac, uint8_t range);
// The measuring step numbered 1 to 8, with the DAC ranges read at the
// start of the pass; nothing for any other number.
std::optional<TMeasureStep> MeasureStep(int step, const std::array<uint8_t, 2> &ranges);

// The nine test points, in the order of the steps, for these DAC ranges.
// Point 2 applies the calibrator at UnipolarZeroCheckVolts, not step 2's
// ground.
std::vector<TTestPoint> TestPoints(const std::array<uint8_t, 2> &ranges);
// The A/D range a point reads with, as a user names it.
QString AdRangeName(CardIO::TAdSelect code);
// The point's target as its step states it, in the user's numbers: three
// decimals for the A/D points, the general format for the DAC points.
QString TargetText(const TTestPoint &point);
// What is applied at the point, short, for a table.
QString AppliedText(const TTestPoint &point);

} // namespace CalibrationSteps
