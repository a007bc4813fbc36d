// A window's client area: for a main window, its central widget, where the
// layout places the components; for any other window, the window itself.
#pragma once

#include <QMainWindow>

inline QWidget *ClientArea(QWidget *window)
{
    if (auto *main = qobject_cast<QMainWindow *>(window); main && main->centralWidget())
        return main->centralWidget();
    return window;
}
