// What assistive technology sees of the drawn controls. A two-pin jumper is
// a check box, checked while its cap is fitted, whose action clicks it. A
// three-pin jumper is a group of three radio buttons, one per cap position
// named by PositionNames, whose actions put the cap there. A DIP switch is
// a group of read-only check boxes, "Switch 1" to "Switch N", checked
// where the lever is on. Groups and jumpers are named by the accessible
// name the layout gives the control.
#pragma once

#include <QAccessibleWidget>

class QWidget;

// Registers the interfaces with Qt; done once, by the first drawn control.
void InstallControlAccessibility();

// Tells assistive technology that `control`'s checked state changed: the
// control's own, and each of its parts'.
void AnnounceStateChange(QWidget *control);

// A drawn control with one action, bound to Space, that does what a click
// on it does.
class TAccessibleClickable : public QAccessibleWidget {
public:
    TAccessibleClickable(QWidget *control, QAccessible::Role role, const QString &action)
        : QAccessibleWidget(control, role), FAction(action)
    {
    }
    QStringList actionNames() const override;
    void doAction(const QString &action) override;
    QStringList keyBindingsForAction(const QString &action) const override;

protected:
    // What the action does.
    virtual void Act() = 0;

private:
    QString FAction;
};
