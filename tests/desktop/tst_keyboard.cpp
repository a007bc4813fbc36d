// Setup with the keyboard alone, on a real X server under a real window
// manager, with the accessibility bridge on a real AT-SPI bus: key presses
// come through XTEST (xdotool), as a user's keyboard sends them, and the
// changes that assistive technology must hear of reach it as events.
#include "Parts.h"
#include "Board.h"
#include "Jumpers.h"
#include "Support.h"
#include "TrendChart.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "CalibrationSession.h"
#include "ReportWindow.h"
#include "ShownMainForm.h"
#include "Wait.h"
#include "template.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

namespace {

// Presses keys as a user's keyboard does, into whatever has the focus.
void Keys(const QString &keys)
{
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--clearmodifiers"), keys});
}

// Presses Tab until `target` has the focus, at most `limit` times.
bool TabTo(QWidget *target, int limit = 12)
{
    auto name = [](const QWidget *w) { return w ? w->objectName() : QStringLiteral("none"); };
    for (int i = 0; i < limit && QApplication::focusWidget() != target; ++i) {
        QWidget *before = QApplication::focusWidget();
        Keys(QStringLiteral("Tab"));
        if (!QTest::qWaitFor([&] { return QApplication::focusWidget() != before; }, Patience)) {
            qWarning("Tab left the focus on %s (active window %s)", qPrintable(name(before)),
                     qPrintable(name(QApplication::activeWindow())));
            return false;
        }
    }
    if (QApplication::focusWidget() != target)
        qWarning("Tab never reached %s: the focus is on %s", qPrintable(name(target)), qPrintable(name(QApplication::focusWidget())));
    return QApplication::focusWidget() == target;
}

bool ActiveWith(QWidget *window)
{
    return QTest::qWaitFor([&] { return window->isActiveWindow(); }, Patience);
}

// Records the accessibility events raised while it lives.
class TEventLog {
public:
    TEventLog()
    {
        FEvents.clear();
        FPrevious = QAccessible::installUpdateHandler(&TEventLog::Handler);
    }
    ~TEventLog() { QAccessible::installUpdateHandler(FPrevious); }
    static bool Seen(QAccessible::Event type, QObject *object, bool checkedChange = false)
    {
        return std::any_of(FEvents.begin(), FEvents.end(), [&](const TEvent &e) {
            return e.type == type && e.object == object && (!checkedChange || e.changed.checked);
        });
    }

private:
    struct TEvent {
        QAccessible::Event type;
        QObject *object;
        QAccessible::State changed;
    };
    static void Handler(QAccessibleEvent *event)
    {
        QAccessible::State changed;
        if (event->type() == QAccessible::StateChanged)
            changed = static_cast<QAccessibleStateChangeEvent *>(event)->changedStates();
        FEvents.append({event->type(), event->object(), changed});
    }
    static inline QList<TEvent> FEvents;
    QAccessible::UpdateHandler FPrevious;
};

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        UseLayoutLook();
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        QApplication::setQuitOnLastWindowClosed(false);
        // As QApplication::exec() does, which a test does not run.
        QAccessible::setRootObject(qApp);
        QVERIFY2(QTest::qWaitFor([] { return QAccessible::isActive(); }, Patience), "the accessibility bridge is off: no AT-SPI bus?");
    }

    void init() { QCursor::setPos(0, 0); }

    // Changes of the drawn controls, readouts and trend reach assistive
    // technology as events.
    void changesAreAnnounced()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        TEventLog log;
        Part<QComboBox>(&m, "ChannelBox")->setCurrentIndex(6);
        emit Part<QComboBox>(&m, "ChannelBox")->activated(6);
        QVERIFY(TEventLog::Seen(QAccessible::StateChanged, Part<TTwoJumper>(&m, "CH5"), true));
        Part<QComboBox>(&m, "DACBox1")->setCurrentIndex(2);
        emit Part<QComboBox>(&m, "DACBox1")->activated(2);
        QVERIFY(TEventLog::Seen(QAccessible::StateChanged, Part<TDipSwitch>(&m, "DACDip1"), true));
        QTest::mouseClick(Part<TThreeJumper>(&m, "BufferJumper"), Qt::LeftButton);
        QVERIFY(TEventLog::Seen(QAccessible::StateChanged, Part<TThreeJumper>(&m, "BufferJumper"), true));
        Part<QLabel>(&m, "ReadCount")->setText(QStringLiteral("2047"));
        QVERIFY(TEventLog::Seen(QAccessible::NameChanged, Part<QLabel>(&m, "ReadCount")));
        m.findChild<TTrendView *>(QStringLiteral("TrendView"))->setAccessibleDescription(QString());
        m.findChild<TTrendView *>(QStringLiteral("TrendView"))->Reset(0.62, CardIO::TVariant::BipolarRaw);
        QVERIFY(TEventLog::Seen(QAccessible::DescriptionChanged, m.findChild<TTrendView *>(QStringLiteral("TrendView"))));
    }

    // From the main window into a popup and its drawn controls and back,
    // with no mouse at all.
    void popupsByKeyboard()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&m, "SetSup")->HelpForm() && Part<TSetupSupporter>(&m, "SetSup")->HelpForm()->isVisible(); }, Patience));
        // The help window's Start (Enter) opens the first popup; Escape
        // closes it and the main window has the keys again.
        QVERIFY(ActiveWith(Part<TSetupSupporter>(&m, "SetSup")->HelpForm()));
        Keys(QStringLiteral("Return"));
        QVERIFY(QTest::qWaitFor([&] { return Part<TBoardHighlight>(&m, "ChannelHighlight")->Popup() && ActiveWith(Part<TBoardHighlight>(&m, "ChannelHighlight")->Popup()); }, Patience));
        TPopupForm *channels = Part<TBoardHighlight>(&m, "ChannelHighlight")->Popup();
        QVERIFY(Part<TBoardHighlight>(&m, "ChannelHighlight")->Pinned());
        // Back from the list to the last jumper, which Space fits.
        QVERIFY(QTest::qWaitFor([&] { return channels->isAncestorOf(QApplication::focusWidget()); }, Patience));
        Keys(QStringLiteral("shift+Tab"));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == Part<TTwoJumper>(&m, "CH7"); }, Patience));
        Keys(QStringLiteral("space"));
        QVERIFY(QTest::qWaitFor([&] { return Part<TTwoJumper>(&m, "CH7")->Closed() && Part<QComboBox>(&m, "ChannelBox")->currentText() == QStringLiteral("CH7"); }, Patience));
        Keys(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([&] { return !channels->isVisible() && !Part<TBoardHighlight>(&m, "ChannelHighlight")->Lit(); }, Patience));
        QVERIFY2(ActiveWith(&m), qPrintable(QStringLiteral("active: %1").arg(QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : QStringLiteral("none"))));

        // A circle reached by Tab opens on Space; the buffer jumper's open
        // position is reached with an arrow key.
        QVERIFY(TabTo(Part<TBoardHighlight>(&m, "ClampHighlight")));
        Keys(QStringLiteral("space"));
        QVERIFY(QTest::qWaitFor([&] { return Part<TBoardHighlight>(&m, "ClampHighlight")->Popup() && ActiveWith(Part<TBoardHighlight>(&m, "ClampHighlight")->Popup()); }, Patience));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == Part<QComboBox>(&m, "BufferBox") || Part<QComboBox>(&m, "BufferBox")->isAncestorOf(QApplication::focusWidget()); }, Patience));
        Keys(QStringLiteral("shift+Tab"));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == Part<TThreeJumper>(&m, "BufferJumper"); }, Patience));
        QCOMPARE(Part<TThreeJumper>(&m, "BufferJumper")->JumperState(), TThreeJumper::jsRight);
        Keys(QStringLiteral("Right"));
        QVERIFY(QTest::qWaitFor([&] { return Part<TThreeJumper>(&m, "BufferJumper")->JumperState() == TThreeJumper::jsOpen; }, Patience));
        QCOMPARE(Part<QComboBox>(&m, "BufferBox")->currentText(), QStringLiteral("Standard"));
        Keys(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([&] { return !Part<TBoardHighlight>(&m, "ClampHighlight")->Popup()->isVisible() && m.isActiveWindow(); }, Patience));
    }

    // The calibration by keyboard: Begin Calibration has the focus when
    // its popup opens; Escape leaves the record for the main window, where
    // Alt+N, Alt+P and Alt+Q work the wizard.
    void wizardByKeyboard()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        QVERIFY(WaitFor([&] { return MainUnit.BaseAddress != 0; }, Patience)); // the card is listed
        // Escape in the help window opens the first popup, as Start does;
        // Escape there returns to the main window.
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&m, "SetSup")->HelpForm() && Part<TSetupSupporter>(&m, "SetSup")->HelpForm()->isVisible(); }, Patience));
        Part<TSetupSupporter>(&m, "SetSup")->PCIForm()->hide(); // out of the way: the window manager may give it the focus
        QVERIFY(ActiveWith(Part<TSetupSupporter>(&m, "SetSup")->HelpForm()));
        Keys(QStringLiteral("Escape"));
        QVERIFY(QTest::qWaitFor([&] { return Part<TBoardHighlight>(&m, "ChannelHighlight")->Popup() && ActiveWith(Part<TBoardHighlight>(&m, "ChannelHighlight")->Popup()); }, Patience));
        Keys(QStringLiteral("Escape"));
        QVERIFY2(ActiveWith(&m), qPrintable(QStringLiteral("active: %1").arg(QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : QStringLiteral("none"))));
        QVERIFY(TabTo(Part<TBoardHighlight>(&m, "CalibrationHighlight0")));
        Keys(QStringLiteral("space"));
        TPopupForm *popup = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (popup = Part<TBoardHighlight>(&m, "CalibrationHighlight0")->Popup()) && ActiveWith(popup); }, Patience));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == Part<QPushButton>(&m, "CalibButton"); }, Patience));

        // The wizard runs in the event loop: the user is played from a
        // timer, one stage at a time, each on a condition.
        int stage = 0;
        QString failure;
        QElapsedTimer clock, escaped;
        clock.start();
        escaped.start();
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (clock.elapsed() > 6 * Patience) {
                failure = QStringLiteral("stuck at stage %1 (step %2)").arg(stage).arg(MainUnit.CalibStep);
                m.QuitClick();
                user.stop();
                return;
            }
            switch (stage) {
            case 0: // the wizard is up; the record or the popup may have the keys
                if (!Part<TPanel>(&m, "InstPanel")->isVisible() || MainUnit.CalibStep != 1 || !m.Calibration()->ReportWindow() || !m.Calibration()->ReportWindow()->isVisible())
                    return;
                if (!m.isActiveWindow()) {
                    if (QApplication::activeWindow() && escaped.elapsed() > 500) {
                        Keys(QStringLiteral("Escape"));
                        escaped.restart();
                    }
                    return;
                }
                Keys(QStringLiteral("alt+n"));
                stage = 1;
                return;
            case 1:
                if (MainUnit.CalibStep == 2) {
                    Keys(QStringLiteral("alt+p"));
                    stage = 2;
                }
                return;
            case 2:
                if (MainUnit.CalibStep == 1) {
                    Keys(QStringLiteral("alt+q"));
                    stage = 3;
                }
                return;
            default:
                return;
            }
        });
        user.start(50);
        Keys(QStringLiteral("space")); // Begin Calibration
        QVERIFY2(QTest::qWaitFor([&] { return stage == 3 && !Part<TPanel>(&m, "InstPanel")->isVisible(); }, 8 * Patience) && failure.isEmpty(),
                 qPrintable(failure.isEmpty() ? QStringLiteral("stage %1, step %2").arg(stage).arg(MainUnit.CalibStep) : failure));
        QVERIFY(m.Calibration()->ReportWindow()->isVisible()); // the record stays
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
