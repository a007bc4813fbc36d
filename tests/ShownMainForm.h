// A main window on the simulated card as the program shows it: DAC ranges
// at their start values, maximised, exposed, and the highlights painted
// once, with the pointer parked over the menu bar.
#pragma once

#include "template.h"

#include <QAction>
#include <QCursor>
#include <QtTest>

struct TShownMainForm {
    TMainForm form;

    TShownMainForm()
    {
        DACRange = {0, 0};
        form.showMaximized();
        if (!QTest::qWaitForWindowExposed(&form))
            qFatal("main window not exposed");
        if (!QTest::qWaitFor([&] { return form.DACHighlight->FPaintedOnce && form.CalibrationHighlight1->FPaintedOnce; }))
            qFatal("highlights not painted");
        QCursor::setPos(QPoint(0, 0));
    }

    QAction *entry(const char *name) { return form.findChild<QAction *>(QLatin1String(name)); }

    // Opens a highlight's popup from its menu entry and waits until it shows.
    bool open(TBoardHighlight *h)
    {
        h->MenuItemClick(h);
        return QTest::qWaitFor([h] { return h->FPopup && h->FPopup->isVisible(); });
    }
};
