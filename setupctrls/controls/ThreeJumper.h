// TThreeJumper: a drawn three-pin header whose cap joins the left and
// middle pins, the middle and right pins, or is absent. Each click moves
// the cap one step; without AllowOpen the cap is never absent. With the
// keyboard focus, Space clicks it and the arrow keys move the cap one step
// forward (Right, Down) or back (Left, Up).
#pragma once

#include "JumperControl.h"

#include <QStringList>

class TThreeJumper : public TJumperControl {
    Q_OBJECT
    Q_PROPERTY(TJumperState JumperState READ JumperState WRITE setJumperState)
    Q_PROPERTY(bool AllowOpen READ AllowOpen WRITE setAllowOpen)
    Q_PROPERTY(QStringList PositionNames READ PositionNames WRITE setPositionNames)

public:
    enum TJumperState { jsOpen, jsLeft, jsRight };
    Q_ENUM(TJumperState)

    explicit TThreeJumper(QWidget *parent = nullptr);

    TJumperState JumperState() const { return FJumperState; }
    // Ignored when it is jsOpen while AllowOpen is False.
    void setJumperState(TJumperState state);
    bool AllowOpen() const { return FAllowOpen; }
    void setAllowOpen(bool value);
    // What the open, left and right positions mean, in the words of the
    // layout: the names assistive technology gives them.
    const QStringList &PositionNames() const { return FPositionNames; }
    void setPositionNames(const QStringList &names);
    // Puts the cap in `state` as the user's choice: the state changes, as
    // setJumperState allows, and OnClick is raised, as a click raises it.
    void ChooseState(TJumperState state);

    struct TLook {
        TJumperState state;
        TColors colors;
    };
    // The three-pin picture in the canvas's upright frame.
    static void ComposeThreeJumper(TCanvas &canvas, const TLook &look);

protected:
    void Compose(TCanvas &canvas) override;
    void Click() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The state `step` positions on from the present one, open skipped
    // without AllowOpen.
    TJumperState Stepped(int step) const;

    TJumperState FJumperState = jsOpen;
    bool FAllowOpen = true;
    QStringList FPositionNames = {QStringLiteral("Open"), QStringLiteral("Left"), QStringLiteral("Right")};
};
