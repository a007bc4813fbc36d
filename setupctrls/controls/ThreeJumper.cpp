#include "ThreeJumper.h"

#include <algorithm>

TThreeJumper::TThreeJumper(QWidget *parent) : TJumperControl(parent)
{
    resize(43, 18);
}

void TThreeJumper::setJumperState(TJumperState state)
{
    if (state == jsOpen && !FAllowOpen)
        return;
    Assign(FJumperState, state);
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
    TJumperState next = TJumperState((FJumperState + 1) % 3);
    if (next == jsOpen && !FAllowOpen)
        next = jsLeft;
    setJumperState(next);
    emit OnClick(this);
}
