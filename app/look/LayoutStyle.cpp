#include "LayoutStyle.h"

#include "Fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QStyleOptionComboBox>
#include <algorithm>

bool OverstrikesBold(const QFont &font, qreal ratio)
{
    if (font.weight() < QFont::DemiBold)
        return false;
    const QString family = QFontInfo(font).family();
    const QStringList styles = QFontDatabase::styles(family);
    const bool ownBold = std::any_of(styles.begin(), styles.end(), [&](const QString &style) {
        return QFontDatabase::weight(family, style) >= QFont::DemiBold;
    });
    return !ownBold && (!QFontDatabase::isScalable(family) || ratio > 1.0);
}

void DrawOverstruck(QPainter &painter, const QRect &rect, int flags, const QString &text)
{
    const qreal pixel = 1.0 / painter.device()->devicePixelRatioF();
    painter.save();
    QFont spaced = painter.font();
    spaced.setLetterSpacing(QFont::AbsoluteSpacing, spaced.letterSpacing() + pixel);
    painter.setFont(spaced);
    painter.drawText(rect, flags, text);
    painter.drawText(QRectF(rect).translated(pixel, 0), flags, text);
    painter.restore();
}

void TLayoutStyle::drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette,
                                bool enabled, const QString &text, QPalette::ColorRole textRole) const
{
    if (text.isEmpty() || !OverstrikesBold(painter->font(), painter->device()->devicePixelRatioF())) {
        QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, textRole);
        return;
    }
    // The pen as the base style chooses it, then the text overstruck.
    painter->save();
    if (textRole != QPalette::NoRole)
        painter->setPen(QPen(palette.brush(textRole), painter->pen().widthF()));
    DrawOverstruck(*painter, rect, flags, text);
    painter->restore();
}

QRect TLayoutStyle::subControlRect(ComplexControl control, const QStyleOptionComplex *option, SubControl part,
                                   const QWidget *widget) const
{
    if (control == CC_ComboBox && (part == SC_ComboBoxArrow || part == SC_ComboBoxEditField)) {
        const QStyleOptionComboBox *box = qstyleoption_cast<const QStyleOptionComboBox *>(option);
        const int frame = box && box->frame ? 2 : 0;
        const QRect all = option->rect;
        const QRect arrow(all.right() + 1 - frame - ArrowWidth, all.top(), ArrowWidth, all.height());
        const QRect field(all.left() + frame, all.top() + frame, arrow.left() - all.left() - frame,
                          all.height() - 2 * frame);
        return visualRect(option->direction, all, part == SC_ComboBoxArrow ? arrow : field);
    }
    return QProxyStyle::subControlRect(control, option, part, widget);
}

void UseLayoutLook()
{
    RegisterFonts();
    // Every window, the popups included, speaks in the layout's font.
    QApplication::setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
    if (!qobject_cast<TLayoutStyle *>(QApplication::style()))
        QApplication::setStyle(new TLayoutStyle);
}
