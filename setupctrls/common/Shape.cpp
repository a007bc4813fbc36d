#include "Shape.h"

#include <QPainter>

TShape::TShape(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TShape::setPenColor(const QColor &color)
{
    if (color == FPenColor)
        return;
    FPenColor = color;
    update();
}

void TShape::setPenWidth(int width)
{
    if (width == FPenWidth)
        return;
    FPenWidth = width;
    update();
}

void TShape::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(FPenColor, FPenWidth));
    painter.setBrush(Qt::NoBrush);
    // The pen's centre line runs half a pen inside the box, so the whole
    // stroke stays inside it.
    const qreal inset = FPenWidth / 2.0;
    painter.drawEllipse(QRectF(rect()).adjusted(inset, inset, -inset, -inset));
}
