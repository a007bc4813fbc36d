// Where Setup's windows land on the desktops people run: openbox, GNOME's
// mutter and KDE's KWin (the last two through XWayland, Setup started as a
// user's session starts it). Popups' outer corners on the layout's rule;
// the help centred on the main window; the record beside the instruction
// panel, covering nothing the user must press; a real click on a pinned
// popup's Done; the card question above every window; the bench whole.
#include "Parts.h"
#include "BenchWindow.h"
#include "Board.h"
#include "ClientArea.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "Platform.h"
#include "CalibrationSession.h"
#include "ReportWindow.h"
#include "ShownMainForm.h"
#include "WindowManager.h"
#include "Support.h"
#include "Wait.h"
#include "template.h"
#include "X11Props.h"

#include <QInputDialog>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

using namespace trvsim;

namespace {

bool IsKWin()
{
    return WindowManagerName() == QLatin1String("KWin");
}

// Setup maximised as the window manager has it (Qt's own state is the one
// asked for, and mutter 48 may call the window minimised for a moment as it
// maps it), filling the screen's free area as the X server has it too (Qt's
// idea of the place may run ahead of the window manager's), the board
// centred in it.
bool Settled(TMainForm &form)
{
    const bool settled = QTest::qWaitFor([&] {
        const QString state = NetState(&form);
        const QRect outer = OuterGeometry(&form);
        return state.contains(QLatin1String("_NET_WM_STATE_MAXIMIZED_VERT")) && !state.contains(QLatin1String("_NET_WM_STATE_HIDDEN"))
               && !FrameMargins(&form).isNull() && outer == QGuiApplication::primaryScreen()->availableGeometry()
               && Part<TBoardImage>(&form, "BoardImage1")->pos() == QPoint((outer.width() - 600) / 2, (outer.height() - 317) / 2)
               && ServerPosition(&form) == form.geometry().topLeft();
    }, Patience);
    if (!settled)
        qWarning() << "not settled:" << NetState(&form) << "frame" << FrameMargins(&form) << "outer" << OuterGeometry(&form)
                   << "board at" << Part<TBoardImage>(&form, "BoardImage1")->pos() << "server at" << ServerPosition(&form)
                   << "Qt at" << form.geometry().topLeft();
    return settled;
}

QString Where(const QRect &r)
{
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

QRect Screen()
{
    return QGuiApplication::primaryScreen()->geometry();
}

// A click as a user's mouse makes it, through XTEST.
void ClickAt(const QPoint &p)
{
    QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
                                                  QStringLiteral("click"), QStringLiteral("1")});
}

bool Framed(const QWidget *w)
{
    return w->isVisible() && !FrameMargins(w).isNull();
}

// Where the layout's rule puts a popup's outer corner: the panel where the
// layout put it relative to the board, shifted as the board has moved, held
// on the screen.
QPoint Rule(TMainForm &form, QPoint panelLayout, QSize outer)
{
    TBoardImage *board = Part<TBoardImage>(&form, "BoardImage1");
    QPoint p = form.centralWidget()->mapToGlobal(board->pos() - (board->DesignPosition() - panelLayout));
    return HeldWithin(QRect(p, outer), Screen());
}

// A secondary window is never maximised: the window manager offers no
// maximise, or (KWin, which takes no hint against it for a window that can
// be resized, nor for a utility window) one that comes is undone at once.
// What went wrong, or nothing.
QString NoMaximiseKept(QWidget *w)
{
    const QString allowed = AllowedActions(w);
    if (!allowed.contains(QLatin1String("MAXIMIZE")))
        return QString();
    if (!IsKWin())
        return w->objectName() + QStringLiteral(" offered maximise: ") + allowed;
    const QSize size = w->size();
    AskWindowManagerToMaximise(w);
    bool maximised = false; // whether the window manager did, for a moment
    if (QTest::qWaitFor([&] {
            maximised |= w->isMaximized() || w->size() != size;
            return maximised && !w->isMaximized() && w->size() == size;
        }, Patience))
        return QString();
    return w->objectName() + QStringLiteral(" stayed maximised: ") + Where(OuterGeometry(w));
}

} // namespace

