// The eight measuring steps of the calibration wizard: texts, pot marker,
// DAC code and how the A/D is read, composed from the DAC ranges.
#pragma once

#include "CardIO.h"

#include <QString>
#include <array>
#include <optional>

struct TMeasureStep {
    QString Title;      // CTitle
    QString Body;       // CBody: what pin 37 is wired to
    QString Body2;      // CBody2: which pot to turn to what value
    int Mark = 0;       // PotMark's left coordinate
    std::optional<int> Dac; // the DAC written before reading, if any
    uint16_t DacCode = 0;
    uint16_t Code = CardIO::SelectBipolar;
    CardIO::TVariant Variant = CardIO::TVariant::BipolarRaw;
    double Target = 0;  // the voltage the step trims to
    int Pot = 0;        // the pot's number: RP<Pot>
    std::optional<uint8_t> Range; // the DAC range used, for the DAC steps
};

namespace CalibrationSteps {

inline constexpr int LastStep = 9;
inline constexpr uint16_t DacLowCode = 20;
inline constexpr uint16_t DacHighCode = 4076;

TMeasureStep StepBipolarOffset();
TMeasureStep StepUnipolarOffset();
TMeasureStep StepBipolarGain();
TMeasureStep StepUnipolarGain();
TMeasureStep StepDACOffset(int dac, uint8_t range);
TMeasureStep StepDACGain(int dac, uint8_t range);
// The measuring step numbered 1 to 8, with the DAC ranges read at the
// start of the pass; nothing for any other number.
std::optional<TMeasureStep> MeasureStep(int step, const std::array<uint8_t, 2> &ranges);

} // namespace CalibrationSteps
