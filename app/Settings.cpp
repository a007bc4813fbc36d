// Entry point: the application, the main window, the message loop.
#include "LayoutStyle.h"
#include "template.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    UseLayoutLook();
    TMainForm MainForm;
    MainForm.showMaximized();
    return application.exec();
}
