// TThreeJumper: a drawn three-pin header whose cap joins the left and
// middle pins, the middle and right pins, or is absent. Each click moves
// the cap one step; without AllowOpen the cap is never absent.
#pragma once

#include "JumperControl.h"

class TThreeJumper : public TJumperControl {
    Q_OBJECT
    Q_PROPERTY(TJumperState JumperState READ JumperState WRITE setJumperState)
    Q_PROPERTY(bool AllowOpen READ AllowOpen WRITE setAllowOpen)

public:
    enum TJumperState { jsOpen, jsLeft, jsRight };
    Q_ENUM(TJumperState)

    explicit TThreeJumper(QWidget *parent = nullptr);

    TJumperState JumperState() const { return FJumperState; }
    // Ignored when it is jsOpen while AllowOpen is False.
    void setJumperState(TJumperState state);
    bool AllowOpen() const { return FAllowOpen; }
    void setAllowOpen(bool value);

    struct TLook {
        TJumperState state;
        TColors colors;
    };
    // The three-pin picture in the canvas's upright frame.
    static void ComposeThreeJumper(TCanvas &canvas, const TLook &look);

protected:
    void Compose(TCanvas &canvas) override;
    void Click() override;

private:
    TJumperState FJumperState = jsOpen;
    bool FAllowOpen = true;
};
