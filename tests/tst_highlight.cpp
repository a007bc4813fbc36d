// Highlight circles: ring pixels, groups, pointer enter and leave, pinning,
// the active look, and the panel refusal.
#include "Board.h"
#include "RadioPanel.h"
#include "Ring.h"

#include <QPushButton>
#include <QtTest>

namespace {

constexpr QRgb Photo = 0xFF204060; // r 0x20, g 0x40, b 0x60

QImage Photograph(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Photo);
    return image;
}

int Blend(int base, int col, double m) { return int(std::nearbyint(base * (1 - m) + col * m)); }

QRgb Tinted(QRgb base, TColor col, double m)
{
    return qRgb(Blend(qRed(base), int(col & 0xFF), m), Blend(qGreen(base), int(col >> 8 & 0xFF), m),
                Blend(qBlue(base), int(col >> 16 & 0xFF), m));
}

// A board with highlights, shown so that they paint.
struct Bench {
    QWidget window;
    TBoardImage *board;
    explicit Bench()
    {
        window.resize(700, 500);
        board = new TBoardImage(&window);
        board->setPicture(Photograph(400, 300));
        board->setCenterOnForm(false);
    }
    TBoardHighlight *add(const QString &title, TBoardHighlight::THighlightType type, QRect r)
    {
        auto *h = new TBoardHighlight(board);
        h->setTitle(title);
        h->setHighlightType(type);
        h->setGeometry(r);
        return h;
    }
    void show()
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
};

// Two calibration highlights sharing a panel, shown: one group.
struct CalibrationGroup {
    Bench b;
    TRadioPanel panel;
    TBoardHighlight *first = b.add("&Calibration", TBoardHighlight::htCalibration, QRect(10, 10, 40, 40));
    TBoardHighlight *second = b.add("&Calibration", TBoardHighlight::htCalibration, QRect(100, 10, 40, 40));
    CalibrationGroup()
    {
        panel.resize(193, 171);
        first->setRadioPanel(&panel);
        second->setRadioPanel(&panel);
        b.show();
    }
};

} // namespace

class TestHighlight : public QObject {
    Q_OBJECT

private slots:
    void ringWorkedExamples()
    {
        QImage medium = Photograph(17, 17), bright = Photograph(17, 17), dim = Photograph(17, 17);
        DrawRing(medium, false, 0x00FFFF, 0.75f);
        DrawRing(bright, true, 0x00FFFF, 1.0f);
        DrawRing(dim, false, 0x00FFFF, 0.5f);
        // Column 1, row 8 sits on the ellipse at 0.875: weight 1.
        QCOMPARE(medium.pixel(1, 8), Tinted(Photo, 0x00FFFF, 0.75));
        QCOMPARE(bright.pixel(1, 8), qRgb(255, 255, 255));
        QCOMPARE(dim.pixel(1, 8), Tinted(Photo, 0x00FFFF, 0.5));
        // The centre gets the faint 0.16 tint in every image.
        QCOMPARE(medium.pixel(8, 8), Tinted(Photo, 0x00FFFF, 0.16 * 0.75));
        QCOMPARE(bright.pixel(8, 8), Tinted(Photo, 0x00FFFF, 0.16 * 1.0));
        QCOMPARE(dim.pixel(8, 8), Tinted(Photo, 0x00FFFF, 0.16 * 0.5));
        for (QPoint corner : {QPoint(0, 0), QPoint(16, 0), QPoint(0, 16), QPoint(16, 16)}) {
            QCOMPARE(medium.pixel(corner), Photo);
            QCOMPARE(bright.pixel(corner), Photo);
        }
        // The fourth byte never changes.
        QImage marked = Photograph(17, 17);
        reinterpret_cast<QRgb *>(marked.scanLine(8))[8] = 0x12204060;
        DrawRing(marked, true, 0x0000FF, 1.0f);
        QCOMPARE(qAlpha(reinterpret_cast<const QRgb *>(marked.constScanLine(8))[8]), 0x12);
    }

    void tinyHighlightsDrawSanely()
    {
        for (QSize s : {QSize(1, 1), QSize(1, 9), QSize(9, 1), QSize(2, 2)}) {
            QImage image = Photograph(s.width(), s.height());
            DrawRing(image, true, 0x0000FF, 1.0f);
            QCOMPARE(image.size(), s);
        }
        QImage single = Photograph(1, 1);
        DrawRing(single, false, 0x0000FF, 0.5f);
        QCOMPARE(single.pixel(0, 0), Tinted(Photo, 0x0000FF, 0.16 * 0.5)); // the centre
    }

    void typesAndLevels()
    {
        TBoardHighlight h;
        QCOMPARE(h.size(), QSize(65, 65));
        QCOMPARE(h.HighlightType(), TBoardHighlight::htSettings);
        QCOMPARE(h.RingColor(), TColor(0x00FFFF));
        QCOMPARE(h.DimLevel(), 0.5f);
        QCOMPARE(h.MediumLevel(), 0.75f);
        h.setHighlightType(TBoardHighlight::htOptions);
        QCOMPARE(h.RingColor(), TColor(0xFF0000));
        QCOMPARE(h.DimLevel(), 0.25f);
        QCOMPARE(h.MediumLevel(), 0.5f);
        QCOMPARE(h.BrightLevel(), 1.0f);
        h.setHighlightType(TBoardHighlight::htCalibration);
        QCOMPARE(h.RingColor(), TColor(0x0000FF));
    }

