// What a user does with the main window's lists and the wizard's buttons,
// for the tests: a choice in a drop-down list, both DAC ranges, and Next
// or Prev until the wizard is at a step.
#pragma once

#include "Parts.h"
#include "template.h"

#include <QComboBox>
#include <QtTest>

// Chooses item `index` of `box`, as a click in its list does.
inline void Choose(QComboBox *box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

inline void ChooseRanges(TMainForm &form, int range0, int range1)
{
    Choose(Part<QComboBox>(&form, "DACBox0"), range0);
    Choose(Part<QComboBox>(&form, "DACBox1"), range1);
}

// Presses Next, or Prev, until the wizard is at `step`: as many presses
// as there are steps at most, then the check fails naming where it stuck.
inline void GoToStep(TMainForm &form, int step)
{
    for (int presses = 0; MainUnit.CalibStep != step && presses < 10; ++presses)
        MainUnit.CalibStep < step ? form.NextClick() : form.PrevClick();
    QVERIFY2(MainUnit.CalibStep == step,
             qPrintable(QStringLiteral("the wizard stayed at step %1 on its way to %2").arg(MainUnit.CalibStep).arg(step)));
}
