#include "CalibrationRecord.h"

#include <QFile>
#include <QFont>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <cmath>

namespace {

TAsLeft Row(int step, const TMeasureStep &s)
{
    TAsLeft row;
    row.step = step;
    row.pot = s.Pot;
    row.targetVolts = s.Target;
    row.voltsPerCount = CardIO::VoltsPerCount(s.Variant);
    row.targetCounts = int(std::lround(s.Target / row.voltsPerCount));
    row.range = s.Range;
    return row;
}

} // namespace

void TCalibrationRecord::Begin(const std::array<uint8_t, 2> &ranges)
{
    for (int step = 1; step <= int(FRows.size()); ++step)
        FRows[size_t(step - 1)] = Row(step, *CalibrationSteps::MeasureStep(step, ranges));
    FLatest.reset();
}

void TCalibrationRecord::Reading(int step, const TMeasureStep &s, const CardIO::TReading &reading)
{
    FLatest = Row(step, s);
    FLatest->done = true;
    FLatest->reading = reading;
}

void TCalibrationRecord::Next(int step)
{
    if (FLatest && FLatest->step == step && step >= 1 && step <= int(FRows.size()))
        FRows[size_t(step - 1)] = *FLatest;
}

QString RangeName(uint8_t range)
{
    const double span = CardIO::RangeSpan(range);
    const QString volts = QString::number(span);
    return CardIO::IsBipolarRange(range) ? QStringLiteral("±%1V").arg(volts) : QStringLiteral("0-%1V").arg(volts);
}

namespace {

QString Volts(double v)
{
    return QString::number(v, 'f', 3);
}

QString Signed(int n)
{
    return n > 0 ? QStringLiteral("+%1").arg(n) : QString::number(n);
}

QStringList TextLines(const TReportHeader &header, const std::array<TAsLeft, 8> &rows)
{
    QStringList lines;
    lines << QStringLiteral("Calibration report")
          << QStringLiteral("Date and time: %1").arg(header.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
          << QStringLiteral("Card: %1 at base address %2").arg(header.card, QStringLiteral("%1").arg(header.base, 4, 16, QLatin1Char('0')).toUpper())
          << QString()
          << QStringLiteral("Step Pot  Target             As left            Diff  Within 1 count  DAC range");
    for (const TAsLeft &r : rows) {
        const QString target = QStringLiteral("%1 V (%2)").arg(Volts(r.targetVolts)).arg(r.targetCounts);
        const QString left = r.done ? QStringLiteral("%1 V (%2)").arg(Volts(r.reading.volts)).arg(r.reading.counts)
                                    : QStringLiteral("not done");
        lines << QStringLiteral("%1 RP%2  %3 %4 %5 %6 %7")
                     .arg(r.step, 4)
                     .arg(r.pot)
                     .arg(target, -18)
                     .arg(left, -18)
                     .arg(r.done ? Signed(r.Difference()) : QStringLiteral("-"), 4)
                     .arg(r.done ? (r.Within() ? QStringLiteral("yes") : QStringLiteral("no")) : QStringLiteral("not done"), -15)
                     .arg(r.range ? RangeName(*r.range) : QString());
    }
    return lines;
}

} // namespace

QString ReportText(const TReportHeader &header, const std::array<TAsLeft, 8> &rows)
{
    return TextLines(header, rows).join(u'\n') + u'\n';
}

QString ReportCsv(const std::array<TAsLeft, 8> &rows)
{
    QStringList lines{QStringLiteral(
        "step,pot,target_volts,target_counts,as_left_volts,as_left_counts,difference_counts,within_1_count,dac_range")};
    for (const TAsLeft &r : rows) {
        const QString left = r.done ? QStringLiteral("%1,%2,%3,%4").arg(Volts(r.reading.volts)).arg(r.reading.counts)
                                          .arg(r.Difference()).arg(r.Within() ? QStringLiteral("yes") : QStringLiteral("no"))
                                    : QStringLiteral("not done,not done,not done,not done");
        lines << QStringLiteral("%1,RP%2,%3,%4,%5,%6").arg(r.step).arg(r.pot).arg(Volts(r.targetVolts)).arg(r.targetCounts)
                     .arg(left, r.range ? RangeName(*r.range) : QString());
    }
    return lines.join(u'\n') + u'\n';
}

bool WriteReportPdf(const QString &path, const TReportHeader &header, const std::array<TAsLeft, 8> &rows)
{
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        return false;
    probe.close();
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setResolution(300);
    pdf.setTitle(QStringLiteral("Calibration report"));
    QPainter painter;
    if (!painter.begin(&pdf))
        return false;
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSizeF(9);
    painter.setFont(font);
    const int line = painter.fontMetrics().lineSpacing();
    int y = line * 4;
    const int left = 300 * 2 / 3; // 2/3 inch
    for (const QString &text : TextLines(header, rows)) {
        painter.drawText(left, y, text);
        y += line;
    }
    return painter.end();
}
