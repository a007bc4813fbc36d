// The windowing platform Setup asks Qt for. Popups open at screen positions
// beside the board, which needs X11 (XWayland on a Wayland desktop): Wayland
// lets no program place its own windows. Wayland alone is the fallback; a
// platform the user names (QT_QPA_PLATFORM) wins. Call before QApplication.
#pragma once

#include <QtGlobal>

inline void PreferX11()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
}
