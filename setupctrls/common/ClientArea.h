// A window's client area and the frame around it. For a main window the
// client area is its central widget, where the layout places the
// components; for any other window, the window itself. The frame is read
// from the window system each time: a widget's own frame geometry is
// brought up to date only when its client area moves, which a window
// manager's framing need not do.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QMargins>
#include <QWindow>

inline QWidget *ClientArea(QWidget *window)
{
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->centralWidget())
        return main->centralWidget();
    return window;
}

// What the window manager's frame adds on each side of a window; none
// while it is unknown. Until the manager publishes the frame's extents Qt
// measures the frame window, which may still have its provisional size
// (a side comes out negative): that is not known yet either.
inline QMargins FrameMargins(const QWidget *window)
{
    const QWindow *handle = window->windowHandle();
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    if (frame.left() < 0 || frame.top() < 0 || frame.right() < 0 || frame.bottom() < 0)
        return QMargins();
    return frame;
}

// Where a window's outer rectangle `outer` goes so that it lies within
// `area`: moved back in from any edge it crosses (one wider than the area
// keeps its right edge in).
inline QPoint HeldWithin(const QRect &outer, const QRect &area)
{
    QPoint p = outer.topLeft();
    if (p.x() < area.left())
        p.setX(area.left());
    else if (p.x() + outer.width() > area.right() + 1)
        p.setX(area.right() + 1 - outer.width());
    if (p.y() < area.top())
        p.setY(area.top());
    else if (p.y() + outer.height() > area.bottom() + 1)
        p.setY(area.bottom() + 1 - outer.height());
    return p;
}

// The area of `r` under the rectangles of `keepClear`, summed.
qint64 CoveredArea(const QRect &r, const QList<QRect> &keepClear);

// The places within `area` worth trying for a window of outer size
// `outer`: `preferred`, the area's edges, and `gap` pixels beside, above
// or below each of `beside`, all held within the area.
QList<QPoint> PlacesBeside(const QSize &outer, const QRect &area, const QPoint &preferred, const QList<QRect> &beside,
                           int gap = 8);

// Of `places`, the one of least `cost` (any ordered value of a place), the
// nearest to `preferred` among equals; the first when there is none.
template <typename Cost>
QPoint CheapestPlace(const QList<QPoint> &places, const QPoint &preferred, Cost cost)
{
    QPoint best = places.value(0, preferred);
    auto bestCost = cost(best);
    int bestDistance = (best - preferred).manhattanLength();
    for (const QPoint &p : places) {
        const auto c = cost(p);
        const int distance = (p - preferred).manhattanLength();
        if (c < bestCost || (!(bestCost < c) && distance < bestDistance)) {
            best = p;
            bestCost = c;
            bestDistance = distance;
        }
    }
    return best;
}

// Where a window of outer size `outer` goes within `area`: at `preferred`
// if that covers none of `keepClear`, else at the nearest place beside,
// above or below those rectangles (`gap` pixels off) that covers none of
// them, else where it covers the least of them.
QPoint ClearPlace(const QSize &outer, const QRect &area, const QPoint &preferred, const QList<QRect> &keepClear,
                  int gap = 8);

// The window's outer rectangle on the screen, frame included.
inline QRect OuterGeometry(const QWidget *window)
{
    return window->geometry().marginsAdded(FrameMargins(window));
}

// A widget's rectangle on the screen.
inline QRect ScreenRect(const QWidget *widget)
{
    return {widget->mapToGlobal(QPoint(0, 0)), widget->size()};
}
