// Text and pictures as they come out on a real X server, measured in
// pixels: bold that is bold, the 10 pt strike, whole list items, no
// letter-spacing at any device pixel ratio, pictures scaled pixel for pixel.
// Run at ratio 1 and again under QT_SCALE_FACTOR=2.
#include "Parts.h"
#include "ClientArea.h"
#include "Ink.h"
#include "LLTRVWDM.h"
#include "LayoutStyle.h"
#include "ShownMainForm.h"
#include "Support.h"
#include "Wait.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleOptionComboBox>
#include <QtTest>

namespace {

QImage Grab(QWidget *w) { return w->grab().toImage(); }

// The widget drawn with another font, its own font restored afterwards.
QImage GrabWith(QWidget *w, const QFont &font)
{
    const QFont own = w->font();
    w->setFont(font);
    const QImage image = Grab(w);
    w->setFont(own);
    return image;
}

QFont Regular(QFont font)
{
    font.setBold(false);
    return font;
}

// The height of the text's first glyph: within the first band of inked
// columns, the first band of inked rows.
int FirstGlyphHeight(const QImage &image)
{
    const QRect ink = InkBounds(image);
    int right = ink.left();
    while (right <= ink.right() && InkCount(image, QRect(right, 0, 1, image.height())))
        ++right;
    const QRect glyph = InkBounds(image, QRect(ink.left(), 0, right - ink.left(), image.height()));
    int bottom = glyph.top();
    while (bottom <= glyph.bottom() && InkCount(image, QRect(glyph.left(), bottom, glyph.width(), 1)))
        ++bottom;
    return bottom - glyph.top();
}

QRect ToDevice(const QRect &r, qreal ratio)
{
    return QRect(qRound(r.x() * ratio), qRound(r.y() * ratio), qRound(r.width() * ratio), qRound(r.height() * ratio));
}

// The text alone in the font, unclipped, as device pixels at the ratio.
QImage DrawnAlone(const QString &text, const QFont &font, qreal ratio)
{
    QImage image(QSize(400, 60) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    QApplication::style()->drawItemText(&painter, QRect(10, 10, 380, 40), Qt::AlignLeft | Qt::AlignVCenter,
                                        QApplication::palette(), true, text, QPalette::NoRole);
    return image;
}

} // namespace

class TestRendering : public QObject {
    Q_OBJECT

    qreal ratio() const { return qApp->devicePixelRatio(); }

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        UseLayoutLook();
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        qInfo("device pixel ratio %g", ratio());
    }

