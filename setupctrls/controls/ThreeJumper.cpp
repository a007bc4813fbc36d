#include "ThreeJumper.h"

#include "AccessibleControls.h"

#include <QKeyEvent>

#include <algorithm>

TThreeJumper::TThreeJumper(QWidget *parent) : TJumperControl(parent)
{
    resize(43, 18);
    setFocusPolicy(Qt::TabFocus);
}

void TThreeJumper::setJumperState(TJumperState state)
{
    if (state == jsOpen && !FAllowOpen)
        return;
    if (state == FJumperState)
        return;
    Assign(FJumperState, state);
    AnnounceStateChange(this);
}

void TThreeJumper::setPositionNames(const QStringList &names)
{
    if (names.size() == 3)
        FPositionNames = names;
}

void TThreeJumper::ChooseState(TJumperState state)
{
    if (!isEnabled())
        return;
    setJumperState(state);
    emit OnClick(this);
}

TThreeJumper::TJumperState TThreeJumper::Stepped(int step) const
{
    TJumperState next = TJumperState((FJumperState + 3 + step) % 3);
    if (next == jsOpen && !FAllowOpen)
        next = TJumperState((next + 3 + step) % 3);
    return next;
}

void TThreeJumper::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Down:
        ChooseState(Stepped(1));
        return;
    case Qt::Key_Left:
    case Qt::Key_Up:
        ChooseState(Stepped(-1));
        return;
    default:
        TJumperControl::keyPressEvent(event);
    }
}

void TThreeJumper::setAllowOpen(bool value)
{
    if (value == FAllowOpen)
        return;
    FAllowOpen = value;
    if (!FAllowOpen && FJumperState == jsOpen)
        setJumperState(jsLeft);
    update();
}

void TThreeJumper::ComposeThreeJumper(TCanvas &canvas, const TLook &look)
{
    const int W = canvas.Width(), H = canvas.Height();
    const TColors &c = look.colors;
    canvas.State = {c.background, true, c.background};
    canvas.Rectangle({0, 0, W, H});
    const int r = RoundHalfEven((W - 2) / 4.5);
    const int p = r + 1, cm = W / 2, m = H / 2;
    const int d = std::min(r / 3, RoundHalfEven((H - 2) / 4.0));
    const int q = (cm - p + 2) / 2;
    canvas.State = {c.border == bsSingle ? 0x000000 : c.base, true, c.base};
    canvas.RoundRect({1, 1, W - 1, H - 1}, H / 2, H / 2);
    canvas.State = {0x000000, true, c.jumper};
    if (look.state == jsLeft)
        canvas.Rectangle({0, 0, cm + q, H});
    else if (look.state == jsRight)
        canvas.Rectangle({cm - q, 0, W, H});
    canvas.State.penOn = false;
    canvas.State.brush = c.pin;
    for (int x : {p, cm, W - p})
        canvas.Ellipse({x - d, m - d, x + d, m + d});
}

void TThreeJumper::Compose(TCanvas &canvas)
{
    ComposeThreeJumper(canvas, {FJumperState, Colors()});
}

void TThreeJumper::Click()
{
    setJumperState(Stepped(1));
    emit OnClick(this);
}
