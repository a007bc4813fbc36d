#include "CalibrationRecord.h"

#include <QFont>
#include <QIODevice>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <cmath>

TPointState TPointRecord::State() const
{
    if (!asLeft)
        return TPointState::NotMeasured;
    if (checkAgain)
        return TPointState::CheckAgain;
    // A hair of room for the rounding of a mean that sits on the edge.
    return std::abs(asLeft->volts - point.Target) <= point.Tolerance * (1 + 1e-9) ? TPointState::Within
                                                                                  : TPointState::Outside;
}

void TCalibrationRecord::Begin(const TCardId &card, const std::array<uint8_t, 2> &ranges)
{
    FCard = card;
    FStarted = QDateTime::currentDateTime();
    FRanges = ranges;
    FPoints.clear();
    for (const TTestPoint &p : CalibrationSteps::TestPoints(ranges))
        FPoints.push_back({p, std::nullopt, std::nullopt, false});
}

void TCalibrationRecord::Measured(TCheckKind kind, const TTestPoint &point, const TMeasurement &m,
                                  const std::array<uint8_t, 2> &ranges)
{
    FRanges = ranges;
    for (TPointRecord &r : FPoints) {
        if (r.point.Name != point.Name)
            continue;
        r.point = point;
        if (kind == TCheckKind::AsFound) {
            r.asFound = m;
        } else {
            r.asLeft = m;
            r.checkAgain = false;
        }
    }
}

bool TCalibrationRecord::RangesInEffect(const std::array<uint8_t, 2> &ranges)
{
    if (ranges == FRanges)
        return false;
    FRanges = ranges;
    const std::vector<TTestPoint> points = CalibrationSteps::TestPoints(ranges);
    for (size_t k = 0; k < FPoints.size() && k < points.size(); ++k)
        if (!FPoints[k].asFound && !FPoints[k].asLeft)
            FPoints[k].point = points[k];
    return true;
}

bool TCalibrationRecord::PotAdjusted(int pot)
{
    bool changed = false;
    for (TPointRecord &r : FPoints)
        if (r.point.Pot == pot && r.asLeft && !r.checkAgain)
            changed = r.checkAgain = true;
    return changed;
}

TVerdict TCalibrationRecord::Verdict() const
{
    bool all = true;
    for (const TPointRecord &r : FPoints) {
        if (r.State() == TPointState::Outside)
            return TVerdict::Fail;
        all = all && r.State() == TPointState::Within;
    }
    return all && !FPoints.empty() ? TVerdict::Pass : TVerdict::Incomplete;
}

QString CardText(const TCardId &card)
{
    return QStringLiteral("%1 at base address %2").arg(card.model, CardIO::FormatAddress(card.base));
}

QString RangeName(uint8_t range)
{
    const QString volts = QString::number(CardIO::RangeSpan(range));
    return CardIO::IsBipolarRange(range) ? QStringLiteral("±%1V").arg(volts) : QStringLiteral("0-%1V").arg(volts);
}

QString RangesText(const std::array<uint8_t, 2> &ranges)
{
    return QStringLiteral("DAC 0 %1, DAC 1 %2").arg(RangeName(ranges[0]), RangeName(ranges[1]));
}

QString StartedText(const TCalibrationRecord &record)
{
    // Qt writes no offset for local time; a record read in another time
    // zone must still say when it was made.
    const QDateTime &started = record.Started();
    return started.toOffsetFromUtc(started.offsetFromUtc()).toString(Qt::ISODate);
}

QString VerdictName(TVerdict verdict)
{
    switch (verdict) {
    case TVerdict::Pass: return QStringLiteral("pass");
    case TVerdict::Fail: return QStringLiteral("fail");
    case TVerdict::Incomplete: break;
    }
    return QStringLiteral("incomplete");
}

QString StateName(TPointState state)
{
    switch (state) {
    case TPointState::Within: return QStringLiteral("within");
    case TPointState::Outside: return QStringLiteral("outside");
    case TPointState::CheckAgain: return QStringLiteral("check again");
    case TPointState::NotMeasured: break;
    }
    return QStringLiteral("not measured");
}

