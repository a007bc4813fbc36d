#include "ClientArea.h"

qint64 CoveredArea(const QRect &r, const QList<QRect> &keepClear)
{
    qint64 covered = 0;
    for (const QRect &k : keepClear) {
        const QRect both = r.intersected(k);
        covered += qint64(both.width()) * both.height();
    }
    return covered;
}

QList<QPoint> PlacesBeside(const QSize &outer, const QRect &area, const QPoint &preferred, const QList<QRect> &beside, int gap)
{
    QList<int> xs{preferred.x(), area.left(), area.right() + 1 - outer.width()};
    QList<int> ys{preferred.y(), area.top(), area.bottom() + 1 - outer.height()};
    for (const QRect &k : beside) {
        xs << k.right() + 1 + gap << k.left() - gap - outer.width();
        ys << k.bottom() + 1 + gap << k.top() - gap - outer.height();
    }
    QList<QPoint> places{HeldWithin(QRect(preferred, outer), area)};
    for (int x : xs)
        for (int y : ys)
            places << HeldWithin(QRect(QPoint(x, y), outer), area);
    return places;
}

QPoint ClearPlace(const QSize &outer, const QRect &area, const QPoint &preferred, const QList<QRect> &keepClear, int gap)
{
    return CheapestPlace(PlacesBeside(outer, area, preferred, keepClear, gap), preferred,
                         [&](const QPoint &p) { return CoveredArea(QRect(p, outer), keepClear); });
}
