#include "TwoJumper.h"

#include "AccessibleControls.h"
#include "ExactClass.h"
#include "RadioPanel.h"

#include <algorithm>

TTwoJumper::TTwoJumper(QWidget *parent) : TJumperControl(parent)
{
    resize(34, 18);
    setFocusPolicy(Qt::TabFocus);
}

void TTwoJumper::setClosed(bool value)
{
    if (value == FClosed)
        return;
    Assign(FClosed, value);
    AnnounceStateChange(this);
}

void TTwoJumper::ComposeTwoJumper(TCanvas &canvas, const TLook &look)
{
    const int W = canvas.Width(), H = canvas.Height();
    const TColors &c = look.colors;
    canvas.State = {c.background, true, c.background};
    canvas.Rectangle({0, 0, W, H});
    canvas.State.pen = c.border == bsSingle ? 0x000000 : look.closed ? c.jumper : c.base;
    if (look.closed) {
        canvas.State.brush = c.jumper;
        canvas.Rectangle({0, 0, W, H});
    } else {
        canvas.State.brush = c.base;
        canvas.RoundRect({1, 1, W - 1, H - 1}, H / 2, H / 2);
    }
    const int r = RoundHalfEven(W / 3.5);
    const int cx = r + 1, m = H / 2;
    const int d = std::min(r / 3, RoundHalfEven(H / 4.0));
    canvas.State.penOn = false;
    canvas.State.brush = c.pin;
    canvas.Ellipse({cx - d, m - d, cx + d, m + d});
    canvas.Ellipse({W - cx - d, m - d, W - cx + d, m + d});
}

void TTwoJumper::Compose(TCanvas &canvas)
{
    ComposeTwoJumper(canvas, {FClosed, Colors()});
}

void TTwoJumper::Click()
{
    setClosed(!FClosed);
    if (auto *panel = AsExactly<TRadioPanel>(parent()); panel && panel->RadioEnabled())
        panel->SelectJumper(this);
    emit OnClick(this);
}
