// TGraphicControl: a windowless control that is clicked. A click is a left
// press and its release inside the control; the second press of a double
// click is not a click. A disabled control receives no clicks.
#pragma once

#include <QWidget>

class TGraphicControl : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE setTag)

public:
    using QWidget::QWidget;

    // A number the program attaches to the control.
    int Tag() const { return FTag; }
    void setTag(int tag) { FTag = tag; }

signals:
    void OnClick(QObject *Sender);

protected:
    // The control's reaction to a click; raises OnClick by default.
    virtual void Click();

    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    bool FPressed = false;
    int FTag = 0;
};
