// TThreeJumper: a drawn three-pin header whose cap joins the left and
// middle pins, the middle and right pins, or is absent. Each click moves
// the cap one step; without AllowOpen the cap is never absent.
#pragma once

#include "OrientedControl.h"

class TThreeJumper : public TOrientedControl {
    Q_OBJECT
    Q_PROPERTY(TJumperState JumperState READ JumperState WRITE setJumperState)
    Q_PROPERTY(uint BaseColor READ BaseColor WRITE setBaseColor)
    Q_PROPERTY(uint PinColor READ PinColor WRITE setPinColor)
    Q_PROPERTY(uint JumperColor READ JumperColor WRITE setJumperColor)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE setBorderStyle)
    Q_PROPERTY(bool AllowOpen READ AllowOpen WRITE setAllowOpen)

public:
    enum TJumperState { jsOpen, jsLeft, jsRight };
    Q_ENUM(TJumperState)

    explicit TThreeJumper(QWidget *parent = nullptr);

    TJumperState JumperState() const { return FJumperState; }
    // Ignored when it is jsOpen while AllowOpen is False.
    void setJumperState(TJumperState state);
    uint BaseColor() const { return FBaseColor; }
    void setBaseColor(uint color) { Assign(FBaseColor, TColor(color)); }
    uint PinColor() const { return FPinColor; }
    void setPinColor(uint color) { Assign(FPinColor, TColor(color)); }
    uint JumperColor() const { return FJumperColor; }
    void setJumperColor(uint color) { Assign(FJumperColor, TColor(color)); }
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void setBorderStyle(TBorderStyle style) { Assign(FBorderStyle, style); }
    bool AllowOpen() const { return FAllowOpen; }
    void setAllowOpen(bool value);

    struct TLook {
        TJumperState state;
        TColor background, base, pin, jumper;
        TBorderStyle border;
    };
    // The three-pin picture in the canvas's upright frame.
    static void ComposeThreeJumper(TCanvas &canvas, const TLook &look);

protected:
    void Compose(TCanvas &canvas) override;
    void Click() override;

private:
    TJumperState FJumperState = jsOpen;
    TColor FBaseColor = 0x808080;
    TColor FJumperColor = 0x000080;
    TColor FPinColor = 0x00FFFF;
    TBorderStyle FBorderStyle = bsSingle;
    bool FAllowOpen = true;
};
