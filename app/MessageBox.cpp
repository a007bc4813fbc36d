#include "MessageBox.h"

int ShowMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text,
                   QMessageBox::StandardButtons buttons, const QString &informativeText)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setInformativeText(informativeText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec();
}
