#include "OrientedControl.h"

#include "ExactClass.h"
#include "RadioPanel.h"

#include <QApplication>
#include <QPainter>
#include <QTransform>

namespace {

bool Sideways(TOrientedControl::TOrientationType o)
{
    return o == TOrientedControl::otLeft || o == TOrientedControl::otRight;
}

TColor FromQColor(const QColor &c)
{
    return TColor(c.red()) | TColor(c.green()) << 8 | TColor(c.blue()) << 16;
}

} // namespace

TOrientedControl::TOrientedControl(QWidget *parent) : TGraphicControl(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TOrientedControl::setOrientation(TOrientationType orientation)
{
    if (orientation == FOrientation)
        return;
    if (Sideways(orientation) != Sideways(FOrientation))
        FSwapPending = true;
    FOrientation = orientation;
    update();
}

QImage TOrientedControl::Turn(const QImage &upright, TOrientationType orientation)
{
    switch (orientation) {
    case otUp: return upright;
    case otDown: return upright.mirrored(true, true);
    case otLeft: return upright.transformed(QTransform().rotate(270));
    case otRight: return upright.transformed(QTransform().rotate(90));
    }
    return upright;
}

TColor TOrientedControl::BackgroundColor() const
{
    if (const auto *panel = AsExactly<TRadioPanel>(parent()))
        return FromQColor(panel->palette().color(panel->backgroundRole()));
    return FromQColor(QApplication::palette().color(QPalette::Button));
}

void TOrientedControl::paintEvent(QPaintEvent *)
{
    const QSize upright = Sideways(FOrientation) ? QSize(height(), width()) : size();
    if (FUprightImage.size() != upright)
        FUprightImage = QImage(upright, QImage::Format_RGB32);
    TCanvas canvas(FUprightImage);
    Compose(canvas);
    FOrientedImage = Turn(FUprightImage, FOrientation);
    if (FSwapPending) {
        FSwapPending = false;
        if (FPaintedOnce)
            resize(height(), width()); // repaints in the new shape
    }
    QPainter painter(this);
    painter.drawImage(0, 0, FOrientedImage);
    FPaintedOnce = true;
}
