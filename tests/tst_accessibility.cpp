// What assistive technology and the keyboard get of Setup, through Qt's
// accessibility interfaces and real key events: every drawn control named,
// with its role, state and actions; an action doing what a click does; a
// change announced; the keyboard reaching every control.
#include "Parts.h"
#include "LayoutStyle.h"
#include "CheckWindow.h"
#include "ReadoutVoice.h"
#include "ReportWindow.h"
#include "RunWizard.h"
#include "CalibrationSteps.h"
#include "Jumpers.h"
#include "Support.h"
#include "TrendChart.h"
#include "LLTRVWDM.h"
#include "ShownMainForm.h"
#include "Wait.h"
#include "template.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QPushButton>
#include <QtTest>

namespace {

QAccessibleInterface *Of(QObject *o)
{
    return QAccessible::queryAccessibleInterface(o);
}

QAccessibleActionInterface *Actions(QAccessibleInterface *iface)
{
    return iface ? iface->actionInterface() : nullptr;
}

// The option the card is set to, as the jumpers and lists show it.
QString Options(const TMainForm &form)
{
    QString s;
    for (TTwoJumper *j : {Part<TTwoJumper>(&form, "CH0"), Part<TTwoJumper>(&form, "CH1"), Part<TTwoJumper>(&form, "CH2"), Part<TTwoJumper>(&form, "CH3"), Part<TTwoJumper>(&form, "CH4"), Part<TTwoJumper>(&form, "CH5"), Part<TTwoJumper>(&form, "CH6"), Part<TTwoJumper>(&form, "CH7")})
        s += j->Closed() ? u'1' : u'0';
    return s + QStringLiteral(" %1 %2 %3").arg(Part<QComboBox>(&form, "ChannelBox")->currentText()).arg(int(Part<TThreeJumper>(&form, "BufferJumper")->JumperState()))
                   .arg(Part<QComboBox>(&form, "BufferBox")->currentText());
}

// Opens the highlight's popup and makes it the active window.
bool OpenActive(TShownMainForm &f, TBoardHighlight *h)
{
    if (!f.open(h))
        return false;
    h->Popup()->activateWindow();
    return QTest::qWaitFor([h] { return h->Popup()->isActiveWindow(); }, Patience);
}

// The focus after pressing `key` in the focus widget.
QWidget *After(int key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    return QApplication::focusWidget();
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UseLayoutLook();
        LLTRVWDM::LoadDriverLibrary();
    }

