// The soft coloured ring a highlight draws over the photograph.
#pragma once

#include "Colors.h"

#include <QImage>

// Tints `image` (Format_RGB32, a copy of the photograph) with the ring
// inscribed in it: a faint 0.16 tint inside 0.77 of the half-axes, full
// weight on the ellipse at 0.875, nothing at the edge; `bright` doubles the
// weight outside 0.77 and turns the ring's core white. Every weight is
// scaled by `level`.
void DrawRing(QImage &image, bool bright, TColor color, float level);
