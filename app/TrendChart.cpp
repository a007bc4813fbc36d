#include "TrendChart.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

const QRgb Ground = qRgb(255, 255, 255);
const QRgb Band = qRgb(204, 238, 204);
const QRgb TargetLine = qRgb(0, 110, 0);
const QRgb Point = qRgb(0, 0, 200);
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
    const TTrendScale scale = TrendScale(data);
    const int h = size.height(), w = size.width();
    const double count = data.voltsPerCount > 0 ? data.voltsPerCount : 1e-3;
    QPainter painter(&image);
    const int bandTop = TrendRow(scale, data.target + count, h), bandBottom = TrendRow(scale, data.target - count, h);
    painter.fillRect(QRect(0, bandTop, w, bandBottom - bandTop + 1), QColor(Band));
    painter.fillRect(QRect(0, TrendRow(scale, data.target, h), w, 1), QColor(TargetLine));
    for (const TTrendPoint &p : data.points) {
        const double age = data.now - p.seconds;
        if (age > TrendSeconds || age < 0)
            continue;
        const int x = std::clamp(int((TrendSeconds - age) / TrendSeconds * (w - 2)), 0, w - 2);
        const int y = std::clamp(TrendRow(scale, p.volts, h), 0, h - 2);
        painter.fillRect(QRect(x, y, 2, 2), QColor(Point));
    }
    return image;
}

TTrendView::TTrendView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    FClock.start();
}

void TTrendView::Reset(double target, double voltsPerCount)
{
    FData = TTrendData{{}, 0, target, voltsPerCount};
    FClock.restart();
    update();
}

void TTrendView::SetTarget(double target, double voltsPerCount)
{
    FData.target = target;
    FData.voltsPerCount = voltsPerCount;
}

void TTrendView::Add(double volts)
{
    FData.now = FClock.elapsed() / 1000.0;
    FData.points.append({FData.now, volts});
    // Only the last ten seconds are drawn; keep no more.
    while (!FData.points.isEmpty() && FData.points.first().seconds < FData.now - TrendSeconds)
        FData.points.removeFirst();
    update();
}

void TTrendView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawImage(0, 0, DrawTrend(FData, size()));
}