    // Jumpers, switches and circles: names in the words of their lists and
    // labels, roles, states and actions, kept current.
    void drawnControlsNamed()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        const std::array channels{Part<TTwoJumper>(&m, "CH0"), Part<TTwoJumper>(&m, "CH1"), Part<TTwoJumper>(&m, "CH2"), Part<TTwoJumper>(&m, "CH3"), Part<TTwoJumper>(&m, "CH4"), Part<TTwoJumper>(&m, "CH5"), Part<TTwoJumper>(&m, "CH6"), Part<TTwoJumper>(&m, "CH7")};
        for (int k = 0; k < 8; ++k) {
            QAccessibleInterface *j = Of(channels[size_t(k)]);
            QVERIFY(j);
            QCOMPARE(j->text(QAccessible::Name), QStringLiteral("CH%1").arg(k));
            QCOMPARE(j->role(), QAccessible::CheckBox);
            QVERIFY(j->state().checkable);
            QVERIFY(!j->state().checked);
            QVERIFY(Actions(j)->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        }
        Part<QComboBox>(&m, "ChannelBox")->setCurrentIndex(3);
        emit Part<QComboBox>(&m, "ChannelBox")->activated(3);
        QVERIFY(Of(Part<TTwoJumper>(&m, "CH2"))->state().checked);

        QAccessibleInterface *buffer = Of(Part<TThreeJumper>(&m, "BufferJumper"));
        QCOMPARE(buffer->text(QAccessible::Name), QStringLiteral("Buffer jumper"));
        QCOMPARE(buffer->role(), QAccessible::Grouping);
        QCOMPARE(buffer->childCount(), 3);
        const QStringList positions{QStringLiteral("Open"), QStringLiteral("BST: Software Tristated"),
                                    QStringLiteral("BEN: Standard")};
        for (int i = 0; i < 3; ++i) {
            QAccessibleInterface *p = buffer->child(i);
            QCOMPARE(p->text(QAccessible::Name), positions[i]);
            QCOMPARE(p->role(), QAccessible::RadioButton);
            QCOMPARE(p->parent(), buffer);
            QCOMPARE(buffer->indexOfChild(p), i);
            QCOMPARE(p->state().checked, i == TThreeJumper::jsRight);
            QCOMPARE(Actions(p)->actionNames(), QStringList{QAccessibleActionInterface::pressAction()});
        }
        QCOMPARE(buffer->text(QAccessible::Value), positions[2]);
        // Without AllowOpen the open position is there but cannot be chosen.
        Part<TThreeJumper>(&m, "BufferJumper")->setAllowOpen(false);
        QVERIFY(buffer->child(0)->state().disabled);
        QVERIFY(Actions(buffer->child(0))->actionNames().isEmpty());
        Part<TThreeJumper>(&m, "BufferJumper")->setAllowOpen(true);

        QVERIFY(f.open(Part<TBoardHighlight>(&m, "DACHighlight")));
        for (auto [dip, name] : {std::pair{Part<TDipSwitch>(&m, "DACDip0"), "DAC 0 switches"}, std::pair{Part<TDipSwitch>(&m, "DACDip1"), "DAC 1 switches"}}) {
            QAccessibleInterface *d = Of(dip);
            QCOMPARE(d->text(QAccessible::Name), QLatin1String(name));
            QCOMPARE(d->role(), QAccessible::Grouping);
            QCOMPARE(d->childCount(), 3);
            for (int i = 0; i < 3; ++i) {
                QAccessibleInterface *lever = d->child(i);
                QCOMPARE(lever->text(QAccessible::Name), QStringLiteral("Switch %1").arg(i + 1));
                QCOMPARE(lever->role(), QAccessible::CheckBox);
                QVERIFY(lever->state().readOnly);
                QVERIFY(Actions(lever)->actionNames().isEmpty()); // it shows what to set on the card
                QVERIFY(d->rect().contains(lever->rect()));
            }
        }
        Part<QComboBox>(&m, "DACBox0")->setCurrentIndex(4); // ±5V: bipolar, 5 V span
        emit Part<QComboBox>(&m, "DACBox0")->activated(4);
        QCOMPARE(Part<TDipSwitch>(&m, "DACDip0")->BinaryValueStr(), QStringLiteral("100"));
        QVERIFY(Of(Part<TDipSwitch>(&m, "DACDip0"))->child(0)->state().checked);
        QVERIFY(!Of(Part<TDipSwitch>(&m, "DACDip0"))->child(1)->state().checked);

        const std::pair<TBoardHighlight *, const char *> circles[] = {
            {Part<TBoardHighlight>(&m, "ChannelHighlight"), "Channels"}, {Part<TBoardHighlight>(&m, "ClampHighlight"), "Buffer Tristate"},
            {Part<TBoardHighlight>(&m, "CalibrationHighlight0"), "Calibration"}, {Part<TBoardHighlight>(&m, "CalibrationHighlight1"), "Calibration"}, {Part<TBoardHighlight>(&m, "DACHighlight"), "DAC Range"}};
        for (const auto &[h, name] : circles) {
            QAccessibleInterface *c = Of(h);
            QCOMPARE(c->text(QAccessible::Name), QLatin1String(name));
            QCOMPARE(c->role(), QAccessible::Button);
            QVERIFY(Actions(c)->actionNames().contains(QAccessibleActionInterface::pressAction()));
        }
    }

