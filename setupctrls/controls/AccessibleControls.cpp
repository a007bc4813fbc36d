#include "AccessibleControls.h"

#include "DipSwitch.h"
#include "ThreeJumper.h"
#include "TwoJumper.h"

#include <QAccessibleWidget>
#include <QWindow>

namespace {

// A two-pin jumper: a check box whose toggle is a click.
class TAccessibleTwoJumper : public TAccessibleClickable {
public:
    explicit TAccessibleTwoJumper(TTwoJumper *jumper)
        : TAccessibleClickable(jumper, QAccessible::CheckBox, toggleAction())
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = Jumper()->Closed();
        return s;
    }

protected:
    void Act() override { Jumper()->PerformClick(); }

private:
    TTwoJumper *Jumper() const { return static_cast<TTwoJumper *>(widget()); }
};

// One part of a drawn control with no object of its own: a cap position
// of a three-pin jumper or a lever of a DIP switch.
class TAccessiblePart : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    TAccessiblePart(QWidget *control, int index) : FControl(control), FIndex(index) {}

    bool isValid() const override { return FControl && FIndex < PartCount(FControl); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return FControl ? FControl->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(FControl); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessibleInterface *focusChild() const override { return nullptr; }
    void setText(QAccessible::Text, const QString &) override {}

    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name || !isValid())
            return {};
        if (auto *jumper = qobject_cast<TThreeJumper *>(FControl))
            return jumper->PositionNames().value(FIndex);
        return QStringLiteral("Switch %1").arg(FIndex + 1);
    }

    // The control's screen rectangle cut in equal parts along its length.
    QRect rect() const override
    {
        if (!isValid() || !FControl->isVisible())
            return {};
        const QRect whole(FControl->mapToGlobal(QPoint(0, 0)), FControl->size());
        const int n = PartCount(FControl);
        if (whole.width() >= whole.height()) {
            const int w = whole.width() / n;
            return {whole.x() + FIndex * w, whole.y(), w, whole.height()};
        }
        const int h = whole.height() / n;
        return {whole.x(), whole.y() + FIndex * h, whole.width(), h};
    }

    QAccessible::Role role() const override
    {
        return qobject_cast<TThreeJumper *>(FControl) ? QAccessible::RadioButton : QAccessible::CheckBox;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        s.checkable = true;
        s.invisible = !FControl->isVisible();
        s.disabled = !FControl->isEnabled();
        if (auto *jumper = qobject_cast<TThreeJumper *>(FControl)) {
            s.checked = jumper->JumperState() == FIndex;
            s.disabled = s.disabled || (FIndex == TThreeJumper::jsOpen && !jumper->AllowOpen());
        } else if (auto *dip = qobject_cast<TDipSwitch *>(FControl)) {
            s.checked = dip->BinaryValueStr().at(FIndex) == u'1';
            s.readOnly = true;
        }
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    // A cap position is pressed to put the cap there; a lever has no
    // action: the switch shows what to set on the card.
    QStringList actionNames() const override
    {
        return qobject_cast<TThreeJumper *>(FControl) && !state().disabled ? QStringList{pressAction()} : QStringList{};
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction() && !state().disabled)
            if (auto *jumper = qobject_cast<TThreeJumper *>(FControl))
                jumper->ChooseState(TThreeJumper::TJumperState(FIndex));
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    static int PartCount(const QWidget *control)
    {
        if (qobject_cast<const TThreeJumper *>(control))
            return 3;
        if (auto *dip = qobject_cast<const TDipSwitch *>(control))
            return int(dip->NumSwitches());
        return 0;
    }

private:
    QPointer<QWidget> FControl;
    int FIndex;
};

// A drawn control whose parts are its children: made when first asked
// for, kept as long as the control's interface.
class TAccessibleGroup : public QAccessibleWidget {
public:
    explicit TAccessibleGroup(QWidget *control) : QAccessibleWidget(control, QAccessible::Grouping) {}
    ~TAccessibleGroup() override
    {
        for (QAccessible::Id id : std::as_const(FParts))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return TAccessiblePart::PartCount(widget()); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        while (FParts.size() <= index)
            FParts << QAccessible::registerAccessibleInterface(new TAccessiblePart(widget(), int(FParts.size())));
        return QAccessible::accessibleInterface(FParts.at(index));
    }
    int indexOfChild(const QAccessibleInterface *part) const override
    {
        for (int i = 0; i < FParts.size(); ++i)
            if (QAccessible::accessibleInterface(FParts.at(i)) == part)
                return i;
        return -1;
    }
    // A jumper's value is the name of the position its cap is in.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            if (auto *jumper = qobject_cast<TThreeJumper *>(widget()))
                return jumper->PositionNames().value(jumper->JumperState());
        return QAccessibleWidget::text(t);
    }

private:
    mutable QList<QAccessible::Id> FParts;
};

QAccessibleInterface *ControlFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TTwoJumper"))
        return new TAccessibleTwoJumper(static_cast<TTwoJumper *>(object));
    if (className == QLatin1String("TThreeJumper") || className == QLatin1String("TDipSwitch"))
        return new TAccessibleGroup(static_cast<QWidget *>(object));
    return nullptr;
}

} // namespace

QStringList TAccessibleClickable::actionNames() const
{
    return QStringList{FAction} << QAccessibleWidget::actionNames();
}

void TAccessibleClickable::doAction(const QString &action)
{
    if (action == FAction)
        Act();
    else
        QAccessibleWidget::doAction(action);
}

QStringList TAccessibleClickable::keyBindingsForAction(const QString &action) const
{
    return action == FAction ? QStringList{QStringLiteral("Space")} : QStringList{};
}

void InstallControlAccessibility()
{
    static const bool installed = (QAccessible::installFactory(ControlFactory), true);
    Q_UNUSED(installed);
}

void AnnounceStateChange(QWidget *control)
{
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent own(control, changed);
    QAccessible::updateAccessibility(&own);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
    for (int i = 0; iface && i < iface->childCount(); ++i) {
        QAccessibleStateChangeEvent part(iface->child(i), changed);
        QAccessible::updateAccessibility(&part);
    }
}
