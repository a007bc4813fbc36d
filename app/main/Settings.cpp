// Entry point: the application, the main window, the message loop.
#include "LayoutStyle.h"
#include "Platform.h"
#include "template.h"
#include "WindowManager.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    PreferX11();
    QApplication application(argc, argv);
    application.setApplicationName(QStringLiteral("rz4070-setup"));
    UseLayoutLook();
    TMainForm MainForm;
    ShowMaximised(&MainForm);
    return application.exec();
}
