// Two-pin and three-pin jumpers and DIP switches: pixels of every worked
// example, the four orientations, clicks, and the value rules.
#include "Jumpers.h"
#include "RadioPanel.h"

#include <QApplication>
#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr QRgb Black = 0xFF000000, White = 0xFFFFFFFF, Grey = 0xFF808080, Yellow = 0xFFFFFF00, DarkRed = 0xFF800000;
constexpr TColor Face = 0xC0C0C0;
constexpr QRgb FaceRgb = 0xFFC0C0C0;

QImage Upright(int w, int h, auto compose)
{
    QImage image(w, h, QImage::Format_RGB32);
    TCanvas canvas(image);
    compose(canvas);
    return image;
}

QImage Two(int w, int h, bool closed)
{
    return Upright(w, h, [&](TCanvas &c) {
        TTwoJumper::ComposeTwoJumper(c, {closed, {Face, 0x808080, 0x00FFFF, 0x000080, TOrientedControl::bsSingle}});
    });
}

QImage Three(int w, int h, TThreeJumper::TJumperState state, TOrientedControl::TBorderStyle border = TOrientedControl::bsSingle)
{
    return Upright(w, h, [&](TCanvas &c) {
        TThreeJumper::ComposeThreeJumper(c, {state, {Face, 0x808080, 0x00FFFF, 0x000080, border}});
    });
}

QImage Dip(int w, int h, int n, uint32_t value)
{
    return Upright(w, h, [&](TCanvas &c) { TDipSwitch::ComposeDipSwitch(c, {n, value, 0xFFFFFF}); });
}

// Every pixel of the box (left, top, right, bottom) has `inside`, and the
// pixels just past its right and bottom edges do not.
void CheckDisc(const QImage &img, int cx, int cy, int d, QRgb inside)
{
    // With the pen off, the filled box is (cx-d .. cx+d-2) on both axes.
    QCOMPARE(img.pixel(cx - d, cy), inside);
    QCOMPARE(img.pixel(cx + d - 2, cy), inside);
    QCOMPARE(img.pixel(cx, cy - d), inside);
    QCOMPARE(img.pixel(cx, cy + d - 2), inside);
    QVERIFY(img.pixel(cx + d - 1, cy) != inside);
    QVERIFY(img.pixel(cx - d - 1, cy) != inside);
    QVERIFY(img.pixel(cx, cy + d - 1) != inside);
}

int CountOf(const QImage &img, QRect area, QRgb colour)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

// What a window system delivers for a quick double click: press, release,
// double-click press, release.
void DoubleClick(QWidget *w)
{
    QTest::mousePress(w, Qt::LeftButton);
    QTest::mouseRelease(w, Qt::LeftButton);
    const QPointF at(w->width() / 2, w->height() / 2);
    QMouseEvent second(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &second);
    QTest::mouseRelease(w, Qt::LeftButton);
}