class TestPlacement : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        UseLayoutLook();
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        QApplication::setQuitOnLastWindowClosed(false);
        qInfo("window manager: %s", qPrintable(WindowManagerName()));
    }

    // Every popup's outer corner, frame included, lands on the rule, and the
    // popup has a title bar with a close button and no maximise.
    void popupCornersOnTheRule()
    {
        TShownMainForm s;
        TMainForm &m = s.form;
        QVERIFY(Settled(m));
        const std::pair<TBoardHighlight *, QPoint> popups[] = {{Part<TBoardHighlight>(&m, "ChannelHighlight"), QPoint(248, 480)},
                                                               {Part<TBoardHighlight>(&m, "ClampHighlight"), QPoint(608, 528)},
                                                               {Part<TBoardHighlight>(&m, "CalibrationHighlight0"), QPoint(390, 46)},
                                                               {Part<TBoardHighlight>(&m, "DACHighlight"), QPoint(592, 24)}};
        for (const auto &[h, layout] : popups) {
            QVERIFY(s.open(h));
            TPopupForm *popup = h->Popup();
            QVERIFY2(QTest::qWaitFor([&] { return Framed(popup); }, Patience),
                     qPrintable(h->CaptionText() + QStringLiteral(": no frame, so no title bar")));
            // On the rule, in a frame with a title bar (mutter 48 frames a
            // window twice, the first time with its shadows).
            QPoint want;
            const bool onRule = QTest::qWaitFor([&] {
                want = Rule(m, layout, OuterGeometry(popup).size());
                return OuterGeometry(popup).topLeft() == want && FrameMargins(popup).top() > FrameMargins(popup).bottom();
            }, Patience);
            const QMargins frame = FrameMargins(popup);
            QVERIFY2(onRule, qPrintable(QStringLiteral("%1 at %2 (frame %3 %4 %5 %6), the rule says %7,%8")
                                            .arg(h->CaptionText(), Where(OuterGeometry(popup))).arg(frame.left()).arg(frame.top())
                                            .arg(frame.right()).arg(frame.bottom()).arg(want.x()).arg(want.y())));
            const QString allowed = AllowedActions(popup);
            QVERIFY2(allowed.contains(QLatin1String("_NET_WM_ACTION_CLOSE")), qPrintable(allowed));
            const QString maximised = NoMaximiseKept(popup);
            QVERIFY2(maximised.isEmpty(), qPrintable(maximised));
            popup->close();
        }
    }

    // The help window opens centred on the main window.
    void helpCentred()
    {
        TShownMainForm s;
        QWidget *help = nullptr;
        QVERIFY(WaitFor([&] { return (help = Part<TSetupSupporter>(&s.form, "SetSup")->HelpForm()) && help->isVisible(); }, Patience));
        auto offset = [&] { return OuterGeometry(help).center() - OuterGeometry(&s.form).center(); };
        QVERIFY2(QTest::qWaitFor([&] {
            return Framed(help) && Framed(&s.form) && std::abs(offset().x()) <= 1 && std::abs(offset().y()) <= 1;
        }, Patience), qPrintable(QStringLiteral("help %1, main %2").arg(Where(OuterGeometry(help)), Where(OuterGeometry(&s.form)))));
    }

    // Begin Calibration pressed by a real key: the record opens beside the
    // instruction panel, covering neither its buttons nor the pinned
    // popup's, whose Done a real click then presses.
    void recordBesideAndDoneReachable()
    {
        TShownMainForm s;
        TMainForm &m = s.form;
        QVERIFY(Settled(m));
        QVERIFY(WaitFor([&] { return MainUnit.BaseAddress != 0; }, Patience)); // the card is listed
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&m, "SetSup")->HelpForm() && Part<TSetupSupporter>(&m, "SetSup")->HelpForm()->isVisible(); }, Patience));
        Part<TSetupSupporter>(&m, "SetSup")->HelpForm()->hide();
        Part<TSetupSupporter>(&m, "SetSup")->PCIForm()->hide();
        // Channels and DAC Range pinned as a user leaves them, then the
        // Calibration window, each opened and pinned from its menu entry.
        QList<TPopupForm *> pinned;
        for (const char *entry : {"Channels1", "DACRange1"}) {
            s.entry(entry)->trigger();
            const auto cases = s.popups();
            TBoardHighlight *h = std::find_if(cases.begin(), cases.end(), [&](const auto &c) { return qstrcmp(c.entry, entry) == 0; })->h;
            QVERIFY(QTest::qWaitFor([&] { return h->Popup() && Framed(h->Popup()); }, Patience));
            pinned << h->Popup();
        }
        s.entry("Calibration2")->trigger(); // opened and pinned
        TPopupForm *popup = Part<TBoardHighlight>(&m, "CalibrationHighlight0")->Popup();
        pinned << popup;
        QVERIFY(popup);
        QVERIFY2(QTest::qWaitFor([&] {
            // A window manager may keep the keys with the popup pinned before;
            // the user then clicks this one.
            if (Framed(popup) && !popup->isActiveWindow())
                popup->activateWindow();
            return Framed(popup) && popup->isActiveWindow()
                   && OuterGeometry(popup).topLeft() == Rule(m, QPoint(390, 46), OuterGeometry(popup).size());
        }, Patience), qPrintable(QStringLiteral("Calibration at %1%2%3, the rule says %4")
                                     .arg(Where(OuterGeometry(popup)), Framed(popup) ? "" : " unframed",
                                          popup->isActiveWindow() ? "" : " inactive")
                                     .arg(Where(QRect(Rule(m, QPoint(390, 46), OuterGeometry(popup).size()), QSize(0, 0))))));

        QString failure = QStringLiteral("the record never showed");
        int stage = 0;
        QElapsedTimer clock;
        clock.start();
        QTimer user;
        QElapsedTimer pressed;
        pressed.start();
        auto pressBegin = [&] {
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("space")});
            pressed.restart();
        };
        QObject::connect(&user, &QTimer::timeout, [&] {
            TReportWindow *r = m.Calibration()->ReportWindow();
            // A key the X server sent elsewhere, its focus lagging Qt's
            // under load, is pressed again; where the keys went to another
            // window, the user clicks Begin Calibration instead.
            if (stage == 0 && !Part<TPanel>(&m, "InstPanel")->isVisible() && pressed.elapsed() > 3000) {
                if (QApplication::focusWidget() == Part<QPushButton>(&m, "CalibButton") && XFocusOn(popup)) {
                    pressBegin();
                } else {
                    ClickAt(ScreenRect(Part<QPushButton>(&m, "CalibButton")).center());
                    pressed.restart();
                }
            }
            if (clock.elapsed() > 4 * Patience) {
                if (stage == 0)
                    failure = QStringLiteral("the record never showed (wizard %1, record %2, keys with %3)")
                                  .arg(Part<TPanel>(&m, "InstPanel")->isVisible() ? "running" : "not running",
                                       r ? Where(OuterGeometry(r)) + (Framed(r) ? " framed" : " unframed") : QStringLiteral("none"),
                                       QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QStringLiteral("none"));
                m.QuitClick();
                return;
            }
            if (stage == 0 && r && Framed(r) && Part<TPanel>(&m, "InstPanel")->isVisible()) {
                const QRect record = OuterGeometry(r);
                failure.clear();
                // Beside the instruction panel where the screen has room for
                // both; clear of the wizard's buttons always.
                QList<QWidget *> clear{Part<QPushButton>(&m, "Next"), Part<QPushButton>(&m, "Prev"), Part<QPushButton>(&m, "Quit")};
                if (Screen().width() >= 1280)
                    clear << Part<TPanel>(&m, "InstPanel");
                for (const QWidget *w : clear)
                    if (record.intersects(ScreenRect(w)))
                        failure += QStringLiteral("the record %1 covers %2 %3; ").arg(Where(record), w->objectName(), Where(ScreenRect(w)));
                const QRect done = ScreenRect(popup->DoneButton());
                if (record.intersects(done) && !Above(popup, r))
                    failure += QStringLiteral("the record %1 covers Done %2; ").arg(Where(record), Where(done));
                // The pinned popups it reaches stay above it, on every desktop,
                // and leave each of its buttons clear, and its title bar too
                // where the screen has room (1024x768 and up); on a smaller
                // one, enough of the title bar to move the record by.
                const QRect title(record.topLeft(), QSize(record.width(), FrameMargins(r).top()));
                QList<std::pair<int, int>> titleHidden; // from, to: the title bar's columns under popups
                for (TPopupForm *p : pinned) {
                    if (!record.intersects(OuterGeometry(p)))
                        continue;
                    if (!QTest::qWaitFor([&] { return Above(p, r); }, Patience))
                        failure += QStringLiteral("the record %1 lies above the pinned popup %2 %3; ")
                                       .arg(Where(record), p->windowTitle(), Where(OuterGeometry(p)));
                    if (const QRect hidden = title.intersected(OuterGeometry(p)); !hidden.isEmpty())
                        titleHidden << std::pair{hidden.left(), hidden.right() + 1};
                    for (const QPushButton *b : r->findChildren<QPushButton *>())
                        if (ScreenRect(b).intersects(OuterGeometry(p)))
                            failure += QStringLiteral("the popup %1 %2 hides the record's %3 %4; ")
                                           .arg(p->windowTitle(), Where(OuterGeometry(p)), b->objectName(), Where(ScreenRect(b)));
                }
                std::sort(titleHidden.begin(), titleHidden.end());
                int free = 0, from = title.left();
                for (const auto &[left, right] : titleHidden) {
                    free = std::max(free, left - from);
                    from = std::max(from, right);
                }
                free = std::max(free, title.right() + 1 - from);
                if (Screen().width() >= 1024 ? !titleHidden.isEmpty() : free < 40)
                    failure += QStringLiteral("popups hide the record's title bar %1 but %2 px; ").arg(Where(title)).arg(free);
                // Gone to (Ctrl+R), the record takes the keys and the
                // popups stay above it all the same.
                r->activateWindow();
                stage = 1;
            } else if (stage == 1 && r->isActiveWindow()) {
                for (TPopupForm *p : pinned)
                    if (OuterGeometry(r).intersects(OuterGeometry(p)) && !QTest::qWaitFor([&] { return Above(p, r); }, Patience))
                        failure += QStringLiteral("the active record lies above the pinned popup %1; ").arg(p->windowTitle());
                ClickAt(ScreenRect(popup->DoneButton()).center());
                stage = 2;
            } else if (stage == 2 && !popup->isVisible()) {
                stage = 3;
                m.QuitClick();
            }
        });
        user.start(50);
        // Begin Calibration has the focus in its popup: Space presses it.
        QVERIFY(QTest::qWaitFor([&] { return QApplication::focusWidget() == Part<QPushButton>(&m, "CalibButton") && XFocusOn(popup); }, Patience));
        pressBegin();
        QVERIFY2(QTest::qWaitFor([&] { return stage == 3 && !Part<TPanel>(&m, "InstPanel")->isVisible(); }, 6 * Patience) && failure.isEmpty(),
                 qPrintable(QStringLiteral("stage %1: %2").arg(stage).arg(failure)));
    }

    // With two cards, the question which to calibrate lies above every
    // window of Setup, the pinned popup included.
    void cardQuestionAboveEveryWindow()
    {
        Machine::instance().addCard(DeviceRZ4070A, 0xD000);
        const auto restore = qScopeGuard([] { Machine::instance().reset(); });
        TShownMainForm s;
        TMainForm &m = s.form;
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&m, "SetSup")->HelpForm() && Part<TSetupSupporter>(&m, "SetSup")->HelpForm()->isVisible(); }, Patience));
        s.entry("Calibration2")->trigger();
        TPopupForm *popup = Part<TBoardHighlight>(&m, "CalibrationHighlight0")->Popup();
        QVERIFY(popup && QTest::qWaitFor([&] { return Framed(popup); }, Patience));
        QString below;
        bool asked = false;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dialog || !Framed(dialog))
                return;
            below.clear();
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w != dialog && w->isVisible() && Stacking().contains(w->winId()) && !Above(dialog, w))
                    below += QStringLiteral("%1 \"%2\"; ").arg(QLatin1String(w->metaObject()->className()), w->windowTitle());
            if (below.isEmpty() || asked) {
                asked = true;
                dialog->reject();
            }
        });
        answer.start(50);
        QTimer::singleShot(2 * Patience, [&] {
            if (auto *dialog = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
                asked = true;
                dialog->reject();
            }
        });
        m.CalibButtonClick(); // asks; cancelled, it starts nothing
        QVERIFY(asked);
        QVERIFY2(below.isEmpty(), qPrintable(QStringLiteral("the question lies below: ") + below));
    }

    // The bench lies in the corner below the board of a maximised Setup,
    // on top, its whole width shown, covering none of the board.
    void benchBelowTheBoard()
    {
        if (Screen().width() < 1280)
            QSKIP("the bench is wider than this screen: it scrolls here");
        TShownMainForm s;
        QVERIFY(Settled(s.form));
        Card card(DeviceRZ4070, DefaultBase);
        TBenchWindow bench(card.State());
        bench.PlaceBesideSetup();
        bench.show();
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        auto *scroll = bench.findChild<QScrollArea *>();
        // Placed again once the window manager reports the bench's frame.
        const bool placed = QTest::qWaitFor([&] {
            return Framed(&bench) && OuterGeometry(&bench).bottomRight() == area.bottomRight()
                   && !scroll->horizontalScrollBar()->isVisible() && !scroll->verticalScrollBar()->isVisible()
                   && !OuterGeometry(&bench).intersects(ScreenRect(Part<TBoardImage>(&s.form, "BoardImage1")));
        }, Patience);
        QVERIFY2(placed, qPrintable(QStringLiteral("bench %1 showing %2 of %3x%4, board %5")
                                        .arg(Where(OuterGeometry(&bench)), Where(scroll->viewport()->rect()))
                                        .arg(scroll->widget()->width()).arg(scroll->widget()->height())
                                        .arg(Where(ScreenRect(Part<TBoardImage>(&s.form, "BoardImage1"))))));
        QVERIFY(bench.StaysOnTop());
    }

    // A support window closed comes back from its menu item, shown and
    // active, where it was, frame included.
    void supportWindowsComeBack()
    {
        TShownMainForm s;
        TSetupSupporter *sup = Part<TSetupSupporter>(&s.form, "SetSup");
        QVERIFY(WaitFor([&] { return sup->HelpForm() && sup->HelpForm()->isVisible(); }, Patience));
        for (const auto &[w, item] : s.supportWindows()) {
            item->trigger();
            // Where it settles: framed, and the same a moment later.
            QRect was;
            QVERIFY2(QTest::qWaitFor([&] {
                const QRect now = Framed(w) ? OuterGeometry(w) : QRect();
                const bool still = now.isValid() && now == was;
                was = now;
                if (!still)
                    QTest::qWait(200);
                return still;
            }, Patience), qPrintable(w->objectName()));
            w->close();
            QVERIFY(QTest::qWaitFor([&] { return !w->isVisible(); }, Patience));
            item->trigger();
            QVERIFY2(QTest::qWaitFor([&] { return Framed(w) && w->isActiveWindow() && Above(w, &s.form) && OuterGeometry(w) == was; }, Patience),
                     qPrintable(QStringLiteral("%1 came back at %2, was at %3").arg(w->objectName(), Where(OuterGeometry(w)), Where(was))));
            QVERIFY2(AllowedActions(w).contains(QLatin1String("CLOSE")), qPrintable(w->objectName()));
            const QString maximised = NoMaximiseKept(w);
            QVERIFY2(maximised.isEmpty(), qPrintable(maximised));
        }
    }
};

int main(int argc, char *argv[])
{
    PreferX11(); // as Setup does: XWayland on a Wayland desktop
    QApplication app(argc, argv);
    TestPlacement test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_placement.moc"
