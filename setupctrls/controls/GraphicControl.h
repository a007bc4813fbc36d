// TGraphicControl: a windowless control that is clicked. A click is a left
// press and its release inside the control; the second press of a double
// click is not a click. A disabled control receives no clicks. A control
// given a focus policy takes the keyboard focus too: Space then clicks it,
// and while the keyboard brought the focus, a frame drawn just outside it
// shows the focus, so that its own pixels stay as they are.
#pragma once

#include <QPointer>
#include <QWidget>

class QFocusFrame;

class TGraphicControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE setTag)

public:
    explicit TGraphicControl(QWidget *parent = nullptr);

    // A number the program attaches to the control.
    int Tag() const { return FTag; }
    void setTag(int tag) { FTag = tag; }

    // Clicks the control as the mouse would, when it is enabled: for the
    // keyboard and for assistive technology.
    void PerformClick();

signals:
    void OnClick(QObject *Sender);

protected:
    // The control's reaction to a click; raises OnClick by default.
    virtual void Click();

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    bool FPressed = false;
    int FTag = 0;
    QPointer<QFocusFrame> FFocusFrame;
    bool FKeyboardFocus = false; // the keyboard brought the focus
};
