// The platform style with the layout's own text rules:
// - bold text in a face without a bold of its own is overstruck, as the
//   layout's platform draws bold bitmap faces: Qt does not embolden a
//   bitmap face at all, and above a device pixel ratio of 1 it emboldens a
//   scalable one by a fraction of a pixel only;
// - a drop-down list's text runs from its frame to a 13-pixel arrow, so the
//   layout's 89-pixel DAC lists show their items whole.
#pragma once

#include <QProxyStyle>

class QFont;
class QPainter;
class QRect;
class QString;

// Whether bold text in this font is overstruck on a device of this pixel
// ratio: bold requested, the resolved face has no bold of its own, and it
// is a bitmap face or the ratio is above 1.
bool OverstrikesBold(const QFont &font, qreal ratio);

// Overstrike bold: the text twice, one device pixel apart, each character
// advancing one device pixel more; laid out in the rectangle as
// QPainter::drawText lays it out with these flags.
void DrawOverstruck(QPainter &painter, const QRect &rect, int flags, const QString &text);

class TLayoutStyle : public QProxyStyle {
    Q_OBJECT
public:
    // The width of a drop-down list's arrow button.
    static constexpr int ArrowWidth = 13;

    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette, bool enabled,
                      const QString &text, QPalette::ColorRole textRole) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override;
};

// The layout's look for the whole application: its fonts registered, the
// window font (MS Sans Serif 8 pt) for every window, and this style.
void UseLayoutLook();
