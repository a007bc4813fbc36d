// Modal message boxes that open above every window of the program, the
// top-most popups included, so that none of their text is covered.
#pragma once

#include <QMessageBox>

int ShowMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text,
                   QMessageBox::StandardButtons buttons, const QString &informativeText = QString());
