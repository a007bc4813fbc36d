// TTwoJumper: a drawn two-pin header with an optional cap. A click fits or
// removes the cap; on a radio-enabled panel the clicked jumper always ends
// fitted and the panel's other two-pin jumpers open.
#pragma once

#include "OrientedControl.h"

class TTwoJumper : public TOrientedControl {
    Q_OBJECT
    Q_PROPERTY(bool Closed READ Closed WRITE setClosed)
    Q_PROPERTY(uint BaseColor READ BaseColor WRITE setBaseColor)
    Q_PROPERTY(uint PinColor READ PinColor WRITE setPinColor)
    Q_PROPERTY(uint JumperColor READ JumperColor WRITE setJumperColor)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)

public:
    explicit TTwoJumper(QWidget *parent = nullptr);

    bool Closed() const { return FClosed; }
    void setClosed(bool value) { Assign(FClosed, value); }
    uint BaseColor() const { return FBaseColor; }
    void setBaseColor(uint color) { Assign(FBaseColor, TColor(color)); }
    uint PinColor() const { return FPinColor; }
    void setPinColor(uint color) { Assign(FPinColor, TColor(color)); }
    uint JumperColor() const { return FJumperColor; }
    void setJumperColor(uint color) { Assign(FJumperColor, TColor(color)); }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void setBorderStyle(TBorderStyle style) { Assign(FBorderStyle, style); }

    struct TLook {
        bool closed;
        TColor background, base, pin, jumper;
        TBorderStyle border;
    };
    // The two-pin picture in the canvas's upright frame.
    static void ComposeTwoJumper(TCanvas &canvas, const TLook &look);

protected:
    void Compose(TCanvas &canvas) override;
    void Click() override;

private:
    bool FClosed = false;
    TColor FBaseColor = 0x808080;
    TColor FJumperColor = 0x000080;
    TColor FPinColor = 0x00FFFF;
    TBorderStyle FBorderStyle = bsSingle;
};
