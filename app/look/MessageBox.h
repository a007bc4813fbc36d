// Modal message boxes and questions that open above every window of the
// program, the top-most popups included, so that none of their text is
// covered.
#pragma once

#include <QMessageBox>
#include <optional>

int ShowMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text,
                   QMessageBox::StandardButtons buttons, const QString &informativeText = QString());

// Asks for one of `items` (`current` chosen at first); the index of the
// item chosen, or none when the user cancels.
std::optional<int> AskForItem(QWidget *parent, const QString &caption, const QString &label, const QStringList &items,
                              int current);
