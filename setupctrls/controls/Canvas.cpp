#include "Canvas.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

int RoundHalfEven(double x)
{
    const double r = std::round(x);
    if (std::fabs(x - std::trunc(x)) == 0.5)
        return 2 * int(std::round(x / 2));
    return int(r);
}

namespace {

uint32_t Pixel(TColor c)
{
    return 0xFF000000u | (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

} // namespace

void TCanvas::Shape(TBox box, double ew, double eh)
{
    // With the pen off the shape covers one pixel less to the right and below.
    const double L = box.left, T = box.top;
    const double R = State.penOn ? box.right : box.right - 1;
    const double B = State.penOn ? box.bottom : box.bottom - 1;
    if (R <= L || B <= T)
        return;
    const double a = std::min(ew, R - L) / 2, c = std::min(eh, B - T) / 2;
    auto inside = [&](int x, int y) {
        const double px = x + 0.5, py = y + 0.5;
        if (px < L || px > R || py < T || py > B)
            return false;
        if (a <= 0 || c <= 0)
            return true;
        const double cx = px < L + a ? L + a : px > R - a ? R - a : px;
        const double cy = py < T + c ? T + c : py > B - c ? B - c : py;
        const double dx = (px - cx) / a, dy = (py - cy) / c;
        return dx * dx + dy * dy <= 1.0;
    };
    const int x0 = std::max(0, box.left), y0 = std::max(0, box.top);
    const int x1 = std::min(FImage.width(), int(std::ceil(R))), y1 = std::min(FImage.height(), int(std::ceil(B)));
    const uint32_t fill = Pixel(State.brush), pen = Pixel(State.pen);
    for (int y = y0; y < y1; ++y) {
        auto *row = reinterpret_cast<uint32_t *>(FImage.scanLine(y));
        for (int x = x0; x < x1; ++x) {
            if (!inside(x, y))
                continue;
            const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
            row[x] = State.penOn && edge ? pen : fill;
        }
    }
}

void TCanvas::Rectangle(TBox box)
{
    Shape(box, 0, 0);
}

void TCanvas::RoundRect(TBox box, int ew, int eh)
{
    Shape(box, ew, eh);
}

void TCanvas::Ellipse(TBox box)
{
    const int w = State.penOn ? box.right - box.left : box.right - box.left - 1;
    const int h = State.penOn ? box.bottom - box.top : box.bottom - box.top - 1;
    Shape(box, w, h);
}

void TCanvas::TextOut(int x, int y, const QString &text, const QString &family, int pixelSize, TColor color)
{
    QPainter painter(&FImage);
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    painter.setFont(font);
    painter.setPen(ToQColor(color));
    painter.drawText(QRect(x, y, FImage.width() - x, FImage.height() - y), Qt::AlignLeft | Qt::AlignTop, text);
}
