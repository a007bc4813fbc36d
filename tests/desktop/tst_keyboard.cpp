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
#include "CheckWindow.h"
#include "HistoryKeeper.h"
#include "HistoryWindow.h"
#include "Records.h"
#include "ReportWindow.h"
#include "ShownMainForm.h"
#include "Wait.h"
#include "X11Props.h"
#include "template.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

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
        // The key goes where the X server has the focus, which can lag
        // Qt's idea of it under load.
        if (!QTest::qWaitFor([&] { return XFocusOn(QApplication::activeWindow()); }, Patience))
            qWarning("the X server's focus never reached %s", qPrintable(name(QApplication::activeWindow())));
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

// From the help window shown at start: Escape opens the first popup, as
// Start does, and Escape there gives the main window the keys.
void EscapeToTheMainWindow(TMainForm &m)
{
    auto *support = Part<TSetupSupporter>(&m, "SetSup");
    QVERIFY(WaitFor([&] { return support->HelpForm() && support->HelpForm()->isVisible(); }, Patience));
    support->PCIForm()->hide(); // out of the way: the window manager may give it the focus
    QVERIFY(ActiveWith(support->HelpForm()));
    // Each key goes where the X server has the focus, which can lag Qt's
    // idea of it under load.
    QVERIFY2(QTest::qWaitFor([&] { return XFocusOn(support->HelpForm()); }, Patience), "the X server never focused the help window");
    Keys(QStringLiteral("Escape"));
    auto *first = Part<TBoardHighlight>(&m, "ChannelHighlight");
    QVERIFY(QTest::qWaitFor([&] { return first->Popup() && ActiveWith(first->Popup()); }, Patience));
    QVERIFY2(QTest::qWaitFor([&] { return XFocusOn(first->Popup()); }, Patience), "the X server never focused the first popup");
    Keys(QStringLiteral("Escape"));
    QVERIFY2(ActiveWith(&m), qPrintable(QStringLiteral("active: %1").arg(QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : QStringLiteral("none"))));
}

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

    // Changes of the drawn controls and the trend's target reach assistive
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
        // A readout's numbers change ten times a second: its name holds, and
        // nothing is told of them (the reading is told at most once a second).
        Part<QLabel>(&m, "ReadCount")->setText(QStringLiteral("2047"));
        QVERIFY(!TEventLog::Seen(QAccessible::NameChanged, Part<QLabel>(&m, "ReadCount")));
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

    // The whole calibration by keyboard, XTEST keys alone: Begin
    // Calibration has the focus when its popup opens and leaves it there
    // (the record opens without taking it); Ctrl+R goes to the record; as
    // found is checked from there (Alt+F, Alt+R records a point, Alt+S
    // skips one); Alt+N takes the steps to 9 and Alt+P back; as left is
    // checked (Alt+L); the record is saved as CSV through the file dialog
    // (Alt+S, a name, Return); Alt+Q ends the wizard.
    void wizardByKeyboard()
    {
        TShownMainForm f;
        TMainForm &m = f.form;
        QVERIFY(WaitFor([&] { return MainUnit.BaseAddress != 0; }, Patience)); // the card is listed
        EscapeToTheMainWindow(m);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(TabTo(Part<TBoardHighlight>(&m, "CalibrationHighlight0")));
        Keys(QStringLiteral("space"));
        TPopupForm *popup = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (popup = Part<TBoardHighlight>(&m, "CalibrationHighlight0")->Popup()) && ActiveWith(popup); }, Patience));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == Part<QPushButton>(&m, "CalibButton"); }, Patience));

        QTemporaryDir dir;
        const QString saved = dir.filePath(QStringLiteral("by-keyboard.csv"));
        // The wizard runs in the event loop: the user is played from a
        // timer, one stage at a time, each on a condition, each key once.
        struct TStage {
            const char *what;
            std::function<bool()> ready;
            QString keys;
            // The last stage's keys were lost on their way (the X server's
            // focus can lag Qt's under load): they may be pressed again.
            std::function<bool()> lost = {};
        };
        // A menu opened by a key that went astray is closed first.
        auto noMenu = [] {
            if (!QApplication::activePopupWidget())
                return true;
            Keys(QStringLiteral("Escape"));
            return false;
        };
        auto record = [&] { return m.Calibration()->ReportWindow(); };
        auto check = [&] { return m.Calibration()->CheckWindow(); };
        auto checking = [&] { return check() && check()->isVisible(); };
        auto point = [&] { return checking() ? Part<QLabel>(check(), "TitleLabel")->text() : QString(); };
        auto step = [&](int n) { return [&, n] { return MainUnit.CalibStep == n && QApplication::activeWindow() != nullptr; }; };
        QString shownPoint;
        // Skips every point of a check pass but the first, which it records.
        auto passThrough = [&](const char *what) {
            return TStage{what, [&] {
                              if (!checking())
                                  return true;
                              if (point() != shownPoint && check()->isActiveWindow()) {
                                  const bool first = point().contains(QStringLiteral(", 1 of "));
                                  shownPoint = point();
                                  Keys(first ? QStringLiteral("alt+r") : QStringLiteral("alt+s"));
                              }
                              return false;
                          }, QString()};
        };
        const QList<TStage> stages{
            // As found is offered until the wizard leaves step 1: checked
            // first.
            {"the wizard up, the keyboard still in the popup", [&] {
                 return Part<TPanel>(&m, "InstPanel")->isVisible() && record() && record()->isVisible() && popup->isActiveWindow();
             }, QStringLiteral("ctrl+r")},
            {"the record active", [&] { return record()->isActiveWindow(); }, QStringLiteral("alt+f"),
             [&] { return !record()->isActiveWindow(); }},
            {"the check as found open", [&] { return checking(); }, QString(),
             [&] { return noMenu() && record()->isActiveWindow() && !checking(); }},
            passThrough("as found checked"),
            {"step 1 again", step(1), QStringLiteral("alt+n alt+n alt+n alt+n alt+n alt+n alt+n alt+n")},
            {"step 9", step(9), QStringLiteral("alt+p")},
            {"back at step 8", step(8), QStringLiteral("alt+n")},
            {"step 9 again", step(9), QStringLiteral("ctrl+r")},
            {"the record active for as left", [&] { return record()->isActiveWindow() && Part<QPushButton>(record(), "AsLeftButton")->isEnabled(); },
             QStringLiteral("alt+l"), [&] { return !record()->isActiveWindow(); }},
            {"the check as left open", [&] { return checking(); }, QString(),
             [&] { return noMenu() && record()->isActiveWindow() && !checking(); }},
            passThrough("as left checked"),
            {"the record active for saving", [&] {
                 if (!record()->isActiveWindow())
                     Keys(QStringLiteral("ctrl+r"));
                 return QTest::qWaitFor([&] { return record()->isActiveWindow(); }, 2000);
             }, QStringLiteral("alt+s")},
            {"the save dialog", [&] { return QApplication::activeModalWidget() && QApplication::activeModalWidget()->isActiveWindow(); },
             QStringLiteral("ctrl+a"), [&] { return noMenu() && !QApplication::activeModalWidget() && record()->isActiveWindow(); }},
            {"a name typed", [&] {
                 QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--clearmodifiers"), saved});
                 return true;
             }, QStringLiteral("Return")},
            {"saved", [&] { return QFile::exists(saved) && !QApplication::activeModalWidget(); }, QStringLiteral("alt+q")},
        };
        qsizetype stage = 0;
        QString failure;
        QElapsedTimer clock, sent;
        clock.start();
        sent.start();
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (stage >= stages.size())
                return;
            if (clock.elapsed() > 12 * Patience) {
                failure = QStringLiteral("waited in vain for %1 (step %2, active window %3)")
                              .arg(QLatin1String(stages[stage].what)).arg(MainUnit.CalibStep)
                              .arg(QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : QStringLiteral("none"));
                m.QuitClick();
                stage = stages.size();
                return;
            }
            if (!stages[stage].ready()) {
                if (stages[stage].lost && sent.elapsed() > 3000 && stages[stage].lost()) {
                    Keys(stages[stage - 1].keys);
                    sent.restart();
                }
                return;
            }
            sent.restart();
            for (const QString &key : stages[stage].keys.split(u' ', Qt::SkipEmptyParts)) {
                const int before = MainUnit.CalibStep;
                Keys(key);
                // Each Alt+N is a step of its own.
                if (key == QLatin1String("alt+n") && !QTest::qWaitFor([&] { return MainUnit.CalibStep != before; }, Patience))
                    failure = QStringLiteral("Alt+N at step %1 did nothing").arg(before);
            }
            ++stage;
        });
        user.start(50);
        // The record opens beside the wizard without taking the keyboard.
        bool recordTookTheKeys = false;
        QObject::connect(qApp, &QApplication::focusChanged, &user, [&](QWidget *, QWidget *now) {
            recordTookTheKeys |= stage == 0 && now && record() && now->window() == record();
        });
        Keys(QStringLiteral("space")); // Begin Calibration
        QVERIFY2(QTest::qWaitFor([&] { return stage == stages.size() && !Part<TPanel>(&m, "InstPanel")->isVisible(); }, 14 * Patience) && failure.isEmpty(),
                 qPrintable(failure.isEmpty() ? QStringLiteral("stopped at %1").arg(QLatin1String(stages[std::min(stage, stages.size() - 1)].what)) : failure));
        QVERIFY(!recordTookTheKeys);
        QVERIFY(m.Calibration()->ReportWindow()->isVisible()); // the record stays
        const TCalibrationRecord &r = m.Calibration()->Record();
        QVERIFY(r.Points()[0].asFound && r.Points()[0].asLeft); // recorded by Alt+R
        QFile csv(saved);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QVERIFY(csv.readAll().contains("record,calibration"));
    }

    // The calibration history by keyboard: Alt+C, H opens it; a card is
    // chosen by typing its serial's first letter; Alt+B goes to its
    // calibrations, and Return opens the newest, once, read-only; Escape
    // there gives the keys back; Alt+I and Up lengthen its interval; Alt+S
    // closes the history, and the record's Alt+O the record, and the main
    // window has the keys again.
    void historyByKeyboard()
    {
        // A history of this test's own, whatever ran before.
        for (const char *part : {"", "-wal", "-shm"})
            QFile::remove(THistoryKeeper::DefaultFile() + QLatin1String(part));
        TShownMainForm f;
        TMainForm &m = f.form;
        const QDateTime now = QDateTime::currentDateTime();
        {
            TRecordStore store(THistoryKeeper::DefaultFile());
            QVERIFY(store.Save(StartedAt(CalibratedRecord(QStringLiteral("KEY-1"), QStringLiteral("Ana")), now.addMonths(-12))));
            QVERIFY(store.Save(StartedAt(CalibratedRecord(QStringLiteral("KEY-1"), QStringLiteral("Ben")), now.addDays(-1))));
        }
        EscapeToTheMainWindow(m);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(QTest::qWaitFor([&] { return XFocusOn(&m); }, Patience));
        Keys(QStringLiteral("alt+c"));
        QVERIFY(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }, Patience));
        Keys(QStringLiteral("h"));
        QVERIFY(QTest::qWaitFor([&] { return m.HistoryWindow() && ActiveWith(m.HistoryWindow()); }, Patience));
        THistoryWindow *history = m.HistoryWindow();
        auto *cards = Part<QTableWidget>(history, "CardsTable");
        auto *records = Part<QTableWidget>(history, "RecordsTable");
        QVERIFY(QTest::qWaitFor([&] { return XFocusOn(history); }, Patience));
        Keys(QStringLiteral("alt+c"));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == cards; }, Patience));
        Keys(QStringLiteral("k"));
        QVERIFY(QTest::qWaitFor([&] { return cards->currentRow() >= 0 && cards->item(cards->currentRow(), 0)->text() == QStringLiteral("KEY-1"); }, Patience));
        QCOMPARE(records->rowCount(), 2);
        Keys(QStringLiteral("alt+b"));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == records; }, Patience));
        auto opened = [&] { return history->findChildren<TReportWindow *>(); };
        Keys(QStringLiteral("Return"));
        QVERIFY(QTest::qWaitFor([&] { return !opened().isEmpty() && opened()[0]->isVisible(); }, Patience));
        QCoreApplication::processEvents();
        QCOMPARE(opened().size(), 1);
        TReportWindow *kept = opened()[0];
        QCOMPARE(Part<QLineEdit>(kept, "OperatorEdit")->text(), QStringLiteral("Ben"));
        QVERIFY(Part<QLineEdit>(kept, "OperatorEdit")->isReadOnly());
        QVERIFY(ActiveWith(kept));
        QVERIFY(QTest::qWaitFor([&] { return XFocusOn(kept); }, Patience));
        Keys(QStringLiteral("Escape"));
        QVERIFY(ActiveWith(history));
        QVERIFY(QTest::qWaitFor([&] { return XFocusOn(history); }, Patience));
        Keys(QStringLiteral("alt+i"));
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == Part<QSpinBox>(history, "IntervalBox"); }, Patience));
        Keys(QStringLiteral("Up"));
        QVERIFY(QTest::qWaitFor([&] { return m.History()->Store().Card(QStringLiteral("KEY-1"))->intervalMonths == 13; }, Patience));
        // Closed, the history leaves the record it opened to the keys;
        // the record's Alt+O closes it.
        Keys(QStringLiteral("alt+s"));
        QVERIFY(QTest::qWaitFor([&] { return !history->isVisible(); }, Patience));
        QVERIFY(ActiveWith(kept));
        QVERIFY(QTest::qWaitFor([&] { return XFocusOn(kept); }, Patience));
        Keys(QStringLiteral("alt+o"));
        QVERIFY2(QTest::qWaitFor([&] { return opened().isEmpty() && m.isActiveWindow(); }, Patience),
                 qPrintable(QStringLiteral("%1 record(s) open, active window %2").arg(opened().size()).arg(
                     QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : QStringLiteral("none"))));
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