    void titleForms()
    {
        const QList<QPair<QString, QString>> cases = {
            {"&Channels", "Channels"}, {"&Buffer Tristate", "BufferTristate"}, {"&DAC Range", "DACRange"},
            {"&Calibration", "Calibration"}, {"2nd &Stage", "ndStage"}, {"123", ""}, {"", ""}, {"_ok9", "_ok9"}};
        for (const auto &[title, ident] : cases)
            QCOMPARE(TBoardHighlight::IdentTextOf(title), ident);
        QCOMPARE(TBoardHighlight::CaptionTextOf("&Buffer Tristate"), QStringLiteral("Buffer Tristate"));
    }

    void imagesFollowLitAndActive()
    {
        Bench b;
        auto *h = b.add("&X", TBoardHighlight::htSettings, QRect(10, 10, 30, 20));
        h->setCreatePopup(false);
        b.show();
        QTRY_VERIFY(h->PaintedOnce());
        QCOMPARE(h->grab().toImage().convertToFormat(QImage::Format_RGB32), h->DimImage());
        h->PointerEnter(false);
        QCOMPARE(h->grab().toImage().convertToFormat(QImage::Format_RGB32), h->MediumImage());
        h->SetActiveLook(true, false);
        QCOMPARE(h->grab().toImage().convertToFormat(QImage::Format_RGB32), h->BrightImage());
        h->Unlight();
        QCOMPARE(h->grab().toImage().convertToFormat(QImage::Format_RGB32), h->MediumImage());
        // The images start from the photograph beneath.
        QCOMPARE(h->DimImage().pixel(0, 0), Photo);
    }

    void groupsNeedTitleAndType()
    {
        Bench b;
        auto *a = b.add("&Calibration", TBoardHighlight::htCalibration, QRect(10, 10, 40, 40));
        auto *c = b.add("&Calibration", TBoardHighlight::htCalibration, QRect(100, 10, 40, 40));
        auto *other = b.add("&Calibration", TBoardHighlight::htSettings, QRect(200, 10, 40, 40));
        QCOMPARE(a->Group(), (QList<TBoardHighlight *>{a, c}));
        QCOMPARE(other->Group(), QList<TBoardHighlight *>{other});
        for (auto *h : {a, c, other})
            h->setCreatePopup(false);
        c->PointerEnter(false);
        QVERIFY(a->Lit() && c->Lit());
        QVERIFY(!other->Lit());
        // Off the board there is no group.
        QWidget plain;
        auto *loose = new TBoardHighlight(&plain);
        QVERIFY(loose->Group().isEmpty());
    }

    void sharedPanelOnlyInsideOneGroup()
    {
        Bench b;
        TRadioPanel panel;
        auto *channel = b.add("&Channels", TBoardHighlight::htSettings, QRect(0, 0, 20, 20));
        auto *clamp = b.add("&Buffer", TBoardHighlight::htSettings, QRect(30, 0, 20, 20));
        auto *twin = b.add("&Channels", TBoardHighlight::htSettings, QRect(60, 0, 20, 20));
        TRadioPanel own;
        clamp->setRadioPanel(&own);
        channel->setRadioPanel(&panel);
        clamp->setRadioPanel(&panel); // refused: another group uses it
        QCOMPARE(clamp->RadioPanel(), &own);
        twin->setRadioPanel(&panel); // same group: allowed
        QCOMPARE(twin->RadioPanel(), &panel);
        clamp->setRadioPanel(nullptr);
        QCOMPARE(clamp->RadioPanel(), nullptr);
    }

    void leaveOntoPhotographClosesIntoPopupPins()
    {
        Bench b;
        TRadioPanel panel;
        panel.setGeometry(20, 30, 100, 50);
        auto *h = b.add("&Channels", TBoardHighlight::htSettings, QRect(50, 50, 40, 30));
        h->setRadioPanel(&panel);
        b.show();
        QCursor::setPos(b.window.mapToGlobal(QPoint(60, 60)));
        h->PointerEnter(false);
        QVERIFY(h->Lit());
        QVERIFY(h->Popup() && h->Popup()->isVisible());
        QVERIFY(!h->Pinned());

        // Off onto the photograph: the popup closes, the group darkens.
        QCursor::setPos(b.window.mapToGlobal(QPoint(300, 280)));
        if (h->Popup()->frameGeometry().contains(QCursor::pos()))
            QSKIP("the popup happens to cover that spot");
        h->PointerLeave(false);
        QVERIFY(!h->Popup()->isVisible());
        QVERIFY(!h->Lit());

        // Into the popup: it stays, pinned, and closes when left.
        h->PointerEnter(false);
        QVERIFY(h->Popup()->isVisible());
        QVERIFY(!h->Pinned()); // showing a hidden popup again unpins it
        QCursor::setPos(h->Popup()->frameGeometry().center());
        h->PointerLeave(false);
        QVERIFY(h->Popup()->isVisible());
        QVERIFY(h->Pinned() && h->Popup()->CloseOnLeave());
        QCursor::setPos(QPoint(h->Popup()->frameGeometry().right() + 40, h->Popup()->frameGeometry().bottom() + 40));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(h->Popup(), &leave);
        QVERIFY(!h->Popup()->isVisible());
        QVERIFY(!h->Lit());
        QVERIFY(!h->Popup()->CloseOnLeave());
    }

