#include "CalibrationSteps.h"

namespace CalibrationSteps {
namespace {

QString Pot(int number)
{
    return QStringLiteral("RP%1").arg(number);
}

TMeasureStep DacStep(int dac, uint8_t range, bool gain)
{
    const int pot = 2 * dac + (gain ? 6 : 5);
    const bool bipolar = CardIO::IsBipolarRange(range);
    const double factor = gain ? (bipolar ? 0.99 : 0.995) : (bipolar ? -0.99 : 0.005);
    const double target = factor * CardIO::RangeSpan(range);
    TMeasureStep s;
    s.Title = QStringLiteral("Adjust DAC %1%2%3").arg(dac).arg(gain ? QStringLiteral(" Gain ") : QStringLiteral(" Offset "), Pot(pot));
    s.Body = QStringLiteral("Connect pin 37 to pin %1").arg(dac + 14);
    s.Body2 = QStringLiteral("Adjust pot marked \"%1\" until the value displayed is as close to %2 Volts as possible.")
                  .arg(Pot(pot), CardIO::FormatGeneral(target));
    s.Mark = (gain ? 156 : 130) + 52 * dac;
    s.Target = target;
    s.Pot = pot;
    s.Range = range;
    s.Dac = dac;
    s.Input = TInputKind::Dac;
    s.DacCode = gain ? DacHighCode : DacLowCode;
    if (gain) {
        s.Code = CardIO::SelectUnipolar;
        s.Variant = CardIO::TVariant::Unipolar;
    } else {
        s.Code = bipolar ? CardIO::SelectBipolar : CardIO::SelectUnipolar;
        s.Variant = bipolar ? CardIO::TVariant::BipolarByDac : CardIO::TVariant::UnipolarByDac;
    }
    return s;
}

const QString GroundPin18 = QStringLiteral("Connect pin 37 to pin 18");
const QString Calibrator = QStringLiteral("Connect a Calibrator's positive lead to pin 37 and negative lead to pin 18. ");

} // namespace

TMeasureStep StepBipolarOffset()
{
    return {QStringLiteral("Adjust Bipolar Offset RP1"), GroundPin18,
            QStringLiteral("Adjust pot marked \"RP1\" until the value displayed equals 0.000 Volts."),
            9, std::nullopt, {}, CardIO::SelectBipolar, CardIO::TVariant::BipolarRaw, 0.0, 1, std::nullopt};
}

TMeasureStep StepUnipolarOffset()
{
    return {QStringLiteral("Adjust Unipolar Offset RP2"), GroundPin18,
            QStringLiteral("Adjust pot marked \"RP2\" until the value displayed flickers between 0.000 and 0.003 Volts."),
            35, std::nullopt, {}, CardIO::SelectUnipolar, CardIO::TVariant::Unipolar, 0.0, 2, std::nullopt};
}

TMeasureStep StepBipolarGain()
{
    return {QStringLiteral("Adjust Bipolar Gain RP3"), Calibrator + QStringLiteral("Apply 9.900V"),
            QStringLiteral("Adjust pot marked \"RP3\" until the value is as close to 9.900V as possible. "
                           "Confirm that an input of -9.900V displays the proper value."),
            61, std::nullopt, {}, CardIO::SelectBipolar, CardIO::TVariant::BipolarRaw, 9.9, 3, std::nullopt,
            TInputKind::Calibrator};
}

TMeasureStep StepUnipolarGain()
{
    return {QStringLiteral("Adjust Unipolar Gain RP3"), Calibrator + QStringLiteral("Apply a 9.950V"),
            QStringLiteral("Confirm that the value is within 10mv of 9.950V. If you plan on using Unipolar mode "
                           "you can fine tune the card with pot \"RP3\"."),
            61, std::nullopt, {}, CardIO::SelectUnipolar, CardIO::TVariant::Unipolar, 9.95, 3, std::nullopt,
            TInputKind::Calibrator};
}

TMeasureStep StepDACOffset(int dac, uint8_t range)
{
    return DacStep(dac, range, false);
}

TMeasureStep StepDACGain(int dac, uint8_t range)
{
    return DacStep(dac, range, true);
}

std::optional<TMeasureStep> MeasureStep(int step, const std::array<uint8_t, 2> &ranges)
{
    switch (step) {
    case 1: return StepBipolarOffset();
    case 2: return StepUnipolarOffset();
    case 3: return StepBipolarGain();
    case 4: return StepUnipolarGain();
    case 5: return StepDACOffset(0, ranges[0]);
    case 6: return StepDACGain(0, ranges[0]);
    case 7: return StepDACOffset(1, ranges[1]);
    case 8: return StepDACGain(1, ranges[1]);
    default: return std::nullopt;
    }
}

namespace {

TTestPoint PointOf(int step, const TMeasureStep &s)
{
    TTestPoint p;
    p.Name = QString::number(step);
    p.Step = step;
    p.Pot = s.Pot;
    p.Input = s.Body;
    p.Applied = s.Input;
    p.Code = s.Code;
    p.Variant = s.Variant;
    p.Dac = s.Dac;
    p.DacCode = s.DacCode;
    p.Range = s.Range;
    p.Target = s.Target;
    p.Tolerance = CardIO::VoltsPerCount(s.Variant); // one count of the range read
    p.ToleranceText = QStringLiteral("1 count");
    return p;
}

} // namespace

std::vector<TTestPoint> TestPoints(const std::array<uint8_t, 2> &ranges)
{
    std::vector<TTestPoint> points;
    for (int step = 1; step < LastStep; ++step) {
        points.push_back(PointOf(step, *MeasureStep(step, ranges)));
        if (step == 3) {
            // "Confirm that an input of -9.900V displays the proper value."
            TTestPoint minus = points.back();
            minus.Name = QStringLiteral("3b");
            minus.Input = Calibrator + QStringLiteral("Apply -9.900V");
            minus.Target = -9.9;
            points.push_back(minus);
        }
        if (step == 2) {
            TTestPoint &zero = points.back();
            zero.Applied = TInputKind::Calibrator;
            zero.Target = UnipolarZeroCheckVolts;
            zero.Input = Calibrator + QStringLiteral("Apply %1V").arg(zero.Target, 0, 'f', 3);
        }
        if (step == 4) {
            // "Confirm that the value is within 10mv of 9.950V."
            points.back().Tolerance = 0.010;
            points.back().ToleranceText = QStringLiteral("10 mV");
        }
    }
    return points;
}

QString TargetText(const TTestPoint &point)
{
    return point.Dac ? CardIO::FormatGeneral(point.Target) : CardIO::FormatVolts(point.Target);
}

QString AppliedText(const TTestPoint &point)
{
    if (point.Dac)
        return QStringLiteral("DAC %1 (pin %2), code %3").arg(*point.Dac).arg(*point.Dac + 14).arg(uint16_t(point.DacCode));
    if (point.Applied == TInputKind::Calibrator)
        return QStringLiteral("calibrator %1 V").arg(TargetText(point));
    return QStringLiteral("pin 37 to pin 18");
}

QString AdRangeName(CardIO::TAdSelect code)
{
    return code == CardIO::SelectUnipolar ? QStringLiteral("0-10V") : QStringLiteral("±10V");
}

} // namespace CalibrationSteps
