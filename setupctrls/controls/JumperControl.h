// TJumperControl: what the two-pin and three-pin jumpers share: the colours
// of base, pins and cap, and the border style.
#pragma once

#include "OrientedControl.h"

class TJumperControl : public TOrientedControl {
    Q_OBJECT
    Q_PROPERTY(uint BaseColor READ BaseColor WRITE setBaseColor)
    Q_PROPERTY(uint PinColor READ PinColor WRITE setPinColor)
    Q_PROPERTY(uint JumperColor READ JumperColor WRITE setJumperColor)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)

public:
    using TOrientedControl::TOrientedControl;

    uint BaseColor() const { return FBaseColor; }
    void setBaseColor(uint color) { Assign(FBaseColor, TColor(color)); }
    uint PinColor() const { return FPinColor; }
    void setPinColor(uint color) { Assign(FPinColor, TColor(color)); }
    uint JumperColor() const { return FJumperColor; }
    void setJumperColor(uint color) { Assign(FJumperColor, TColor(color)); }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void setBorderStyle(TBorderStyle style) { Assign(FBorderStyle, style); }

    // The colours a composition paints with.
    struct TColors {
        TColor background, base, pin, jumper;
        TBorderStyle border;
    };

protected:
    TColors Colors() const { return {BackgroundColor(), FBaseColor, FPinColor, FJumperColor, FBorderStyle}; }

private:
    TColor FBaseColor = 0x808080;   // grey
    TColor FJumperColor = 0x000080; // dark red
    TColor FPinColor = 0x00FFFF;    // yellow
    TBorderStyle FBorderStyle = bsSingle;
};