    // Windows, texts, lists and readouts carry names a screen reader reads.
    void windowsAndTextsNamed()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        for (const TShownMainForm::TPopupCase &c : f.popups()) {
            QVERIFY(f.open(c.h));
            QAccessibleInterface *popup = Of(c.h->Popup());
            QCOMPARE(popup->role(), QAccessible::Dialog);
            QCOMPARE(popup->text(QAccessible::Name), c.h->CaptionText());
            QCOMPARE(Of(c.h->Popup()->StatusMemo())->text(QAccessible::Name), QStringLiteral("About ") + c.h->CaptionText());
            c.h->Popup()->close();
        }
        const std::pair<QComboBox *, const char *> lists[] = {
            {Part<QComboBox>(&m, "ChannelBox"), "Channel"}, {Part<QComboBox>(&m, "BufferBox"), "Buffer"}, {Part<QComboBox>(&m, "DACBox0"), "DAC 0 range"}, {Part<QComboBox>(&m, "DACBox1"), "DAC 1 range"}};
        for (const auto &[box, name] : lists)
            QCOMPARE(Of(box)->text(QAccessible::Name), QLatin1String(name));
        // The readouts, labelled by their captions, keep their names while
        // their numbers change ten times a second; the reading is told
        // through the volts readout's name (below).
        for (auto [readout, caption, name] : {std::tuple{Part<QLabel>(&m, "ReadCount"), Part<QLabel>(&m, "Label9"), "Counts"},
                                              std::tuple{Part<QLabel>(&m, "ReadVolt"), Part<QLabel>(&m, "Label11"), "Reading"}}) {
            readout->setText(QStringLiteral("127"));
            QCOMPARE(Of(readout)->text(QAccessible::Name), QLatin1String(name));
            const auto labels = Of(readout)->relations(QAccessible::Label);
            QVERIFY(std::any_of(labels.begin(), labels.end(), [&](const auto &r) { return r.first->object() == caption; }));
        }
        QCOMPARE(Part<QLabel>(&m, "Label9")->text(), QStringLiteral("COUNTS"));
        QCOMPARE(Of(Part<QLabel>(&m, "Image1"))->text(QAccessible::Name), QStringLiteral("Trimmer pots"));
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&m, "SetSup")->HelpForm() && Part<TSetupSupporter>(&m, "SetSup")->TechForm(); }, Patience));
        QCOMPARE(Of(Part<TSetupSupporter>(&m, "SetSup")->HelpForm()->HelpRich())->text(QAccessible::Name), QStringLiteral("How to use this program"));
        QCOMPARE(Of(Part<TSetupSupporter>(&m, "SetSup")->TechForm()->Memo())->text(QAccessible::Name), QStringLiteral("Technical Support"));
    }

    // An accessible action changes the options exactly as a click does.
    void actionDoesWhatAClickDoes()
    {
        QString clicked, acted;
        {
            TShownMainForm f;
            QTest::mouseClick(Part<TTwoJumper>(&f.form, "CH5"), Qt::LeftButton);
            QTest::mouseClick(Part<TTwoJumper>(&f.form, "CH3"), Qt::LeftButton);
            QTest::mouseClick(Part<TThreeJumper>(&f.form, "BufferJumper"), Qt::LeftButton); // right -> open
            clicked = Options(f.form);
            QTest::mouseClick(Part<TThreeJumper>(&f.form, "BufferJumper"), Qt::LeftButton); // open -> left
            clicked += u'|' + Options(f.form);
        }
        {
            TShownMainForm f;
            Actions(Of(Part<TTwoJumper>(&f.form, "CH5")))->doAction(QAccessibleActionInterface::toggleAction());
            Actions(Of(Part<TTwoJumper>(&f.form, "CH3")))->doAction(QAccessibleActionInterface::toggleAction());
            QAccessibleInterface *buffer = Of(Part<TThreeJumper>(&f.form, "BufferJumper"));
            Actions(buffer->child(TThreeJumper::jsOpen))->doAction(QAccessibleActionInterface::pressAction());
            acted = Options(f.form);
            Actions(buffer->child(TThreeJumper::jsLeft))->doAction(QAccessibleActionInterface::pressAction());
            acted += u'|' + Options(f.form);
        }
        QCOMPARE(acted, clicked);
        QCOMPARE(acted, QStringLiteral("00010000 CH3 0 Standard|00010000 CH3 1 Software Tristated"));

        // A circle's press opens its popup and keeps it open.
        TShownMainForm f;
        Actions(Of(Part<TBoardHighlight>(&f.form, "DACHighlight")))->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(Part<TBoardHighlight>(&f.form, "DACHighlight")->Popup() && Part<TBoardHighlight>(&f.form, "DACHighlight")->Popup()->isVisible());
        QVERIFY(Part<TBoardHighlight>(&f.form, "DACHighlight")->Pinned());
        QTest::mouseMove(Part<TBoardHighlight>(&f.form, "ChannelHighlight")->parentWidget(), QPoint(1, 1));
        QVERIFY(Part<TBoardHighlight>(&f.form, "DACHighlight")->Popup()->isVisible());
    }

    // The reading is told with its meaning and unit at once, then at most
    // once a second however often it changes, and once more with the
    // value it settled at; the same words again are not told.
    void readoutToldAtMostOnceASecond()
    {
        QLabel speaker;
        speaker.setAccessibleName(QStringLiteral("Reading"));
        auto *voice = new TReadoutVoice(&speaker);
        QStringList told;
        auto listen = [&] {
            if (told.value(told.size() - 1) != speaker.accessibleName())
                told << speaker.accessibleName();
        };
        auto reading = [](int k) { return QStringLiteral("%1 counts, 0.%2 volts").arg(k).arg(k, 3, 10, QLatin1Char('0')); };
        QElapsedTimer clock;
        clock.start();
        voice->Say(reading(0));
        QCOMPARE(speaker.accessibleName(), reading(0)); // at once
        // Ten readings a second for about three seconds, then the last again.
        int k = 1;
        for (; clock.elapsed() < 3000; ++k) {
            voice->Say(reading(k));
            listen();
            QTest::qWait(100);
            listen();
        }
        const qint64 changing = clock.elapsed();
        for (int again = 0; again < 15; ++again) {
            voice->Say(reading(k - 1));
            listen();
            QTest::qWait(100);
            listen();
        }
        QVERIFY(WaitFor([&] { listen(); return speaker.accessibleName() == reading(k - 1); }, 5000));
        QTest::qWait(TReadoutVoice::IntervalMs + 100);
        listen();
        QCOMPARE(told.last(), reading(k - 1)); // the value it settled at, once
        QVERIFY2(told.size() >= 2 && told.size() <= changing / TReadoutVoice::IntervalMs + 2,
                 qPrintable(QStringLiteral("%1 told in %2 ms: %3").arg(told.size()).arg(changing).arg(told.join(QStringLiteral("; ")))));
    }

    // The trend describes its target, and an input below the range; a
    // reading on target changes nothing of it (the readout says readings).
    void trendDescribed()
    {
        TShownMainForm f;
        TTrendView *trend = f.form.findChild<TTrendView *>(QStringLiteral("TrendView"));
        trend->Reset(0.62, CardIO::TVariant::BipolarRaw);
        QCOMPARE(trend->accessibleDescription(), QStringLiteral("Target 0.620 V"));
        trend->Add(0.618, 1279);
        QCOMPARE(trend->accessibleDescription(), QStringLiteral("Target 0.620 V"));
        trend->Reset(0.0, CardIO::TVariant::Unipolar);
        trend->Add(0.0, 0);
        QCOMPARE(trend->accessibleDescription(), QStringLiteral("Target 0.000 V, the input below the range"));
        QCOMPARE(Of(trend)->text(QAccessible::Name), QStringLiteral("Trend of the readings"));
    }

    // The keyboard alone: into the drawn controls in order, Space and the
    // arrows change them, the open position is reached, Escape goes back.
    void keyboardReachesTheDrawnControls()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        QVERIFY(OpenActive(f, Part<TBoardHighlight>(&m, "ChannelHighlight")));
        Part<TTwoJumper>(&m, "CH0")->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), Part<TTwoJumper>(&m, "CH0"));
        const std::array<QWidget *, 8> jumpers{Part<TTwoJumper>(&m, "CH0"), Part<TTwoJumper>(&m, "CH1"), Part<TTwoJumper>(&m, "CH2"), Part<TTwoJumper>(&m, "CH3"), Part<TTwoJumper>(&m, "CH4"), Part<TTwoJumper>(&m, "CH5"), Part<TTwoJumper>(&m, "CH6"), Part<TTwoJumper>(&m, "CH7")};
        for (size_t k = 1; k < jumpers.size(); ++k)
            QCOMPARE(After(Qt::Key_Tab), jumpers[k]);
        QWidget *list = After(Qt::Key_Tab);
        QVERIFY(list == Part<QComboBox>(&m, "ChannelBox") || list == static_cast<QWidget *>(Part<QComboBox>(&m, "ChannelBox")->lineEdit()));
        Part<TTwoJumper>(&m, "CH2")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Part<TTwoJumper>(&m, "CH2"), Qt::Key_Space);
        QCOMPARE(Part<QComboBox>(&m, "ChannelBox")->currentText(), QStringLiteral("CH2"));
        QVERIFY(Part<TTwoJumper>(&m, "CH2")->Closed());

        QVERIFY(OpenActive(f, Part<TBoardHighlight>(&m, "ClampHighlight")));
        Part<TThreeJumper>(&m, "BufferJumper")->setFocus(Qt::TabFocusReason);
        QCOMPARE(Part<TThreeJumper>(&m, "BufferJumper")->JumperState(), TThreeJumper::jsRight);
        QTest::keyClick(Part<TThreeJumper>(&m, "BufferJumper"), Qt::Key_Right);
        QCOMPARE(Part<TThreeJumper>(&m, "BufferJumper")->JumperState(), TThreeJumper::jsOpen);
        QCOMPARE(Part<QComboBox>(&m, "BufferBox")->currentText(), QStringLiteral("Standard"));
        QTest::keyClick(Part<TThreeJumper>(&m, "BufferJumper"), Qt::Key_Right);
        QCOMPARE(Part<TThreeJumper>(&m, "BufferJumper")->JumperState(), TThreeJumper::jsLeft);
        QCOMPARE(Part<QComboBox>(&m, "BufferBox")->currentText(), QStringLiteral("Software Tristated"));
        QTest::keyClick(Part<TThreeJumper>(&m, "BufferJumper"), Qt::Key_Left);
        QCOMPARE(Part<TThreeJumper>(&m, "BufferJumper")->JumperState(), TThreeJumper::jsOpen);
        QTest::keyClick(Part<TThreeJumper>(&m, "BufferJumper"), Qt::Key_Space);
        QCOMPARE(Part<TThreeJumper>(&m, "BufferJumper")->JumperState(), TThreeJumper::jsLeft);

        // Escape closes the popup, unpinned, and the main window has the keys.
        TPopupForm *popup = Part<TBoardHighlight>(&m, "ClampHighlight")->Popup();
        Part<TBoardHighlight>(&m, "ClampHighlight")->PinPopup();
        QTest::keyClick(Part<QComboBox>(&m, "BufferBox"), Qt::Key_Escape);
        QVERIFY(!popup->isVisible());
        QVERIFY(!Part<TBoardHighlight>(&m, "ClampHighlight")->Lit());
        QVERIFY(QTest::qWaitFor([&] { return m.isActiveWindow(); }, Patience));

        // A circle takes the focus and opens its popup, pinned, on Space.
        Part<TBoardHighlight>(&m, "DACHighlight")->setFocus(Qt::TabFocusReason);
        QTest::keyClick(Part<TBoardHighlight>(&m, "DACHighlight"), Qt::Key_Space);
        QVERIFY(Part<TBoardHighlight>(&m, "DACHighlight")->Popup() && Part<TBoardHighlight>(&m, "DACHighlight")->Popup()->isVisible() && Part<TBoardHighlight>(&m, "DACHighlight")->Pinned());
    }

    // Escape in the record window goes back to the main window and leaves
    // the record open.
    void escapeLeavesTheRecordForTheMainWindow()
    {
        TShownMainForm f;
        TRecordModel model;
        TReportWindow report(&f.form, model);
        report.show();
        report.activateWindow();
        QVERIFY(QTest::qWaitFor([&] { return report.isActiveWindow(); }, Patience));
        QTest::keyClick(Part<QLineEdit>(&report, "OperatorEdit"), Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return f.form.isActiveWindow(); }, Patience));
        QVERIFY(report.isVisible());
    }

    // During the calibration the pots picture names the pot marked.
    void potsPictureNamesThePotMarked()
    {
        TShownMainForm f;
        QVERIFY(WaitFor([&] { return MainUnit.BaseAddress != 0; }, Patience)); // the card is listed
        QString described;
        const bool ended = RunWizard(f.form, [&] {
            if (!Part<TShape>(&f.form, "PotMark")->isVisible())
                return;
            described = Part<QLabel>(&f.form, "Image1")->accessibleDescription();
            f.form.QuitClick();
        });
        QVERIFY(ended);
        const int pot = CalibrationSteps::MeasureStep(1, MainUnit.DACRange)->Pot;
        QCOMPARE(described, QStringLiteral("RP%1 marked").arg(pot));
    }

    // The focus starts on Begin Calibration each time its popup opens.
    void focusStartsOnBeginCalibration()
    {
        TShownMainForm f;
        TBoardHighlight *h = Part<TBoardHighlight>(&f.form, "CalibrationHighlight0");
        for (int round = 0; round < 2; ++round) {
            QVERIFY(f.open(h));
            QVERIFY2(QTest::qWaitFor([&] { return h->Popup()->focusWidget() == Part<QPushButton>(&f.form, "CalibButton"); }, Patience),
                     qPrintable(QStringLiteral("round %1").arg(round)));
            h->Popup()->DoneButton()->setFocus();
            h->Popup()->close();
        }
    }

    // While the wizard runs, Alt+N, Alt+P and Alt+Q press Next, Prev and
    // Quit from the main window, a pinned popup and the record window, and
    // Ctrl+R goes to the record; no menu, button or label of those windows takes N, P or Q for its
    // own Alt key.
    void wizardKeysWorkFromEveryWindow()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        QVERIFY(WaitFor([&] { return MainUnit.BaseAddress != 0; }, Patience)); // the card is listed
        TBoardHighlight *calibration = Part<TBoardHighlight>(&m, "CalibrationHighlight0");
        QVERIFY(OpenActive(f, calibration));
        auto press = [](QWidget *window, int key, Qt::KeyboardModifiers modifiers = Qt::AltModifier) {
            // Asked again while it waits: on a loaded machine the wizard's
            // own windows may take the activation meanwhile.
            if (!QTest::qWaitFor([&] {
                    if (!window->isActiveWindow())
                        window->activateWindow();
                    return window->isActiveWindow();
                }, Patience))
                return false;
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key(key), modifiers);
            return true;
        };
        int stage = 0;
        const bool ended = RunWizard(m, [&] {
            TReportWindow *r = m.Calibration()->ReportWindow();
            if (!r || !r->isVisible())
                return;
            switch (stage) {
            case 0: // from the popup, where Begin leaves the keyboard
                stage = press(calibration->Popup(), Qt::Key_N) ? 1 : 9;
                break;
            case 1:
                if (MainUnit.CalibStep == 2)
                    stage = press(r, Qt::Key_P) ? 2 : 9;
                break;
            case 2:
                if (MainUnit.CalibStep == 1)
                    stage = press(&m, Qt::Key_R, Qt::ControlModifier) ? 3 : 9;
                break;
            case 3:
                if (r->isActiveWindow())
                    stage = press(&m, Qt::Key_Q) ? 4 : 9;
                break;
            default:
                break;
            }
        });
        QVERIFY2(ended && stage == 4, qPrintable(QStringLiteral("stage %1").arg(stage)));

        // The Alt keys the wizard's windows take for their own.
        QStringList taken;
        auto take = [&](const QString &text) {
            const qsizetype amp = text.indexOf(u'&');
            if (amp >= 0 && amp + 1 < text.size())
                taken << text.mid(amp + 1, 1).toUpper() + u' ' + text;
        };
        for (QAction *menu : m.menuBar()->actions())
            take(menu->text());
        TCheckWindow check(&m);
        for (QWidget *w : {static_cast<QWidget *>(m.Calibration()->ReportWindow()), static_cast<QWidget *>(calibration->Popup()),
                           static_cast<QWidget *>(&check)}) {
            for (QAbstractButton *b : w->findChildren<QAbstractButton *>())
                take(b->text());
            for (QLabel *l : w->findChildren<QLabel *>())
                take(l->text());
        }
        QVERIFY2(taken.size() >= 10, qPrintable(taken.join(u'|')));
        for (const QString &t : taken)
            QVERIFY2(!QStringLiteral("NPQ").contains(t[0]), qPrintable(t));
    }

    // The focus frame lies outside the drawn control: its own pixels stay.
    void focusFrameKeepsTheControlsPixels()
    {
        TShownMainForm f;
        QVERIFY(OpenActive(f, Part<TBoardHighlight>(&f.form, "ChannelHighlight")));
        TTwoJumper *j = Part<TTwoJumper>(&f.form, "CH4");
        QWidget *panel = j->parentWidget();
        const QRect around = j->geometry().adjusted(-2, -2, 2, 2);
        const QImage before = panel->grab(around).toImage();
        j->setFocus(Qt::TabFocusReason);
        QVERIFY(j->hasFocus());
        QImage after;
        QVERIFY(QTest::qWaitFor([&] {
            after = panel->grab(around).toImage();
            return after != before;
        }));
        const QRect inner(2, 2, j->width(), j->height());
        QCOMPARE(after.copy(inner), before.copy(inner));
        j->clearFocus();
        QVERIFY(QTest::qWaitFor([&] { return panel->grab(around).toImage() == before; }, Patience));
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
