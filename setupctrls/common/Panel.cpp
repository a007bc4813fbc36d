#include "Panel.h"

TPanel::TPanel(QWidget *parent) : QFrame(parent)
{
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
}

void TPanel::setBevelOuter(TBevelCut bevel)
{
    if (bevel == FBevelOuter)
        return;
    FBevelOuter = bevel;
    switch (bevel) {
    case bvNone: setFrameStyle(QFrame::NoFrame); break;
    case bvLowered: setFrameStyle(QFrame::Panel | QFrame::Sunken); break;
    case bvRaised: setFrameStyle(QFrame::Panel | QFrame::Raised); break;
    }
}
