#include "MessageBox.h"

#include <QInputDialog>

int ShowMessageBox(QWidget *parent, QMessageBox::Icon icon, const QString &caption, const QString &text,
                   QMessageBox::StandardButtons buttons, const QString &informativeText)
{
    QMessageBox box(icon, caption, text, buttons, parent);
    box.setInformativeText(informativeText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    return box.exec();
}

std::optional<int> AskForItem(QWidget *parent, const QString &caption, const QString &label, const QStringList &items,
                              int current)
{
    QInputDialog dialog(parent);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(label);
    dialog.setComboBoxItems(items);
    dialog.setComboBoxEditable(false);
    dialog.setTextValue(items.value(current));
    if (dialog.exec() != QDialog::Accepted || !items.contains(dialog.textValue()))
        return std::nullopt;
    return int(items.indexOf(dialog.textValue()));
}
