#include "RadioPanel.h"

#include "ExactClass.h"
#include "DipSwitch.h"
#include "ThreeJumper.h"
#include "TwoJumper.h"

#include <QApplication>

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

void TRadioPanel::focusMoved(QWidget *from, QWidget *to)
{
    if (holds(to) && !holds(from))
        emit OnEnter(this);
}
