// Measures of text and pictures as pixels: what the user sees, not the
// font that was asked for. Ink is any pixel much darker than the image's
// lightest pixel, so black text on white, grey or a tinted face all count.
#pragma once

#include <QImage>
#include <QRect>
#include <QVector>
#include <algorithm>

inline bool IsInk(QRgb pixel) { return qGray(pixel) < 110; }

// The number of ink pixels in the area.
inline int InkCount(const QImage &image, QRect area = {})
{
    area = area.isNull() ? image.rect() : area & image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += IsInk(image.pixel(x, y));
    return count;
}

// The smallest rectangle holding all the area's ink (null without ink).
inline QRect InkBounds(const QImage &image, QRect area = {})
{
    area = area.isNull() ? image.rect() : area & image.rect();
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (IsInk(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// The mean length of the horizontal ink runs: the stroke width of text.
inline double MeanStroke(const QImage &image)
{
    int runs = 0, pixels = 0;
    for (int y = 0; y < image.height(); ++y) {
        bool inRun = false;
        for (int x = 0; x < image.width(); ++x) {
            const bool ink = IsInk(image.pixel(x, y));
            runs += ink && !inRun;
            pixels += ink;
            inRun = ink;
        }
    }
    return runs ? double(pixels) / runs : 0.0;
}

// The widest run of columns without ink between the first and the last
// inked column: letter-spaced text has wide gaps inside its words.
inline int WidestGap(const QImage &image, QRect area)
{
    const QRect ink = InkBounds(image, area);
    int widest = 0, gap = 0;
    for (int x = ink.left(); x <= ink.right(); ++x) {
        gap = InkCount(image, QRect(x, ink.top(), 1, ink.height())) ? 0 : gap + 1;
        widest = std::max(widest, gap);
    }
    return widest;
}

// The share of the area's aligned n x n blocks whose pixels are all alike:
// 1 for a picture scaled up by n pixel for pixel.
inline double WholeBlockShare(const QImage &image, QRect area, int n)
{
    area &= image.rect();
    int blocks = 0, whole = 0;
    for (int y = area.top() - area.top() % n; y + n <= area.bottom() + 1; y += n)
        for (int x = area.left() - area.left() % n; x + n <= area.right() + 1; x += n) {
            if (y < area.top() || x < area.left())
                continue;
            const QRgb first = image.pixel(x, y);
            bool alike = true;
            for (int dy = 0; dy < n && alike; ++dy)
                for (int dx = 0; dx < n && alike; ++dx)
                    alike = image.pixel(x + dx, y + dy) == first;
            ++blocks;
            whole += alike;
        }
    return blocks ? double(whole) / blocks : 0.0;
}
