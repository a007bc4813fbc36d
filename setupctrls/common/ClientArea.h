// A window's client area and the frame around it. For a main window the
// client area is its central widget, where the layout places the
// components; for any other window, the window itself. The frame is read
// from the window system each time: a widget's own frame geometry is
// brought up to date only when its client area moves, which a window
// manager's framing need not do.
#pragma once

#include <QMainWindow>
#include <QMargins>
#include <QWindow>

inline QWidget *ClientArea(QWidget *window)
{
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->centralWidget())
        return main->centralWidget();
    return window;
}

// What the window manager's frame adds on each side of a window.
inline QMargins FrameMargins(const QWidget *window)
{
    const QWindow *handle = window->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The window's outer rectangle on the screen, frame included.
inline QRect OuterGeometry(const QWidget *window)
{
    return window->geometry().marginsAdded(FrameMargins(window));
}