    // Each bold label, in MS Sans Serif or Tahoma, has wider strokes and
    // more ink than the same label drawn regular.
    void boldLooksBold()
    {
        TShownMainForm s;
        // The cards window once it draws the cards listed: its layout and
        // the text's come from events of their own.
        auto listed = [&]() -> QPlainTextEdit * {
            TPCIForm *cards = Part<TSetupSupporter>(&s.form, "SetSup")->PCIForm();
            return cards && cards->isVisible() && !cards->PCIMemo()->toPlainText().isEmpty()
                       && InkCount(Grab(cards->PCIMemo()->viewport())) > 0 ? cards->PCIMemo() : nullptr;
        };
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&s.form, "SetSup")->HeaderLabel() && listed(); }, Patience));
        QPlainTextEdit *memo = listed();
        const QList<QWidget *> bold = {Part<TSetupSupporter>(&s.form, "SetSup")->HeaderLabel(), memo, Part<QLabel>(&s.form, "Label4"), Part<QLabel>(&s.form, "Label5"),
                                       Part<QLabel>(&s.form, "Label6"), Part<QLabel>(&s.form, "Label7"), Part<QLabel>(&s.form, "Label8"), Part<QLabel>(&s.form, "Label9"), Part<QLabel>(&s.form, "Label11")};
        for (QWidget *w : bold) {
            QVERIFY2(w->font().bold(), qPrintable(w->objectName()));
            QWidget *surface = w == memo ? memo->viewport() : w;
            const QImage asBold = Grab(surface);
            const QImage asRegular = GrabWith(w, Regular(w->font()));
            const double stroke = MeanStroke(asBold), regularStroke = MeanStroke(asRegular);
            const int ink = InkCount(asBold), regularInk = InkCount(asRegular);
            qInfo("%s: stroke %.2f vs %.2f px, ink %d vs %d", qPrintable(w->objectName()), stroke, regularStroke, ink,
                  regularInk);
            QVERIFY2(regularInk > 0, qPrintable(w->objectName()));
            QVERIFY2(stroke >= regularStroke + 0.3, qPrintable(w->objectName()));
            QVERIFY2(ink >= regularInk * 1.15, qPrintable(w->objectName()));
        }
    }

    // The 10 pt labels are drawn larger than the window's 8 pt text; at
    // ratio 1 with the 16-pixel strike, whose capitals are 10 pixels high
    // (the 8 pt strike's are 9).
    void tenPointIsLarger()
    {
        TShownMainForm s;
        for (QLabel *label : {Part<QLabel>(&s.form, "Label3"), Part<QLabel>(&s.form, "Label4")}) {
            QCOMPARE(label->font().pointSize(), 10);
            QFont eight = label->font();
            eight.setPointSize(8);
            const int ten = FirstGlyphHeight(Grab(label));
            const int small = FirstGlyphHeight(GrabWith(label, eight));
            qInfo("%s: first capital %d px at 10 pt, %d px at 8 pt", qPrintable(label->objectName()), ten, small);
            QVERIFY2(ten >= small + qRound(ratio()), qPrintable(label->objectName()));
            if (ratio() == 1.0)
                QCOMPARE(ten, 10);
        }
    }

    // Every DAC range shows whole in its 89-pixel list: as much ink as the
    // text drawn alone, clear of the arrow.
    void dacItemsShowWhole()
    {
        TShownMainForm s;
        for (QComboBox *box : {Part<QComboBox>(&s.form, "DACBox0"), Part<QComboBox>(&s.form, "DACBox1")}) {
            QCOMPARE(box->width(), 89);
            for (int i = 0; i < box->count(); ++i) {
                box->setCurrentIndex(i);
                QStyleOptionComboBox option;
                option.initFrom(box);
                option.frame = true;
                const QRect field = ToDevice(
                    box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box),
                    ratio());
                const QImage drawn = Grab(box);
                const QRect ink = InkBounds(drawn, field);
                const QRect whole = InkBounds(DrawnAlone(box->itemText(i), box->font(), ratio()));
                QVERIFY2(ink.width() == whole.width(), qPrintable(box->itemText(i)));
                QVERIFY2(ink.right() < field.right(), qPrintable(box->itemText(i)));
            }
        }
    }

    // Menu titles are not letter-spaced: no gap inside a word is wider
    // than a third of the text's height (a bitmap face stretched to a
    // larger ratio leaves its letters far apart).
    void noLetterSpacing()
    {
        TShownMainForm s;
        const QImage bar = Grab(Part<QMenuBar>(&s.form, "MainMenu1"));
        int titles = 0;
        for (QAction *action : Part<QMenuBar>(&s.form, "MainMenu1")->actions()) {
            const QRect area = ToDevice(Part<QMenuBar>(&s.form, "MainMenu1")->actionGeometry(action), ratio());
            const QRect ink = InkBounds(bar, area);
            if (ink.isNull())
                continue;
            ++titles;
            const int gap = WidestGap(bar, area);
            qInfo("%s: text %d px high, widest gap %d px", qPrintable(action->text()), ink.height(), gap);
            QVERIFY2(gap * 3 <= ink.height(), qPrintable(action->text()));
        }
        QCOMPARE(titles, 4); // File, Settings, Calibration, Help
    }

    // Above ratio 1 the photograph, the rings, the jumpers and the DIP
    // switches are their composed pictures scaled pixel for pixel.
    void picturesScaleWholePixels()
    {
        const int n = qRound(ratio());
        if (n < 2 || ratio() != n)
            QSKIP("needs an integer device pixel ratio above 1");
        TShownMainForm s;
        for (QWidget *w : std::initializer_list<QWidget *>{Part<TBoardImage>(&s.form, "BoardImage1"), Part<TBoardHighlight>(&s.form, "DACHighlight"), Part<TDipSwitch>(&s.form, "DACDip0"),
                                                           Part<TTwoJumper>(&s.form, "CH0"), Part<TThreeJumper>(&s.form, "BufferJumper"), Part<QLabel>(&s.form, "Image1")}) {
            const QImage image = Grab(w);
            const double share = WholeBlockShare(image, image.rect(), n);
            qInfo("%s: %.4f of %dx%d blocks whole", qPrintable(w->objectName()), share, n, n);
            QVERIFY2(share == 1.0, qPrintable(w->objectName()));
        }
    }

    // The popup's text box keeps the layout's line pitch, 13 pixels of 8 pt
    // text, at every ratio: lines never touch.
    void popupTextLinePitch()
    {
        TShownMainForm s;
        QVERIFY(s.open(Part<TBoardHighlight>(&s.form, "ChannelHighlight")));
        QPlainTextEdit *memo = Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup()->StatusMemo();
        memo->setPlainText(QStringLiteral("HHHH\nHHHH\nHHHH"));
        const QImage image = Grab(memo->viewport());
        QList<int> tops; // the first row of each band of inked rows
        bool inBand = false;
        for (int y = 0; y < image.height(); ++y) {
            const bool ink = InkCount(image, QRect(0, y, image.width(), 1)) > 0;
            if (ink && !inBand)
                tops << y;
            inBand = ink;
        }
        qInfo("line tops in device pixels: %s", qPrintable(QDebug::toString(tops)));
        QVERIFY(tops.size() >= 3);
        QCOMPARE(tops[1] - tops[0], qRound(13 * ratio()));
        QCOMPARE(tops[2] - tops[1], qRound(13 * ratio()));
    }

    // The help window comes up centred over the maximised main window,
    // frames included, start after start.
    void helpCentredOverTheMainWindow()
    {
        for (int start = 0; start < 5; ++start) {
            TShownMainForm s;
            QWidget *help = nullptr;
            QVERIFY(WaitFor([&] {
                help = Part<TSetupSupporter>(&s.form, "SetSup")->HelpForm();
                return help && help->isVisible();
            }, Patience));
            auto offset = [&] { return OuterGeometry(help).center() - OuterGeometry(&s.form).center(); };
            const bool centred = QTest::qWaitFor([&] {
                return s.form.isMaximized() && !FrameMargins(help).isNull() && !FrameMargins(&s.form).isNull()
                       && std::abs(offset().x()) <= 1 && std::abs(offset().y()) <= 1;
            }, Patience);
            const auto where = [](const QWidget *w) {
                const QRect g = w->geometry();
                const QMargins f = FrameMargins(w);
                return QStringLiteral("%1,%2 %3x%4 framed %5 %6 %7 %8").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height())
                    .arg(f.left()).arg(f.top()).arg(f.right()).arg(f.bottom());
            };
            QVERIFY2(centred, qPrintable(QStringLiteral("start %1: off centre by %2,%3; help %4, main %5")
                                             .arg(start).arg(offset().x()).arg(offset().y()).arg(where(help), where(&s.form))));
        }
    }
};

QTEST_MAIN(TestRendering)
#include "tst_rendering.moc"
