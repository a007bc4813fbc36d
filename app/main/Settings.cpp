// Entry point: the application, the main window, the message loop.
#include "LayoutStyle.h"
#include "Platform.h"
#include "template.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    PreferX11();
    QApplication application(argc, argv);
    UseLayoutLook();
    TMainForm MainForm;
    MainForm.showMaximized();
    return application.exec();
}
