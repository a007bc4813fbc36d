// A main window on the simulated card as the program shows it: DAC ranges
// at their start values, maximised, exposed, and the highlights painted
// once, with the pointer parked over the menu bar.
#pragma once

#include "Parts.h"
#include "Wait.h"
#include "Board.h"
#include "Support.h"
#include "template.h"
#include "WindowManager.h"

#include <QAction>
#include <QCursor>
#include <QtTest>

// The popup's outer size: the panel's client size and the frame, at least
// 194 x 122.
inline QSize PopupOuterSize(QSize panelClient, const QMargins &frame)
{
    return (panelClient + QSize(frame.left() + frame.right(), frame.top() + frame.bottom())).expandedTo(QSize(194, 122));
}

struct TShownMainForm {
    // A fresh start: the module state as at process start, before the main
    // window fills it.
    struct TFreshUnit {
        TFreshUnit() { MainUnit.Reset(); }
    } fresh;
    TMainForm form;

    TShownMainForm()
    {
        ShowMaximised(&form);
        if (!QTest::qWaitForWindowExposed(&form, 3 * Patience))
            qFatal("main window not exposed");
        if (!QTest::qWaitFor([&] { return Part<TBoardHighlight>(&form, "DACHighlight")->PaintedOnce() && Part<TBoardHighlight>(&form, "CalibrationHighlight1")->PaintedOnce(); }, Patience))
            qFatal("highlights not painted");
        QCursor::setPos(QPoint(0, 0));
    }

    QAction *entry(const char *name) { return form.findChild<QAction *>(QLatin1String(name)); }

    // The four popups of the layout: menu entry, highlight, and the client
    // size their panel asks for.
    struct TPopupCase {
        const char *entry;
        TBoardHighlight *h;
        QSize panelClient;
    };
    std::array<TPopupCase, 4> popups()
    {
        return {{{"Channels1", Part<TBoardHighlight>(&form, "ChannelHighlight"), {169, 286}},
                 {"BufferTristate1", Part<TBoardHighlight>(&form, "ClampHighlight"), {169, 206}},
                 {"Calibration2", Part<TBoardHighlight>(&form, "CalibrationHighlight0"), {193, 280}},
                 {"DACRange1", Part<TBoardHighlight>(&form, "DACHighlight"), {209, 214}}}};
    }

    // The support windows with the menu items that bring them back; none
    // until the supporter has built them.
    std::array<std::pair<QWidget *, QAction *>, 3> supportWindows()
    {
        TSetupSupporter *sup = Part<TSetupSupporter>(&form, "SetSup");
        return {{{sup->HelpForm(), Part<QAction>(&form, "Howtousethisprogram1")},
                 {sup->TechForm(), Part<QAction>(&form, "TechnicalSupport1")},
                 {sup->PCIForm(), form.findChild<QAction *>(QStringLiteral("DisplayPCI"))}}};
    }

    // Opens a highlight's popup from its menu entry and waits until it shows.
    bool open(TBoardHighlight *h)
    {
        h->MenuItemClick(h);
        return QTest::qWaitFor([h] { return h->Popup() && h->Popup()->isVisible(); }, Patience);
    }
};
