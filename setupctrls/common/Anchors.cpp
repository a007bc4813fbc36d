#include "Anchors.h"

#include <QWidget>

namespace {

// One axis: start position and length, growth of the parent.
void Follow(int &pos, int &len, int grow, bool nearSide, bool farSide)
{
    if (nearSide && farSide)
        len += grow;
    else if (farSide)
        pos += grow;
    else if (!nearSide)
        pos += grow / 2;
}

} // namespace

QRect Anchored(const QRect &start, const QSize &from, const QSize &to, TAnchors anchors)
{
    int x = start.x(), y = start.y(), w = start.width(), h = start.height();
    Follow(x, w, to.width() - from.width(), anchors & akLeft, anchors & akRight);
    Follow(y, h, to.height() - from.height(), anchors & akTop, anchors & akBottom);
    return QRect(x, y, w, h);
}

void TAnchorLayout::Place(QWidget *widget, const QRect &box, TAnchors anchors)
{
    widget->setGeometry(box);
    FEntries.append({widget, box, anchors});
}

void TAnchorLayout::Apply(const QSize &size) const
{
    if (!FLayoutSize.isValid())
        return;
    for (const Entry &e : FEntries)
        e.widget->setGeometry(Anchored(e.start, FLayoutSize, size, e.anchors));
}
