#include "TrendChart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

const QRgb Ground = qRgb(255, 255, 255);
const QRgb Band = qRgb(204, 238, 204);
const QRgb TargetLine = qRgb(0, 110, 0);
const QRgb Point = qRgb(0, 0, 200);
const QRgb Axis = qRgb(96, 96, 96);
const QRgb Warning = qRgb(200, 0, 0);
constexpr int MinimumCounts = 8;

} // namespace

TTrendScale TrendScale(const TTrendData &data)
{
    const double count = data.voltsPerCount > 0 ? data.voltsPerCount : 1e-3;
    double low = data.target - count, high = data.target + count;
    for (const TTrendPoint &p : data.points) {
        if (p.seconds < data.now - TrendSeconds)
            continue;
        low = std::min(low, p.volts);
        high = std::max(high, p.volts);
    }
    const double room = std::max((high - low) * 0.1, (MinimumCounts * count - (high - low)) / 2);
    return {low - room, high + room};
}

QRect TrendPlotArea(QSize size)
{
    constexpr int CountsAxis = 28, TimeAxis = 10;
    if (size.width() <= 2 * CountsAxis || size.height() <= 3 * TimeAxis)
        return QRect(QPoint(0, 0), size);
    return QRect(CountsAxis, 0, size.width() - CountsAxis, size.height() - TimeAxis);
}

int TrendRow(const TTrendScale &scale, double volts, int height)
{
    const double fraction = (scale.high - volts) / (scale.high - scale.low);
    return std::clamp(int(std::floor(fraction * height)), 0, height - 1);
}

QImage DrawTrend(const TTrendData &data, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Ground);
    if (size.isEmpty())
        return image;
    const TTrendScale scale = data.scale ? *data.scale : TrendScale(data);
    const QRect plot = TrendPlotArea(size);
    const int h = plot.height(), w = plot.width();
    const double count = data.voltsPerCount > 0 ? data.voltsPerCount : 1e-3;
    QPainter painter(&image);
    painter.translate(plot.topLeft());
    const int bandTop = TrendRow(scale, data.target + count, h), bandBottom = TrendRow(scale, data.target - count, h);
    const int line = TrendRow(scale, data.target, h);
    painter.fillRect(QRect(0, bandTop, w, bandBottom - bandTop + 1), QColor(Band));
    painter.fillRect(QRect(0, line, w, 1), QColor(TargetLine));
    for (const TTrendPoint &p : data.points) {
        const double age = data.now - p.seconds;
        if (age > TrendSeconds || age < 0)
            continue;
        const int x = std::clamp(int((TrendSeconds - age) / TrendSeconds * (w - 2)), 0, w - 2);
        const int y = std::clamp(TrendRow(scale, p.volts, h), 0, h - 2);
        painter.fillRect(QRect(x, y, 2, 2), QColor(Point));
    }
    painter.resetTransform();
    if (plot.topLeft() == QPoint(0, 0))
        return image; // too small for axes
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(8);
    painter.setFont(font);
    painter.setPen(QColor(Axis));
    painter.drawLine(plot.left() - 1, plot.top(), plot.left() - 1, plot.bottom() + 1);
    painter.drawLine(plot.left() - 1, plot.bottom() + 1, plot.right(), plot.bottom() + 1);
    // The counts axis: the target's count at its line, the band below it.
    const QRect axis(0, 0, plot.left() - 3, size.height());
    const QString target = QString::number(std::lround(data.target / count));
    painter.setPen(QColor(TargetLine));
    const int labelTop = std::clamp(line - 5, plot.top(), plot.bottom() - 9);
    painter.drawText(QRect(axis.left(), labelTop, axis.width(), 10), Qt::AlignRight | Qt::AlignVCenter, target);
    // The band's label on the side of the target's with more room.
    const int bandLabel = line > plot.center().y() ? labelTop - 10 : labelTop + 10;
    painter.drawText(QRect(axis.left(), bandLabel, axis.width(), 10), Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("±1"));
    // The time axis, in seconds.
    painter.setPen(QColor(Axis));
    const int base = plot.bottom() + 2;
    painter.drawText(QRect(plot.left(), base, 40, 9), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("-10 s"));
    painter.drawText(QRect(plot.center().x() - 20, base, 40, 9), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("-5 s"));
    painter.drawText(QRect(plot.right() - 39, base, 40, 9), Qt::AlignRight | Qt::AlignTop, QStringLiteral("0 s"));
    if (data.belowRange) {
        painter.setPen(QColor(Warning));
        painter.drawText(plot.adjusted(2, 1, -2, 0), Qt::AlignLeft | Qt::AlignTop,
                         QStringLiteral("Reads 0: below the range. Raise the reading."));
    }
    return image;
}

TTrendView::TTrendView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    FClock.start();
}

void TTrendView::Reset(double target, CardIO::TVariant variant)
{
    FData = TTrendData{};
    FCalmSince.reset();
    FClock.restart();
    SetTarget(target, variant);
    update();
}

void TTrendView::SetTarget(double target, CardIO::TVariant variant)
{
    FData.target = target;
    FData.voltsPerCount = CardIO::VoltsPerCount(variant);
    FUnipolar = CardIO::ReadsUnipolar(variant);
    Describe();
}

void TTrendView::Describe()
{
    // The readings themselves are the readout's to say: the description
    // changes, and is told, only with the target or the input's side of
    // the range.
    QString text = QStringLiteral("Target %1 V").arg(CardIO::FormatVolts(FData.target));
    if (FData.belowRange)
        text += QStringLiteral(", the input below the range");
    if (accessibleDescription() != text)
        setAccessibleDescription(text);
}

void TTrendView::Add(double volts, int counts)
{
    AddAt(FClock.elapsed() / 1000.0, volts, counts);
}

void TTrendView::AddAt(double seconds, double volts, int counts)
{
    FData.now = seconds;
    FData.points.append({FData.now, volts});
    // Only the last ten seconds are drawn; keep no more.
    while (!FData.points.isEmpty() && FData.points.first().seconds < FData.now - TrendSeconds)
        FData.points.removeFirst();
    FData.belowRange = FUnipolar && counts <= 0;
    HoldScale();
    Describe();
    update();
}

void TTrendView::HoldScale()
{
    const TTrendScale wanted = TrendScale(FData);
    if (!FData.scale || wanted.low < FData.scale->low || wanted.high > FData.scale->high) {
        const TTrendScale held = FData.scale.value_or(wanted);
        FData.scale = TTrendScale{std::min(held.low, wanted.low), std::max(held.high, wanted.high)};
        FCalmSince.reset();
        return;
    }
    if (wanted.high - wanted.low >= (FData.scale->high - FData.scale->low) / 2) {
        FCalmSince.reset();
        return;
    }
    if (!FCalmSince)
        FCalmSince = FData.now;
    else if (FData.now - *FCalmSince >= CalmSeconds) {
        FData.scale = wanted;
        FCalmSince.reset();
    }
}

void TTrendView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, DrawTrend(FData, size()));
}