namespace {

// The header's facts, in order: name, value.
QList<std::pair<QString, QString>> Facts(const TCalibrationRecord &r)
{
    return {{QStringLiteral("Card"), CardText(r.Card())},
            {QStringLiteral("Date and time"), StartedText(r)},
            {QStringLiteral("DAC ranges"), RangesText(r.Ranges())},
            {QStringLiteral("Operator"), r.Operator()},
            {QStringLiteral("Reference instruments"), r.Instruments()},
            {QStringLiteral("Verdict"), VerdictName(r.Verdict())}};
}

QString Measured(const std::optional<TMeasurement> &m)
{
    if (!m)
        return QStringLiteral("not measured");
    return QStringLiteral("%1 V ±%2").arg(CardIO::FormatVolts(m->volts), CardIO::FormatCounts(m->spread));
}

QStringList TextLines(const TCalibrationRecord &record)
{
    QStringList lines{QStringLiteral("Calibration record")};
    for (const auto &[name, value] : Facts(record))
        lines << QStringLiteral("%1: %2").arg(name, value);
    lines << QString()
          << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                 .arg(QStringLiteral("Point"), -5).arg(QStringLiteral("Pot"), -4).arg(QStringLiteral("Applied"), -26)
                 .arg(QStringLiteral("Target V"), 9).arg(QStringLiteral("Tolerance"), -9)
                 .arg(QStringLiteral("As found"), -18).arg(QStringLiteral("As left"), -18)
                 .arg(QStringLiteral("State"));
    for (const TPointRecord &r : record.Points())
        lines << QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8")
                     .arg(r.point.Name, -5).arg(QStringLiteral("RP%1").arg(r.point.Pot), -4)
                     .arg(CalibrationSteps::AppliedText(r.point), -26)
                     .arg(CalibrationSteps::TargetText(r.point), 9).arg(r.point.ToleranceText, -9)
                     .arg(Measured(r.asFound), -18).arg(Measured(r.asLeft), -18)
                     .arg(StateName(r.State()));
    lines << QString() << QStringLiteral("Readings: the mean of at least a second; ± their spread in counts.");
    return lines;
}

// A CSV field: quoted when it holds a separator, a quote or a line break.
QString Field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// What is applied, for the CSV: the level is in the target column.
QString CsvApplied(const TTestPoint &p)
{
    if (p.Dac)
        return QStringLiteral("DAC %1 (pin %2)").arg(*p.Dac).arg(*p.Dac + 14);
    return p.Input.contains(QStringLiteral("Calibrator")) ? QStringLiteral("calibrator") : QStringLiteral("pin 37 to pin 18");
}

QString Number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

QStringList MeasurementFields(const std::optional<TMeasurement> &m)
{
    if (!m)
        return {QString(), QString(), QString(), QString(), QStringLiteral("not measured")};
    return {Number(m->volts, 4), Number(m->counts, 1), QString::number(m->spread), QString::number(m->readings),
            QStringLiteral("measured")};
}

} // namespace

QString ReportText(const TCalibrationRecord &record)
{
    return TextLines(record).join(u'\n') + u'\n';
}

QString ReportCsv(const TCalibrationRecord &record)
{
    const TCardId &card = record.Card();
    QStringList lines{QStringLiteral("record,calibration"),
                      QStringLiteral("card,") + Field(card.model),
                      QStringLiteral("base_address,") + CardIO::FormatAddress(card.base),
                      QStringLiteral("date_time,") + StartedText(record),
                      QStringLiteral("dac0_range,") + RangeName(record.Ranges()[0]),
                      QStringLiteral("dac1_range,") + RangeName(record.Ranges()[1]),
                      QStringLiteral("operator,") + Field(record.Operator()),
                      QStringLiteral("reference_instruments,") + Field(record.Instruments()),
                      QStringLiteral("verdict,") + VerdictName(record.Verdict()),
                      QString(),
                      QStringLiteral("point,pot,applied,ad_range,dac,dac_code,dac_range,target_volts,tolerance_volts,"
                                     "as_found_volts,as_found_counts,as_found_spread_counts,as_found_readings,as_found_state,"
                                     "as_left_volts,as_left_counts,as_left_spread_counts,as_left_readings,as_left_state")};
    for (const TPointRecord &r : record.Points()) {
        const TTestPoint &p = r.point;
        QStringList fields{p.Name,
                           QStringLiteral("RP%1").arg(p.Pot),
                           Field(CsvApplied(p)),
                           CalibrationSteps::AdRangeName(p.Code),
                           p.Dac ? QString::number(*p.Dac) : QString(),
                           p.Dac ? QString::number(p.DacCode) : QString(),
                           p.Range ? RangeName(*p.Range) : QString(),
                           QString::number(p.Target, 'g', 15),
                           QString::number(p.Tolerance, 'g', 15)};
        fields << MeasurementFields(r.asFound);
        QStringList left = MeasurementFields(r.asLeft);
        left.last() = StateName(r.State());
        fields << left;
        lines << fields.join(u',');
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

bool WriteReportPdf(QIODevice *device, const TCalibrationRecord &record)
{
    QPdfWriter pdf(device);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Calibration record"));
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSizeF(7.5);
    painter.setFont(font);
    const int line = painter.fontMetrics().lineSpacing();
    const int left = 300 * 2 / 3; // 2/3 inch
    int y = line * 4;
    for (const QString &text : TextLines(record)) {
        painter.drawText(left, y, text);
        y += line;
    }
    // Room for the lab's own words and the signature.
    const int right = pdf.width() - left;
    y += line * 2;
    painter.drawText(left, y, QStringLiteral("Remarks:"));
    for (int k = 0; k < 4; ++k) {
        y += line * 2;
        painter.drawLine(left, y, right, y);
    }
    y += line * 4;
    painter.drawText(left, y, QStringLiteral("Signature:"));
    painter.drawLine(left + line * 6, y, left + (right - left) / 2, y);
    painter.drawText(left + (right - left) / 2 + line * 2, y, QStringLiteral("Date:"));
    painter.drawLine(left + (right - left) / 2 + line * 6, y, right, y);
    return painter.end();
}
