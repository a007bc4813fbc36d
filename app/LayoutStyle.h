// The platform style with the layout's own text rules:
// - bold text in a bitmap face is overstruck, as the layout's platform
//   draws it, since such a face has no bold and Qt does not embolden it;
// - a drop-down list's text runs from its frame to a 15-pixel arrow, so the
//   layout's 89-pixel DAC lists show their items whole.
#pragma once

#include <QProxyStyle>

class QFont;
class QPainter;
class QRect;
class QString;

// Whether Qt would draw this bold font as regular: bold requested, and the
// face resolved for it is a bitmap one.
bool DrawsBoldAsRegular(const QFont &font);

// Overstrike bold: the text twice, one pixel apart, each character
// advancing one pixel more; laid out in the rectangle as QPainter::drawText
// lays it out with these flags.
void DrawOverstruck(QPainter &painter, const QRect &rect, int flags, const QString &text);

class TLayoutStyle : public QProxyStyle {
    Q_OBJECT
public:
    // The width of a drop-down list's arrow button.
    static constexpr int ArrowWidth = 15;

    void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette, bool enabled,
                      const QString &text, QPalette::ColorRole textRole) const override;
    QRect subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                         const QWidget *widget) const override;
};

// The layout's look for the whole application: its fonts registered, the
// window font (MS Sans Serif 8 pt) for every window, and this style.
void UseLayoutLook();
