#include "Drift.h"

#include "CardIO.h"

#include <QPainter>
#include <map>

std::optional<double> TDriftPoint::Drift() const
{
    const size_t n = found.size();
    if (n < 2 || !found[n - 1] || !left[n - 2])
        return std::nullopt;
    return *found[n - 1] - *left[n - 2];
}

TDrift DriftOf(const std::vector<TCalibrationRecord> &records)
{
    TDrift drift;
    std::map<QString, size_t> index;
    for (size_t k = 0; k < records.size(); ++k) {
        drift.dates.push_back(records[k].Started());
        for (const TPointRecord &p : records[k].Points()) {
            auto [at, added] = index.try_emplace(p.point.Name, drift.points.size());
            if (added)
                drift.points.push_back({p.point.Name, p.point.ToleranceText, {}, {}, {}});
            TDriftPoint &d = drift.points[at->second];
            d.found.resize(k + 1);
            d.left.resize(k + 1);
            d.toleranceCounts.resize(k + 1, 1.0);
            d.toleranceCounts[k] = p.point.Tolerance / CardIO::VoltsPerCount(p.point.Variant);
            if (p.asFound)
                d.found[k] = ErrorCounts(p.point, *p.asFound);
            if (p.asLeft && p.State() != TPointState::CheckAgain)
                d.left[k] = ErrorCounts(p.point, *p.asLeft);
        }
    }
    for (TDriftPoint &d : drift.points) {
        d.found.resize(records.size());
        d.left.resize(records.size());
        d.toleranceCounts.resize(records.size(), 1.0);
    }
    return drift;
}

QColor DriftColour(int point)
{
    static const QRgb colours[] = {0x1f77b4, 0xd62728, 0x2ca02c, 0x9467bd, 0x8c564b, 0xe377c2, 0x7f7f7f, 0xbcbd22, 0x17becf};
    return QColor(colours[point % int(std::size(colours))]);
}

namespace {
constexpr double Reach = 2.0; // shares drawn, either side of zero
}

QPoint DriftPosition(const QRect &area, int k, int n, double share)
{
    const int x = n <= 1 ? area.center().x() : area.left() + 8 + (area.width() - 17) * k / (n - 1);
    const double clamped = std::clamp(share, -Reach, Reach);
    const int y = area.top() + int(std::lround((Reach - clamped) / (2 * Reach) * (area.height() - 1)));
    return {x, y};
}

void PaintDrift(QPainter &painter, const QRect &area, const TDrift &drift)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(area, Qt::white);
    const int n = int(drift.dates.size());
    const QPoint top = DriftPosition(area, 0, n, 1.0), bottom = DriftPosition(area, 0, n, -1.0);
    painter.fillRect(QRect(QPoint(area.left(), top.y()), QPoint(area.right(), bottom.y())), QColor(204, 238, 204));
    painter.setPen(QColor(0, 110, 0));
    const int zero = DriftPosition(area, 0, n, 0.0).y();
    painter.drawLine(area.left(), zero, area.right(), zero);
    for (size_t p = 0; p < drift.points.size(); ++p) {
        const TDriftPoint &d = drift.points[p];
        painter.setPen(QPen(DriftColour(int(p)), 1));
        painter.setBrush(DriftColour(int(p)));
        std::optional<QPoint> before;
        for (int k = 0; k < n; ++k) {
            if (!d.found[size_t(k)]) {
                before.reset();
                continue;
            }
            const QPoint at = DriftPosition(area, k, n, *d.found[size_t(k)] / d.toleranceCounts[size_t(k)]);
            if (before)
                painter.drawLine(*before, at);
            painter.drawRect(QRect(at - QPoint(2, 2), QSize(5, 5)).adjusted(0, 0, -1, -1));
            before = at;
        }
    }
    painter.restore();
}
