// Entry point: the application, the main window, the message loop.
#include "Fonts.h"
#include "template.h"

#include <QApplication>
#include <QFont>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    RegisterFonts();
    // Every window, the popups included, speaks in the layout's font.
    QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    TMainForm MainForm;
    MainForm.showMaximized();
    return application.exec();
}
