// TPanel: a windowed panel filled with the button-face colour, with an
// optional one-pixel outer bevel (raised by default).
#pragma once

#include <QFrame>

class TPanel : public QFrame {
    Q_OBJECT
    Q_PROPERTY(TBevelCut BevelOuter READ BevelOuter WRITE setBevelOuter)

public:
    enum TBevelCut { bvNone, bvLowered, bvRaised };
    Q_ENUM(TBevelCut)

    explicit TPanel(QWidget *parent = nullptr);

    TBevelCut BevelOuter() const { return FBevelOuter; }
    void setBevelOuter(TBevelCut bevel);

private:
    TBevelCut FBevelOuter = bvRaised;
};