    void pinnedByClickSurvivesInAndOut()
    {
        Bench b;
        auto *h = b.add("&Channels", TBoardHighlight::htSettings, QRect(50, 50, 40, 30));
        b.show();
        QTest::mouseMove(h, QPoint(5, 5));
        QTRY_VERIFY(h->Popup() && h->Popup()->isVisible());
        QTest::mouseClick(h, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(h->Pinned());
        QVERIFY(!h->Popup()->CloseOnLeave());
        QCursor::setPos(h->Popup()->frameGeometry().center());
        h->PointerLeave(false);
        QCursor::setPos(QPoint(0, 0));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(h->Popup(), &leave);
        QVERIFY(h->Popup()->isVisible());
    }

    void oneWindowPerGroup()
    {
        CalibrationGroup g;
        auto *first = g.first, *second = g.second;
        second->PointerEnter(false);
        QVERIFY(first->Lit() && second->Lit());
        QVERIFY(second->Popup());
        QVERIFY(!first->Popup()); // the group's window already existed
        int popups = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            popups += qobject_cast<TPopupForm *>(w) != nullptr;
        QCOMPARE(popups, 1);
        QCOMPARE(second->Popup()->windowTitle(), QStringLiteral("Calibration"));
        QCOMPARE(second->Popup()->Tag(), int(TBoardHighlight::htCalibration));
    }

    void popupActivationReachesTheGroupAndThePanel()
    {
        CalibrationGroup g;
        auto *first = g.first, *second = g.second;
        QSignalSpy activated(&g.panel, &TRadioPanel::OnActivate);
        QSignalSpy deactivated(&g.panel, &TRadioPanel::OnDeactivate);
        first->PointerEnter(false);
        TPopupForm *popup = first->Popup();
        QVERIFY(popup);
        QCOMPARE(popup->Highlight(), first);
        QTRY_VERIFY(popup->isActiveWindow());
        QTRY_VERIFY(first->Active() && second->Active());
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).value<QObject *>(), popup);

        g.b.window.activateWindow();
        QTRY_VERIFY(!popup->isActiveWindow());
        QTRY_VERIFY(!first->Active() && !second->Active());
        QCOMPARE(deactivated.count(), 1);
        QCOMPARE(deactivated.at(0).at(0).value<QObject *>(), popup);

        // Done closes through the popup's button: the group darkens.
        QTest::mouseClick(popup->DoneButton(), Qt::LeftButton);
        QVERIFY(!popup->isVisible());
        QVERIFY(!first->Lit() && !second->Lit());
    }

    void activeLookRaisesTheGroup()
    {
        Bench b;
        auto *a = b.add("&A", TBoardHighlight::htSettings, QRect(0, 0, 20, 20));
        auto *x = b.add("&X", TBoardHighlight::htSettings, QRect(30, 0, 20, 20));
        auto *a2 = b.add("&A", TBoardHighlight::htSettings, QRect(60, 0, 20, 20));
        auto *y = b.add("&Y", TBoardHighlight::htSettings, QRect(90, 0, 20, 20));
        auto *a3 = b.add("&A", TBoardHighlight::htSettings, QRect(120, 0, 20, 20));
        a2->SetActiveLook(true, true);
        QVERIFY(a->Active() && a2->Active() && a3->Active() && !x->Active());
        // The group ends on top, the other members above a2 in their order.
        QList<QObject *> order;
        for (QObject *child : b.board->children())
            order.append(child);
        QCOMPARE(order, (QList<QObject *>{x, y, a2, a, a3}));
    }

    void startMessage()
    {
        Bench b;
        auto *h = b.add("&Channels", TBoardHighlight::htSettings, QRect(50, 50, 40, 30));
        b.show();
        TShowFirstHighlightEvent start;
        QApplication::sendEvent(b.board, &start); // no First: nothing happens
        QVERIFY(!h->Lit() && !h->Popup());
        b.board->setFirst(h);
        QCursor::setPos(QPoint(0, 0));
        QApplication::sendEvent(b.board, &start);
        QVERIFY(h->Lit());
        QVERIFY(h->Popup() && h->Popup()->isVisible());
        QVERIFY(h->Pinned());
    }
};

QTEST_MAIN(TestHighlight)
#include "tst_highlight.moc"
