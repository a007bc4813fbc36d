// Entry point: the application, the main window, the message loop.
#include "LayoutStyle.h"
#include "template.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Popups open at screen positions beside the board, which needs X11 (or
    // XWayland): Wayland lets no program place its own windows. Wayland
    // alone is the fallback; a platform the user names wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    QApplication application(argc, argv);
    UseLayoutLook();
    TMainForm MainForm;
    MainForm.showMaximized();
    return application.exec();
}
