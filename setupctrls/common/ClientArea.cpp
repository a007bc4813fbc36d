#include "ClientArea.h"

#include <limits>

namespace {

// The area of `r` under the rectangles of `keepClear`, summed.
qint64 Covered(const QRect &r, const QList<QRect> &keepClear)
{
    qint64 covered = 0;
    for (const QRect &k : keepClear) {
        const QRect both = r.intersected(k);
        covered += qint64(both.width()) * both.height();
    }
    return covered;
}

} // namespace

QPoint ClearPlace(const QSize &outer, const QRect &area, const QPoint &preferred, const QList<QRect> &keepClear, int gap)
{
    QList<int> xs{preferred.x(), area.left(), area.right() + 1 - outer.width()};
    QList<int> ys{preferred.y(), area.top(), area.bottom() + 1 - outer.height()};
    for (const QRect &k : keepClear) {
        xs << k.right() + 1 + gap << k.left() - gap - outer.width();
        ys << k.bottom() + 1 + gap << k.top() - gap - outer.height();
    }
    QPoint best = HeldWithin(QRect(preferred, outer), area);
    qint64 bestCovered = Covered(QRect(best, outer), keepClear);
    qint64 bestDistance = (best - preferred).manhattanLength();
    for (int x : xs) {
        for (int y : ys) {
            const QPoint p = HeldWithin(QRect(QPoint(x, y), outer), area);
            const qint64 covered = Covered(QRect(p, outer), keepClear);
            const qint64 distance = (p - preferred).manhattanLength();
            if (covered < bestCovered || (covered == bestCovered && distance < bestDistance)) {
                best = p;
                bestCovered = covered;
                bestDistance = distance;
            }
        }
    }
    return best;
}
