// The board view in the main window: popup windows, the highlight menus,
// Previous, Next and Done, and the start message.
#include "Parts.h"
#include "Board.h"
#include "ClientArea.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "ShownMainForm.h"
#include "template.h"

#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QtTest>

namespace {

QStringList TopCaptions(QMenuBar *bar)
{
    QStringList captions;
    for (QAction *a : bar->actions())
        captions << a->text();
    return captions;
}

} // namespace

class TestBoardView : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        LLTRVWDM::LoadDriverLibrary();
    }

    void menusAreBuiltInOrderWithUniqueNames()
    {
        TShownMainForm s;
        QCOMPARE(TopCaptions(Part<QMenuBar>(&s.form, "MainMenu1")),
                 (QStringList{"&File", "&Settings", "&Calibration", "&Help"}));
        auto *settings = s.form.findChild<QMenu *>(QStringLiteral("Settings1"));
        QVERIFY(settings);
        QStringList entries;
        for (QAction *a : settings->actions())
            entries << a->text() + "/" + a->objectName();
        QCOMPARE(entries, (QStringList{"&Channels/Channels1", "&Buffer Tristate/BufferTristate1", "&DAC Range/DACRange1"}));
        auto *calibration = s.form.findChild<QMenu *>(QStringLiteral("Calibration1"));
        QVERIFY(calibration);
        QStringList names;
        for (QAction *a : calibration->actions())
            names << a->objectName();
        // Two highlights, one entry; the history's entries after it.
        QCOMPARE(names, (QStringList{"Calibration2", QString(), "History1", "ImportRecords1"}));
    }

    void optionsMenuGoesBeforeHelp()
    {
        TShownMainForm s;
        auto *info = new TBoardHighlight(Part<TBoardImage>(&s.form, "BoardImage1"));
        info->setHighlightType(TBoardHighlight::htOptions);
        info->setTitle(QStringLiteral("&Features"));
        info->setGeometry(300, 250, 30, 30);
        info->show();
        QTRY_VERIFY(info->PaintedOnce());
        QCOMPARE(TopCaptions(Part<QMenuBar>(&s.form, "MainMenu1")),
                 (QStringList{"&File", "&Settings", "&Calibration", "&Options", "&Help"}));
        QVERIFY(s.form.findChild<QMenu *>(QStringLiteral("Options1")));
        QVERIFY(s.entry("Features1"));
    }

    // The size rule counts the frame: outer width at least 194, outer
    // height at least 122, and never smaller than that first outer size.
    void popupSizes()
    {
        TShownMainForm s;
        for (const TShownMainForm::TPopupCase &c : s.popups()) {
            s.entry(c.entry)->trigger();
            TPopupForm *popup = c.h->Popup();
            QVERIFY2(popup && popup->isVisible(), c.entry);
            const QMargins m = FrameMargins(popup);
            const QSize frame(m.left() + m.right(), m.top() + m.bottom());
            const QSize client = PopupOuterSize(c.panelClient, m) - frame;
            QCOMPARE(popup->size(), client);
            QCOMPARE(popup->frameGeometry().size(), client + frame);
            QCOMPARE(popup->minimumSize(), client);
            const int CH = client.height(), CW = client.width();
            QCOMPARE(popup->PopupStatus()->geometry(), QRect(0, CH - 19, CW, 19));
            QCOMPARE(popup->PreviousButton()->geometry(), QRect(6, CH - 44, 58, 25));
            QCOMPARE(popup->NextButton()->geometry(), QRect((CW - 58) / 2, CH - 44, 58, 25));
            QCOMPARE(popup->DoneButton()->geometry(), QRect(CW - 64, CH - 44, 58, 25));
            QCOMPARE(popup->StatusMemo()->geometry(), QRect(6, CH - 50 - 58, CW - 12, 58));
            QVERIFY(popup->StatusMemo()->isReadOnly());
            QVERIFY(popup->windowFlags() & Qt::WindowStaysOnTopHint);
        }
        QCOMPARE(Part<TRadioPanel>(&s.form, "BufferPanel")->parentWidget(), Part<TBoardHighlight>(&s.form, "ClampHighlight")->Popup());
        QCOMPARE(Part<TRadioPanel>(&s.form, "BufferPanel")->pos(), QPoint(0, 0));
        QVERIFY(Part<TRadioPanel>(&s.form, "BufferPanel")->isVisible());
        QCOMPARE(Part<TBoardHighlight>(&s.form, "ClampHighlight")->Popup()->StatusMemo()->toPlainText(), Part<TRadioPanel>(&s.form, "BufferPanel")->Lines().join('\n'));
        QCOMPARE(Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup()->windowTitle(), QStringLiteral("Channels"));

        // Enlarging moves the buttons with the bottom edge.
        TPopupForm *dac = Part<TBoardHighlight>(&s.form, "DACHighlight")->Popup();
        dac->resize(309, 314);
        QCOMPARE(dac->DoneButton()->geometry(), QRect(309 - 64, 314 - 44, 58, 25));
        QCOMPARE(dac->StatusMemo()->geometry(), QRect(6, 214 - 50 - 58, 309 - 12, 58 + 100));
        QCOMPARE(Part<TRadioPanel>(&s.form, "DACPanel")->geometry(), QRect(0, 0, 209, 105));
    }

    // Where the layout put the panel relative to the board, on the screen:
    // the board's place is taken through the main window's client area.
    void popupPlacedFromTheLayout()
    {
        TShownMainForm s;
        s.entry("DACRange1")->trigger();
        TPopupForm *popup = Part<TBoardHighlight>(&s.form, "DACHighlight")->Popup();
        const QPoint board = Part<TBoardImage>(&s.form, "BoardImage1")->pos();
        QPoint expected = s.form.centralWidget()->mapToGlobal(board - (QPoint(166, 210) - QPoint(592, 24)));
        const QSize screen = QGuiApplication::primaryScreen()->size();
        expected.setX(std::clamp(expected.x(), 0, screen.width() - popup->frameGeometry().width()));
        expected.setY(std::clamp(expected.y(), 0, screen.height() - popup->frameGeometry().height()));
        QCOMPARE(popup->frameGeometry().topLeft(), expected);
    }

    void popupWithoutPanel()
    {
        TShownMainForm s;
        auto *bare = new TBoardHighlight(Part<TBoardImage>(&s.form, "BoardImage1"));
        bare->setTitle(QStringLiteral("&Bare"));
        bare->setGeometry(10, 10, 20, 20);
        bare->show();
        bare->PointerEnter(false);
        TPopupForm *popup = bare->Popup();
        QVERIFY(popup);
        QCOMPARE(popup->frameGeometry().size(), QSize(194, 141));
        QVERIFY(popup->StatusMemo()->toPlainText().isEmpty());
        QTRY_COMPARE(QApplication::focusWidget(), popup->DoneButton());
        // Aligned with the board's left edge, 38 pixels below its bottom,
        // held on the screen.
        const QSize screen = QGuiApplication::primaryScreen()->size();
        const QRect board = Part<TBoardImage>(&s.form, "BoardImage1")->geometry();
        const QPoint below = s.form.centralWidget()->mapToGlobal(QPoint(board.x(), board.bottom() + 1 + 38));
        const QPoint want(std::min(below.x(), screen.width() - 194), std::min(below.y(), screen.height() - 141));
        QCOMPARE(popup->frameGeometry().topLeft(), want);
    }

    void heldOnTheScreen()
    {
        TShownMainForm s;
        const QSize screen = QGuiApplication::primaryScreen()->size();
        Part<TBoardImage>(&s.form, "BoardImage1")->setCenterOnForm(false);
        Part<TBoardImage>(&s.form, "BoardImage1")->move(-900, screen.height() + 500);
        s.entry("Channels1")->trigger();
        TPopupForm *popup = Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup();
        QCOMPARE(popup->frameGeometry().left(), 0);
        QCOMPARE(popup->frameGeometry().bottom() + 1, screen.height());
    }

    void checkMarksAndNavigation()
    {
        TShownMainForm s;
        QAction *channels = s.entry("Channels1"), *buffer = s.entry("BufferTristate1"), *dac = s.entry("DACRange1");
        channels->trigger();
        QVERIFY(channels->isChecked());
        TPopupForm *popup = Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup();
        QVERIFY(Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Pinned());

        QTest::mouseClick(popup->NextButton(), Qt::LeftButton);
        QVERIFY(!popup->isVisible());
        QVERIFY(!channels->isChecked());
        QVERIFY(buffer->isChecked());
        QVERIFY(Part<TBoardHighlight>(&s.form, "ClampHighlight")->Popup()->isVisible());
        QTest::mouseClick(Part<TBoardHighlight>(&s.form, "ClampHighlight")->Popup()->NextButton(), Qt::LeftButton);
        QVERIFY(dac->isChecked());
        QTest::mouseClick(Part<TBoardHighlight>(&s.form, "DACHighlight")->Popup()->NextButton(), Qt::LeftButton);
        QVERIFY(channels->isChecked() && !dac->isChecked());
        QVERIFY(popup->isVisible());
        QTest::mouseClick(popup->PreviousButton(), Qt::LeftButton);
        QVERIFY(dac->isChecked() && !channels->isChecked());

        // Choosing the checked entry closes; Done closes too.
        dac->trigger();
        QVERIFY(!Part<TBoardHighlight>(&s.form, "DACHighlight")->Popup()->isVisible());
        QVERIFY(!dac->isChecked());
        QVERIFY(!Part<TBoardHighlight>(&s.form, "DACHighlight")->Lit());
        buffer->trigger();
        QTest::mouseClick(Part<TBoardHighlight>(&s.form, "ClampHighlight")->Popup()->DoneButton(), Qt::LeftButton);
        QVERIFY(!Part<TBoardHighlight>(&s.form, "ClampHighlight")->Popup()->isVisible());
        QVERIFY(!buffer->isChecked());
    }

    void singleEntryMenuReopensItself()
    {
        TShownMainForm s;
        QAction *calibration = s.entry("Calibration2");
        calibration->trigger();
        TPopupForm *popup = Part<TBoardHighlight>(&s.form, "CalibrationHighlight0")->Popup();
        QVERIFY(popup && popup->isVisible());
        QTest::mouseClick(popup->NextButton(), Qt::LeftButton);
        QVERIFY(popup->isVisible());
        QVERIFY(calibration->isChecked());
        QVERIFY(Part<TBoardHighlight>(&s.form, "CalibrationHighlight0")->Pinned());
        QTest::mouseClick(popup->PreviousButton(), Qt::LeftButton);
        QVERIFY(popup->isVisible());
    }

    void checkedCalibrationEntryClosesTheOtherMembersPopup()
    {
        TShownMainForm s;
        // The second highlight creates the window; the first made the entry.
        Part<TBoardHighlight>(&s.form, "CalibrationHighlight1")->PointerEnter(false);
        QVERIFY(Part<TBoardHighlight>(&s.form, "CalibrationHighlight1")->Popup());
        QVERIFY(!Part<TBoardHighlight>(&s.form, "CalibrationHighlight0")->Popup());
        Part<TBoardHighlight>(&s.form, "CalibrationHighlight1")->PinPopup();
        QAction *calibration = s.entry("Calibration2");
        QVERIFY(calibration->isChecked());
        calibration->trigger();
        QVERIFY(!Part<TBoardHighlight>(&s.form, "CalibrationHighlight1")->Popup()->isVisible());
        QVERIFY(!Part<TBoardHighlight>(&s.form, "CalibrationHighlight0")->Lit() && !Part<TBoardHighlight>(&s.form, "CalibrationHighlight1")->Lit());
    }

    void reshowingDoesNotRebuild()
    {
        TShownMainForm s;
        s.entry("Channels1")->trigger();
        TPopupForm *popup = Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup();
        popup->resize(260, 320);
        popup->StatusMemo()->setPlainText(QStringLiteral("user text"));
        popup->close();
        s.entry("Channels1")->trigger();
        QCOMPARE(Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup(), popup);
        QCOMPARE(popup->size(), QSize(260, 320));
        QCOMPARE(popup->StatusMemo()->toPlainText(), QStringLiteral("user text"));
    }

    void startMessageOpensAndPinsChannels()
    {
        TShownMainForm s;
        TShowFirstHighlightEvent start;
        QApplication::sendEvent(Part<TBoardImage>(&s.form, "BoardImage1"), &start);
        QVERIFY(Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup() && Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Popup()->isVisible());
        QVERIFY(Part<TBoardHighlight>(&s.form, "ChannelHighlight")->Pinned());
        QVERIFY(s.entry("Channels1")->isChecked());
    }

    void boardWithoutMenu()
    {
        QWidget window;
        window.resize(600, 400);
        auto *board = new TBoardImage(&window);
        board->resize(300, 200);
        auto *h = new TBoardHighlight(board);
        h->setTitle(QStringLiteral("&Solo"));
        h->setGeometry(10, 10, 30, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(h->PaintedOnce());
        QVERIFY(!h->Menu());
        h->PointerEnter(false);
        h->PinPopup();
        TPopupForm *popup = h->Popup();
        QTest::mouseClick(popup->NextButton(), Qt::LeftButton);
        QVERIFY(popup->isVisible()); // nothing to step through
        QTest::mouseClick(popup->DoneButton(), Qt::LeftButton);
        QVERIFY(!popup->isVisible());
    }
};

QTEST_MAIN(TestBoardView)
#include "tst_boardview.moc"
