#include "Ring.h"

#include "Canvas.h"

#include <cmath>

namespace {

// The coordinate of pixel i of n across -1..1, formed in single precision.
// A single row or column sits on the centre line.
float Axis(int i, float step, int n)
{
    return n > 1 ? float(double(i) * double(step) - 1.0) : 0.0f;
}

} // namespace

void DrawRing(QImage &image, bool bright, TColor color, float level)
{
    const int W = image.width();
    const int H = image.height();
    const float stepX = W > 1 ? float(2.0 / double(W - 1)) : 0.0f;
    const float stepY = H > 1 ? float(2.0 / double(H - 1)) : 0.0f;
    const int col[3] = {int(color >> 16 & 0xFF), int(color >> 8 & 0xFF), int(color & 0xFF)}; // b, g, r
    for (int d = 0; d < H; ++d) {
        const float y = Axis(d, stepY, H);
        auto *row = reinterpret_cast<uint32_t *>(image.scanLine(d));
        for (int e = 0; e < W; ++e) {
            const float x = Axis(e, stepX, W);
            const float r2 = float(double(x) * x + double(y) * y);
            if (r2 >= 1.0f)
                continue;
            double w = 0.16;
            uint32_t pixel = row[e];
            if (double(r2) >= 0.5929) {
                w = 1.0 - 8.0 * std::fabs(std::sqrt(double(r2)) - 0.875);
                if (bright) {
                    w *= 2.0;
                    if (w > 1.0) {
                        pixel = 0x00FFFFFFu;
                        w = 2.0 - w;
                    }
                }
            }
            const double m = w * double(level);
            uint32_t out = row[e] & 0xFF000000u; // the fourth byte stays
            for (int k = 0; k < 3; ++k) {
                const int base = int(pixel >> (8 * k) & 0xFF);
                out |= uint32_t(RoundHalfEven(base * (1.0 - m) + col[k] * m)) << (8 * k);
            }
            row[e] = out;
        }
    }
}
