// Anchoring: how a child's box follows its parent's resizing.
#pragma once

#include <QFlags>
#include <QList>
#include <QObject>
#include <QRect>

class QWidget;

namespace Anchoring {
Q_NAMESPACE
enum TAnchorKind { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
Q_DECLARE_FLAGS(TAnchors, TAnchorKind)
Q_FLAG_NS(TAnchors)
} // namespace Anchoring
Q_DECLARE_OPERATORS_FOR_FLAGS(Anchoring::TAnchors)

using Anchoring::TAnchors;
using Anchoring::akLeft;
using Anchoring::akTop;
using Anchoring::akRight;
using Anchoring::akBottom;

// The box `start`, laid out in a parent of size `from`, once the parent is
// `to`. Anchored to both sides of an axis it stretches; to the far side it
// moves with it; to neither it keeps its place relative to the centre.
QRect Anchored(const QRect &start, const QSize &from, const QSize &to, TAnchors anchors);

// Children laid out at one parent size that follow the parent's later
// sizes as their anchors say.
class TAnchorLayout {
public:
    // Places `widget` at `box` for the present layout size and records it.
    void Place(QWidget *widget, const QRect &box, TAnchors anchors);
    // The parent's size at which the recorded boxes were laid out.
    void SetLayoutSize(const QSize &size) { FLayoutSize = size; }
    QSize LayoutSize() const { return FLayoutSize; }
    // Moves every recorded child for the parent's new size.
    void Apply(const QSize &size) const;

private:
    struct Entry {
        QWidget *widget;
        QRect start;
        TAnchors anchors;
    };
    QList<Entry> FEntries;
    QSize FLayoutSize;
};
