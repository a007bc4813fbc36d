// Answers the modal message boxes a piece of code opens, recording each.
#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::StandardButtons buttons;
    QString informativeText;
};

class ModalBoxes : public QObject {
public:
    // Presses `answer` on every box that opens while this object lives.
    explicit ModalBoxes(QMessageBox::StandardButton answer) : FAnswer(answer)
    {
        connect(&FTimer, &QTimer::timeout, this, &ModalBoxes::poll);
        FTimer.start(5);
    }

    QList<SeenBox> seen;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.append({box->windowTitle(), box->text(), box->standardButtons(), box->informativeText()});
        box->button(FAnswer)->click();
    }

    QMessageBox::StandardButton FAnswer;
    QTimer FTimer;
};
