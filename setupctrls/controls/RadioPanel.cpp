#include "RadioPanel.h"

#include "ExactClass.h"
#include "DipSwitch.h"
#include "ThreeJumper.h"
#include "TwoJumper.h"

#include <QApplication>
#include <QComboBox>

TRadioPanel::TRadioPanel(QWidget *parent) : TPanel(parent)
{
    resize(194, 100);
    setBevelOuter(bvNone);
    setVisible(false);
    connect(qApp, &QApplication::focusChanged, this, &TRadioPanel::focusMoved);
}

void TRadioPanel::setFinalAnchors(TAnchors anchors)
{
    if (FHosted)
        FAnchors = anchors;
    FFinalAnchors = anchors;
}

void TRadioPanel::SelectJumper(TTwoJumper *J)
{
    bool changed = false;
    for (QObject *child : children()) {
        auto *jumper = AsExactly<TTwoJumper>(child);
        if (!jumper)
            continue;
        const bool closed = jumper == J;
        changed = changed || jumper->Closed() != closed;
        jumper->setClosed(closed);
    }
    if (changed)
        emit OnRadioChange(J);
}

void TRadioPanel::Host(QWidget *popup)
{
    setParent(popup);
    move(0, 0);
    setVisible(true);
    FAnchors = FFinalAnchors;
    FHosted = true;
}

bool TRadioPanel::event(QEvent *event)
{
    // A window passes its activation and deactivation on to its visible
    // children, so a hosted panel hears of its popup's.
    if (event->type() == QEvent::WindowActivate)
        emit OnActivate(window());
    else if (event->type() == QEvent::WindowDeactivate)
        emit OnDeactivate(window());
    return TPanel::event(event);
}

bool TRadioPanel::isList(const QWidget *w) const
{
    for (; w && w != this; w = w->parentWidget())
        if (qobject_cast<const QComboBox *>(w))
            return true;
    return false;
}

bool TRadioPanel::HasList() const
{
    return findChild<QComboBox *>() != nullptr;
}

void TRadioPanel::FocusFirstList()
{
    QWidget *first = nullptr;
    for (QWidget *w = nextInFocusChain(); w && w != this && holds(w); w = w->nextInFocusChain()) {
        if (!w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus))
            continue;
        if (isList(w)) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (!first)
            first = w;
    }
    if (first && !HasList())
        first->setFocus(Qt::OtherFocusReason);
    else
        setFocus(Qt::OtherFocusReason);
}

void TRadioPanel::focusMoved(QWidget *, QWidget *to)
{
    // Only moves inside this panel's window count: focus coming back from
    // a list's drop-down or with the window's activation returns to the
    // control that had it, which is no move at all.
    if (!to || to->window() != window())
        return;
    const QPointer<QWidget> from = FLastFocus;
    FLastFocus = to;
    if (from == to)
        return;
    const bool entered = holds(to) && !holds(from);
    if (entered && (isList(to) || (to == this && !from)))
        emit OnEnter(this);
}