QImage Grabbed(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestJumpers : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QPalette p = QApplication::palette();
        p.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
        QApplication::setPalette(p);
    }

    void twoPinWorkedExample()
    {
        const QImage open = Two(34, 18, false);
        QCOMPARE(open.pixel(0, 0), FaceRgb); // background outside the rounded base
        QCOMPARE(open.pixel(17, 1), Black);  // base outline along (1, 1, 33, 17)
        QCOMPARE(open.pixel(17, 16), Black);
        QCOMPARE(open.pixel(1, 9), Black);
        QCOMPARE(open.pixel(32, 9), Black);
        QCOMPARE(open.pixel(17, 17), FaceRgb);
        QCOMPARE(open.pixel(33, 9), FaceRgb);
        QCOMPARE(open.pixel(17, 9), Grey);
        QCOMPARE(open.pixel(1, 1), FaceRgb); // rounded corner
        CheckDisc(open, 11, 9, 3, Yellow);  // ellipse (8, 6, 14, 12)
        CheckDisc(open, 23, 9, 3, Yellow);  // ellipse (20, 6, 26, 12)

        const QImage closed = Two(34, 18, true);
        QCOMPARE(closed.pixel(0, 0), Black); // the cap covers the corners
        QCOMPARE(closed.pixel(33, 17), Black);
        QCOMPARE(closed.pixel(17, 1), DarkRed);
        QCOMPARE(closed.pixel(1, 9), DarkRed);
        CheckDisc(closed, 11, 9, 3, Yellow);

        const QImage wide = Two(70, 18, false); // r = 20, radius Round(4.5) = 4
        CheckDisc(wide, 21, 9, 4, Yellow);
        CheckDisc(wide, 49, 9, 4, Yellow);
    }

    void threePinWorkedExamples()
    {
        using J = TThreeJumper;
        const QImage open = Three(43, 18, J::jsOpen);
        QCOMPARE(open.pixel(21, 1), Black); // base (1, 1, 42, 17)
        QCOMPARE(open.pixel(41, 9), Black);
        QCOMPARE(open.pixel(42, 9), FaceRgb);
        QCOMPARE(open.pixel(15, 9), Grey);
        for (int x : {10, 21, 33})
            CheckDisc(open, x, 9, 3, Yellow);

        const QImage left = Three(43, 18, J::jsLeft); // cap (0, 0, 27, 18)
        QCOMPARE(left.pixel(0, 0), Black);
        QCOMPARE(left.pixel(26, 9), Black);
        QCOMPARE(left.pixel(25, 9), DarkRed);
        QCOMPARE(left.pixel(27, 9), Grey);
        QCOMPARE(left.pixel(26, 17), Black);

        const QImage right = Three(43, 18, J::jsRight); // cap (15, 0, 43, 18)
        QCOMPARE(right.pixel(15, 9), Black);
        QCOMPARE(right.pixel(14, 9), Grey);
        QCOMPARE(right.pixel(16, 9), DarkRed);
        QCOMPARE(right.pixel(42, 0), Black);

        const QImage buffer = Three(44, 18, J::jsRight); // cap (15, 0, 44, 18)
        QCOMPARE(buffer.pixel(15, 5), Black);
        QCOMPARE(buffer.pixel(14, 5), Grey);
        for (int x : {10, 22, 34})
            CheckDisc(buffer, x, 9, 3, Yellow);
        const QImage bufferLeft = Three(44, 18, J::jsLeft); // cap (0, 0, 29, 18)
        QCOMPARE(bufferLeft.pixel(28, 4), Black);
        QCOMPARE(bufferLeft.pixel(29, 4), Grey);

        // Without a border the base loses its black outline, the cap keeps it.
        const QImage plain = Three(43, 18, J::jsLeft, TOrientedControl::bsNone);
        QCOMPARE(plain.pixel(35, 1), Grey);
        QCOMPARE(plain.pixel(26, 9), Black);
    }

    void dipSwitchWorkedExamples()
    {
        struct Case { int w, n; QList<int> xs; int e; };
        const Case cases[] = {{53, 3, {5, 21, 37}, 12}, {57, 3, {6, 24, 42}, 13}, {53, 7, {2, 9, 16, 23, 30, 37, 44}, 6}};
        for (const Case &c : cases) {
            const QImage off = Dip(c.w, 43, c.n, 0);
            for (int x : c.xs) {
                QCOMPARE(off.pixel(x, 13), Black);             // slot top-left
                QCOMPARE(off.pixel(x + c.e - 1, 39), Black);   // slot bottom-right
                QCOMPARE(off.pixel(x + c.e, 20), Black);       // body beside it
                QCOMPARE(off.pixel(x + 2, 20), Grey);          // empty slot above the lever
                QCOMPARE(off.pixel(x, 29), Black);             // OFF lever (x, 29, x+e, 40)
                QCOMPARE(off.pixel(x + 2, 31), White);
                QCOMPARE(off.pixel(x + 2, 27), Grey);
            }
            const QImage on = Dip(c.w, 43, c.n, (1u << c.n) - 1);
            for (int x : c.xs) {
                QCOMPARE(on.pixel(x + 2, 15), White);          // ON lever (x, 13, x+e, 24)
                QCOMPARE(on.pixel(x + 2, 23), Black);
                QCOMPARE(on.pixel(x + 2, 26), Grey);
            }
        }
        // The "ON" label is white on the body, in the 13 rows above the slots.
        const QImage label = Dip(57, 43, 3, 0);
        QVERIFY(CountOf(label, QRect(0, 0, 20, 13), White) > 5);
    }

    void grabbedControlsShowTheirPictures()
    {
        QWidget host;
        auto *two = new TTwoJumper(&host);
        two->setClosed(true);
        QCOMPARE(Grabbed(two), Two(34, 18, true));
        auto *three = new TThreeJumper(&host);
        three->resize(44, 18);
        three->setJumperState(TThreeJumper::jsRight);
        QCOMPARE(Grabbed(three), Three(44, 18, TThreeJumper::jsRight));
        auto *dip = new TDipSwitch(&host);
        dip->setBinaryValueStr(QStringLiteral("101"));
        QCOMPARE(Grabbed(dip), Dip(53, 43, 3, 5));
    }

    void orientationMappings()
    {
        QImage upright(5, 3, QImage::Format_RGB32);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                upright.setPixel(x, y, qRgb(x * 40, y * 80, 7));
        const int W = 5, H = 3;
        const QImage down = TOrientedControl::Turn(upright, TOrientedControl::otDown);
        const QImage left = TOrientedControl::Turn(upright, TOrientedControl::otLeft);
        const QImage right = TOrientedControl::Turn(upright, TOrientedControl::otRight);
        QCOMPARE(down.size(), QSize(W, H));
        QCOMPARE(left.size(), QSize(H, W));
        QCOMPARE(right.size(), QSize(H, W));
        QCOMPARE(TOrientedControl::Turn(upright, TOrientedControl::otUp), upright);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                QCOMPARE(down.pixel(W - 1 - x, H - 1 - y), upright.pixel(x, y));
                QCOMPARE(left.pixel(y, W - 1 - x), upright.pixel(x, y));
                QCOMPARE(right.pixel(H - 1 - y, x), upright.pixel(x, y));
            }
    }

    void dacSwitchTurnedDown()
    {
        QWidget host;
        auto *dip = new TDipSwitch(&host);
        dip->resize(57, 43);
        dip->setOrientation(TOrientedControl::otDown);
        dip->setBinaryValueStr(QStringLiteral("100"));
        const QImage img = Grabbed(dip);
        QCOMPARE(img.size(), QSize(57, 43));
        QCOMPARE(img, TOrientedControl::Turn(Dip(57, 43, 3, 4), TOrientedControl::otDown));
        // Switch 1 is the rightmost slot; its ON lever sits at the bottom.
        QCOMPARE(img.pixel(44, 25), White);
        QCOMPARE(img.pixel(44, 15), Grey);
        // The others are OFF: their levers at the top of their slots.
        QCOMPARE(img.pixel(27, 8), White);
        QCOMPARE(img.pixel(9, 8), White);
        // The label stands upside down in the bottom-right corner.
        QVERIFY(CountOf(img, QRect(37, 30, 20, 13), White) > 5);
        QCOMPARE(CountOf(img, QRect(0, 30, 20, 13), White), 0);
    }

    void sizeSwapsAfterFirstPaintOnly()
    {
        QWidget host;
        auto *early = new TTwoJumper(&host);
        early->setOrientation(TOrientedControl::otLeft);
        early->resize(18, 34);
        auto *jumper = new TTwoJumper(&host);
        jumper->move(40, 0);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QTRY_VERIFY(early->PaintedOnce() && jumper->PaintedOnce());
        QCOMPARE(early->size(), QSize(18, 34));
        QVERIFY(!early->SwapPending());

        jumper->setOrientation(TOrientedControl::otDown);
        QVERIFY(!jumper->SwapPending());
        jumper->setOrientation(TOrientedControl::otLeft);
        QVERIFY(jumper->SwapPending());
        QTRY_COMPARE(jumper->size(), QSize(18, 34));
        // Pins one above the other.
        const QImage img = Grabbed(jumper);
        QCOMPARE(img, TOrientedControl::Turn(Two(34, 18, false).copy(), TOrientedControl::otLeft)
                          .convertToFormat(QImage::Format_RGB32));
        QCOMPARE(img.pixel(9, 23), Yellow);
        QCOMPARE(img.pixel(9, 11), Yellow);
        jumper->setOrientation(TOrientedControl::otUp);
        QTRY_COMPARE(jumper->size(), QSize(34, 18));
    }

    void twoPinClicks()
    {
        QWidget host;
        auto *jumper = new TTwoJumper(&host);
        QList<bool> seen;
        connect(jumper, &TTwoJumper::OnClick, this, [&](QObject *s) { seen << static_cast<TTwoJumper *>(s)->Closed(); });
        QTest::mouseClick(jumper, Qt::LeftButton);
        QTest::mouseClick(jumper, Qt::LeftButton);
        QCOMPARE(seen, (QList<bool>{true, false}));
        // A double click: the second press is no click.
        DoubleClick(jumper);
        QCOMPARE(seen.size(), 3);
        QVERIFY(jumper->Closed());
        // Disabled: same look, no clicks.
        const QImage enabled = Grabbed(jumper);
        jumper->setEnabled(false);
        QCOMPARE(Grabbed(jumper), enabled);
        QTest::mouseClick(jumper, Qt::LeftButton);
        QVERIFY(jumper->Closed());
        QCOMPARE(seen.size(), 3);
        // Off a radio panel the background is the button face, whatever the parent's colour.
        QPalette p = host.palette();
        p.setColor(QPalette::Button, Qt::magenta);
        p.setColor(QPalette::Window, Qt::magenta);
        host.setPalette(p);
        jumper->setClosed(false);
        QCOMPARE(Grabbed(jumper).pixel(0, 0), FaceRgb);
    }

    void radioPanel()
    {
        QWidget popup; // outlives the panel it will host
        TRadioPanel panel;
        QCOMPARE(panel.size(), QSize(194, 100));
        QVERIFY(panel.isHidden());
        QCOMPARE(panel.MemoHeight(), 58);
        auto *a = new TTwoJumper(&panel), *b = new TTwoJumper(&panel), *c = new TTwoJumper(&panel);
        auto *three = new TThreeJumper(&panel);
        QSignalSpy changes(&panel, &TRadioPanel::OnRadioChange);
        // Not radio-enabled: independent toggles.
        QTest::mouseClick(a, Qt::LeftButton);
        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(a->Closed() && b->Closed());
        QCOMPARE(changes.size(), 0);

        panel.setRadioEnabled(true);
        QTest::mouseClick(c, Qt::LeftButton);
        QVERIFY(!a->Closed() && !b->Closed() && c->Closed());
        QCOMPARE(changes.size(), 1);
        QTest::mouseClick(c, Qt::LeftButton); // stays closed
        QVERIFY(c->Closed());
        panel.SelectJumper(c); // already the only closed one
        QCOMPARE(changes.size(), 2);
        panel.SelectJumper(c);
        QCOMPARE(changes.size(), 2);
        TTwoJumper stranger;
        panel.SelectJumper(&stranger);
        QVERIFY(!c->Closed());
        QCOMPARE(changes.size(), 3);
        QCOMPARE(three->JumperState(), TThreeJumper::jsOpen);

        // The radio panel's colour is the jumpers' background.
        QPalette p = panel.palette();
        p.setColor(QPalette::Button, QColor(0x10, 0x20, 0x30));
        panel.setPalette(p);
        QCOMPARE(Grabbed(a).pixel(0, 0), qRgb(0x10, 0x20, 0x30));

        panel.setFinalAnchors(akLeft | akTop | akRight);
        QCOMPARE(panel.Anchors(), akLeft | akTop);
        panel.Host(&popup);
        QVERIFY(panel.Hosted());
        QCOMPARE(panel.Anchors(), akLeft | akTop | akRight);
        panel.setFinalAnchors(akLeft | akBottom);
        QCOMPARE(panel.Anchors(), akLeft | akBottom);
        panel.setParent(nullptr);
    }

    void threePinClicks()
    {
        TThreeJumper j;
        QCOMPARE(j.size(), QSize(43, 18));
        QSignalSpy clicks(&j, &TThreeJumper::OnClick);
        QList<int> states;
        for (int i = 0; i < 3; ++i) {
            QTest::mouseClick(&j, Qt::LeftButton, {}, QPoint(40, 9)); // where does not matter
            states << j.JumperState();
        }
        QCOMPARE(states, (QList<int>{TThreeJumper::jsLeft, TThreeJumper::jsRight, TThreeJumper::jsOpen}));
        QCOMPARE(clicks.size(), 3);
        j.setAllowOpen(false);
        QCOMPARE(j.JumperState(), TThreeJumper::jsLeft);
        QTest::mouseClick(&j, Qt::LeftButton);
        QTest::mouseClick(&j, Qt::LeftButton);
        QCOMPARE(j.JumperState(), TThreeJumper::jsLeft);
        QTest::mouseClick(&j, Qt::LeftButton);
        j.setJumperState(TThreeJumper::jsOpen); // refused
        QCOMPARE(j.JumperState(), TThreeJumper::jsRight);
        j.setAllowOpen(true);
        QCOMPARE(j.JumperState(), TThreeJumper::jsRight);
        j.setAllowOpen(false);
        QCOMPARE(j.JumperState(), TThreeJumper::jsRight);
        DoubleClick(&j);
        QCOMPARE(j.JumperState(), TThreeJumper::jsLeft); // one step, not two
    }

    void dipSwitchValues()
    {
        TDipSwitch d;
        QCOMPARE(d.size(), QSize(53, 43));
        d.setBinaryValueStr(QStringLiteral("1x0"));
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("010"));
        QCOMPARE(d.Value(), 2u);
        d.setBinaryValueStr(QStringLiteral("abc"));
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("010"));
        d.setBinaryValueStr(QStringLiteral("10110"));
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("110"));
        QCOMPARE(d.Value(), 6u);
        d.setBinaryValueStr(QStringLiteral("1"));
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("001"));
        QCOMPARE(d.Value(), 1u);
        d.setValue(13);
        QCOMPARE(d.Value(), 5u);
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("101"));
        d.setValue(2); // no bits above N: the string still follows
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("010"));
        d.setValue(5);
        d.setNumSwitches(2);
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("01"));
        QCOMPARE(d.Value(), 1u);
        d.setNumSwitches(3);
        QCOMPARE(d.BinaryValueStr(), QStringLiteral("001"));
        QCOMPARE(d.Value(), 1u);
        // A click changes nothing.
        QTest::mouseClick(&d, Qt::LeftButton);
        QCOMPARE(d.Value(), 1u);
    }

    void dipSwitchOutOfRangeCounts()
    {
        QWidget host;
        auto *none = new TDipSwitch(&host);
        none->setNumSwitches(0);
        QCOMPARE(none->BinaryValueStr(), QString());
        QCOMPARE(none->Value(), 0u);
        QCOMPARE(Grabbed(none).pixel(30, 30), Black); // the body, nothing more

        auto *many = new TDipSwitch(&host);
        many->setNumSwitches(40);
        many->setValue(0xFFFFFFFFu);
        QCOMPARE(many->BinaryValueStr().size(), 40);
        QCOMPARE(many->Value(), 0xFFFFFFFFu);
        QCOMPARE(many->BinaryValueStr(), QString(8, u'0') + QString(32, u'1'));
        many->resize(300, 43);
        QCOMPARE(Grabbed(many).size(), QSize(300, 43));
    }
};

QTEST_MAIN(TestJumpers)
#include "tst_jumpers.moc"
