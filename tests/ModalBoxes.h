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
};

class ModalBoxes : public QObject {
public:
    // Presses `answer` on every box that opens while this object lives.
    explicit ModalBoxes(QMessageBox::StandardButton answer) : m_answer(answer)
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalBoxes::poll);
        m_timer.start(5);
    }

    QList<SeenBox> seen;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.append({box->windowTitle(), box->text(), box->standardButtons()});
        box->button(m_answer)->click();
    }

    QMessageBox::StandardButton m_answer;
    QTimer m_timer;
};
