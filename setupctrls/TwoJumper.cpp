#include "TwoJumper.h"

#include "ExactClass.h"
#include "RadioPanel.h"

#include <algorithm>

TTwoJumper::TTwoJumper(QWidget *parent) : TOrientedControl(parent)
{
    resize(34, 18);
}

void TTwoJumper::ComposeTwoJumper(TCanvas &canvas, const TLook &look)
{
    const int W = canvas.Width(), H = canvas.Height();
    canvas.State = {look.background, true, look.background};
    canvas.Rectangle({0, 0, W, H});
    canvas.State.pen = look.border == bsSingle ? 0x000000 : look.closed ? look.jumper : look.base;
    if (look.closed) {
        canvas.State.brush = look.jumper;
        canvas.Rectangle({0, 0, W, H});
    } else {
        canvas.State.brush = look.base;
        canvas.RoundRect({1, 1, W - 1, H - 1}, H / 2, H / 2);
    }
    const int r = RoundHalfEven(W / 3.5);
    const int cx = r + 1, m = H / 2;
    const int d = std::min(r / 3, RoundHalfEven(H / 4.0));
    canvas.State.penOn = false;
    canvas.State.brush = look.pin;
    canvas.Ellipse({cx - d, m - d, cx + d, m + d});
    canvas.Ellipse({W - cx - d, m - d, W - cx + d, m + d});
}

void TTwoJumper::Compose(TCanvas &canvas)
{
    ComposeTwoJumper(canvas, {FClosed, BackgroundColor(), FBaseColor, FPinColor, FJumperColor, FBorderStyle});
}

void TTwoJumper::Click()
{
    FClosed = !FClosed;
    update();
    if (auto *panel = AsExactly<TRadioPanel>(parent()); panel && panel->RadioEnabled())
        panel->SelectJumper(this);
    emit OnClick(this);
}
