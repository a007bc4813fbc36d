// TCanvas: the drawing conventions of the jumpers and switches, on a 32-bit
// image. A box is (left, top, right, bottom) with right and bottom
// exclusive. A shape fills with the brush and, with the pen on, outlines
// along the box's inner edge in one pixel; with the pen off only the fill
// is painted and it ends one pixel short of the box's right and bottom
// edges. Curves are decided per pixel centre, so every picture is exact
// and the same on every machine.
#pragma once

#include "Colors.h"

#include <QImage>
#include <QString>

struct TBox {
    int left, top, right, bottom;
};

class TCanvas {
public:
    explicit TCanvas(QImage &image) : FImage(image) {}

    // The pen (outline) and brush (fill); a copy saves and restores them.
    struct TState {
        TColor pen = 0x000000;
        bool penOn = true;
        TColor brush = 0xFFFFFF;
    };
    TState State;

    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }

    void Rectangle(TBox box);
    void RoundRect(TBox box, int ew, int eh);
    void Ellipse(TBox box);
    // Text with a transparent background, its cell's top-left at (x, y).
    void TextOut(int x, int y, const QString &text, const QString &family, int pixelSize, TColor color);

private:
    // Fills the shape of `box` whose corners are quarter ellipses of
    // ew x eh; outlines it when the pen is on.
    void Shape(TBox box, double ew, double eh);

    QImage &FImage;
};

// Rounds to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double x);
