// Setup on a real X server under a real window manager (openbox), on the
// xcb platform: drop-down lists chosen by mouse, activation moving between
// windows, frames the window manager adds, stacking, and the screen size
// this run was given. Every wait is for a condition.
#include "Parts.h"
#include "BenchWindow.h"
#include "Board.h"
#include "ClientArea.h"
#include "LayoutStyle.h"
#include "LLTRVWDM.h"
#include "ShownMainForm.h"
#include "Support.h"
#include "ReportWindow.h"
#include "RunWizard.h"
#include "Wait.h"
#include "template.h"
#include "HistoryWindow.h"
#include "X11Props.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTableView>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QtTest>

namespace {

// The window's _NET_WM_STATE, as the window manager keeps it.
// Whether the X server shows the window: mapped, not minimised.
bool Viewable(const QWidget *w)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(w->winId())});
    return info.waitForFinished(5000) && info.readAllStandardOutput().contains("Map State: IsViewable")
           && !NetState(w).contains(QLatin1String("_NET_WM_STATE_HIDDEN"));
}

bool ActiveOnTheServer(const QWidget *w)
{
    const QStringList active = XProp({QStringLiteral("-root"), QStringLiteral("_NET_ACTIVE_WINDOW")});
    return !active.isEmpty() && active.last().toULongLong(nullptr, 16) == w->winId();
}

// The window `id`'s area on the screen as the X server has it, frame
// excluded; null when it cannot be read.
QRect ServerGeometry(const QString &id)
{
    QProcess info;
    info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
    if (!info.waitForFinished(5000))
        return QRect();
    const QString text = QString::fromLatin1(info.readAllStandardOutput());
    auto field = [&](const char *name) {
        const QRegularExpressionMatch m = QRegularExpression(QLatin1String(name) + QStringLiteral(":\\s+(-?\\d+)")).match(text);
        return m.hasMatch() ? std::optional<int>(m.captured(1).toInt()) : std::nullopt;
    };
    const auto x = field("Absolute upper-left X"), y = field("Absolute upper-left Y"), width = field("Width"), height = field("Height");
    return x && y && width && height ? QRect(*x, *y, *width, *height) : QRect();
}

void XDoTool(const QStringList &args)
{
    QProcess::execute(QStringLiteral("xdotool"), args);
}

bool Framed(const QWidget *w)
{
    return w->isVisible() && !FrameMargins(w).isNull();
}

QRect Screen()
{
    return QGuiApplication::primaryScreen()->geometry();
}

bool OnScreen(const QWidget *w)
{
    return Framed(w) && Screen().contains(OuterGeometry(w));
}

// Opens the list's real drop-down with the mouse and clicks item `index`.
bool ChooseByMouse(QComboBox *box, int index)
{
    // The arrow opens the drop-down, in a list with an edit field too.
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.subControls = QStyle::SC_All;
    const QRect arrow = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, arrow.center());
    QAbstractItemView *view = box->view();
    if (!QTest::qWaitFor([&] { return view->isVisible() && view->window()->windowHandle()->isExposed(); }, Patience))
        return false;
    // Over the item, it becomes the current one; a click chooses it. The
    // drop-down ignores a click that comes as quickly as a double click's
    // second half, so, like a user, click again until it closes.
    const QRect item = view->visualRect(box->model()->index(index, 0));
    QTest::mouseMove(view->viewport(), item.center());
    if (!QTest::qWaitFor([&] { return view->currentIndex().row() == index; }, Patience))
        return false;
    QElapsedTimer pace;
    pace.start();
    return QTest::qWaitFor([&] {
        if (view->isVisible() && pace.elapsed() >= 100) {
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
            pace.restart();
        }
        return !view->isVisible() && box->hasFocus();
    }, Patience);
}

TPopupForm *Open(TShownMainForm &s, const char *entry, TBoardHighlight *h)
{
    s.entry(entry)->trigger();
    if (!QTest::qWaitFor([&] { return h->Popup() && h->Popup()->FrameKnown() && OnScreen(h->Popup()) && h->Popup()->isActiveWindow(); }, Patience))
        return nullptr;
    return h->Popup();
}

// Double-clicks the window's caption, as a user who wants it maximised.
void DoubleClickCaption(const QWidget *w)
{
    const QRect outer = OuterGeometry(w);
    const QPoint at(outer.center().x(), outer.top() + FrameMargins(w).top() / 2);
    XDoTool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
    XDoTool({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
             QStringLiteral("80"), QStringLiteral("1")});
}

// Records whether a window was ever maximised.
class TMaximisedWatch : public QObject {
public:
    explicit TMaximisedWatch(QWidget *w) { w->installEventFilter(this); }
    bool FSeen = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::WindowStateChange && static_cast<QWidget *>(watched)->isMaximized())
            FSeen = true;
        return false;
    }
};

// A double-click on the caption leaves the window at its size, not
// maximised, whatever the window manager allows. What went wrong, or
// nothing.
QString NeverMaximised(QWidget *w)
{
    // Once Qt has heard of the size the X server has for it (under load Qt
    // may still hold one from before the window was restored).
    const QString id = QString::number(w->winId());
    if (!QTest::qWaitFor([&] { return ServerGeometry(id).size() == w->size(); }, Patience))
        return QStringLiteral("Qt has it at %1x%2, the X server at %3x%4 before the double click")
            .arg(w->width()).arg(w->height()).arg(ServerGeometry(id).width()).arg(ServerGeometry(id).height());
    const QSize before = w->size();
    TMaximisedWatch watch(w);
    DoubleClickCaption(w);
    // The window manager's answer, if any, comes first.
    [[maybe_unused]] const bool answered = QTest::qWaitFor([&] { return watch.FSeen; }, 2000);
    if (QTest::qWaitFor([&] {
            return !NetState(w).contains(QLatin1String("MAXIMIZED")) && !w->isMaximized() && w->size() == before;
        }, Patience))
        return QString();
    return QStringLiteral("%1x%2 before, %3x%4 after, %5").arg(before.width()).arg(before.height())
        .arg(w->width()).arg(w->height()).arg(NetState(w));
}

bool Activate(QWidget *w)
{
    w->activateWindow();
    return QTest::qWaitFor([&] { return w->isActiveWindow(); }, Patience);
}

// Notes whether the support windows existed when the main window first
// painted.
class TFirstPaintWatch : public QObject {
public:
    explicit TFirstPaintWatch(TMainForm *form) : FForm(form) { form->installEventFilter(this); }
    bool FPainted = false;
    bool FSupportBuiltFirst = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !FPainted) {
            FPainted = true;
            FSupportBuiltFirst = Part<TSetupSupporter>(FForm, "SetSup")->HeaderLabel() != nullptr;
        }
        return false;
    }

private:
    TMainForm *FForm;
};

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        QVERIFY2(!XProp({QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")}).isEmpty(),
                 "no window manager");
        UseLayoutLook();
        QVERIFY(LLTRVWDM::LoadDriverLibrary());
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The main window is on the screen, painted, before the support
    // windows are built at the first idle moment.
    void mainWindowPaintsBeforeTheSupportWindows()
    {
        TMainForm form;
        TFirstPaintWatch watch(&form);
        ShowMaximised(&form);
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&form, "SetSup")->HeaderLabel() != nullptr; }, Patience));
        QVERIFY(watch.FPainted);
        QVERIFY(!watch.FSupportBuiltFirst);
    }

    void init()
    {
        MainUnit.BaseAddress = 0;
        QCursor::setPos(0, 0);
    }

    // A range chosen from a drop-down survives the drop-down closing, the
    // next list's choice and the window's activation; a real focus move
    // into the panel still resets the lists as its enter event says.
    void dacRangeChoicesSurvive()
    {
        TShownMainForm s;
        TPopupForm *popup = Open(s, "DACRange1", Part<TBoardHighlight>(&s.form, "DACHighlight"));
        QVERIFY(popup);
        QVERIFY(ChooseByMouse(Part<QComboBox>(&s.form, "DACBox0"), 4)); // DAC 0: ±5V
        QVERIFY(ChooseByMouse(Part<QComboBox>(&s.form, "DACBox1"), 2)); // DAC 1: 0-10V
        QCOMPARE(MainUnit.DACRange, (std::array<uint8_t, 2>{4, 2}));
        QCOMPARE(Part<QComboBox>(&s.form, "DACBox0")->currentText(), QStringLiteral("DAC 0: ±5V"));
        QCOMPARE(Part<QComboBox>(&s.form, "DACBox1")->currentText(), QStringLiteral("DAC 1: 0-10V"));
        QCOMPARE(Part<TDipSwitch>(&s.form, "DACDip0")->BinaryValueStr(), QStringLiteral("100"));
        QCOMPARE(Part<TDipSwitch>(&s.form, "DACDip1")->BinaryValueStr(), QStringLiteral("010"));

        QVERIFY(Activate(&s.form));
        QVERIFY(Activate(popup));
        QCOMPARE(Part<QComboBox>(&s.form, "DACBox0")->currentIndex(), 4);
        QCOMPARE(Part<QComboBox>(&s.form, "DACBox1")->currentIndex(), 2);

        // Tab from Done into the panel: a focus move from outside it enters
        // the panel, which shows the chosen ranges again.
        popup->DoneButton()->setFocus(Qt::TabFocusReason);
        QVERIFY(QTest::qWaitFor([&] { return popup->DoneButton()->hasFocus(); }, Patience));
        Part<QComboBox>(&s.form, "DACBox0")->setFocus(Qt::TabFocusReason);
        QVERIFY(QTest::qWaitFor([&] { return Part<QComboBox>(&s.form, "DACBox0")->hasFocus(); }, Patience));
        QCOMPARE(Part<QComboBox>(&s.form, "DACBox0")->currentIndex(), 4);
        QCOMPARE(Part<QComboBox>(&s.form, "DACBox1")->currentIndex(), 2);
        QCOMPARE(MainUnit.DACRange, (std::array<uint8_t, 2>{4, 2})); // no change event
        // A choice in one list leaves the other DAC's range as chosen.
        QVERIFY(ChooseByMouse(Part<QComboBox>(&s.form, "DACBox0"), 3)); // DAC 0: ±2.5V
        QCOMPARE(MainUnit.DACRange, (std::array<uint8_t, 2>{3, 2}));
    }

    void softwareTristatedSurvives()
    {
        TShownMainForm s;
        TPopupForm *popup = Open(s, "BufferTristate1", Part<TBoardHighlight>(&s.form, "ClampHighlight"));
        QVERIFY(popup);
        QCOMPARE(Part<QComboBox>(&s.form, "BufferBox")->currentIndex(), 0); // entered when first shown
        QVERIFY(ChooseByMouse(Part<QComboBox>(&s.form, "BufferBox"), 1));
        QCOMPARE(Part<QComboBox>(&s.form, "BufferBox")->currentText(), QStringLiteral("Software Tristated"));
        QCOMPARE(Part<TThreeJumper>(&s.form, "BufferJumper")->JumperState(), TThreeJumper::jsLeft);
        QVERIFY(Activate(&s.form));
        QVERIFY(Activate(popup));
        QCOMPARE(Part<QComboBox>(&s.form, "BufferBox")->currentIndex(), 1);
    }

    // Typing in a list with an edit field selects the matching item and
    // never adds one.
    void typingSelectsWithoutAddingItems()
    {
        TShownMainForm s;
        QVERIFY(Open(s, "Channels1", Part<TBoardHighlight>(&s.form, "ChannelHighlight")));
        QLineEdit *edit = Part<QComboBox>(&s.form, "ChannelBox")->lineEdit();
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("CH2"));
        QCOMPARE(Part<QComboBox>(&s.form, "ChannelBox")->currentIndex(), 3);
        QVERIFY(Part<TTwoJumper>(&s.form, "CH2")->Closed());
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QStringLiteral("foo"));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(Part<QComboBox>(&s.form, "ChannelBox")->count(), 9);
        QCOMPARE(Part<QComboBox>(&s.form, "ChannelBox")->currentIndex(), -1);
        QCOMPARE(edit->text(), QStringLiteral("foo"));
        QVERIFY(!Part<TTwoJumper>(&s.form, "CH2")->Closed());
        QCOMPARE(Part<QComboBox>(&s.form, "BufferBox")->count(), 2);
    }

    // Every popup, frame and caption included, lies on the screen; it is a
    // tool window that cannot be minimised or maximised; its outer size
    // keeps to the 194 x 122 rule.
    void popupsAreHeldOnTheScreenWithTheirFrame()
    {
        TShownMainForm s;
        for (const TShownMainForm::TPopupCase &c : s.popups()) {
            TPopupForm *popup = Open(s, c.entry, c.h);
            QVERIFY2(popup, c.entry);
            const QRect outer = OuterGeometry(popup);
            QVERIFY2(Screen().contains(outer), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5").arg(c.entry)
                                                                .arg(outer.x()).arg(outer.y()).arg(outer.width()).arg(outer.height())));
            const QMargins m = FrameMargins(popup);
            const QSize frame(m.left() + m.right(), m.top() + m.bottom());
            QCOMPARE(outer.size(), PopupOuterSize(c.panelClient, m));
            QCOMPARE(popup->minimumSize() + frame, outer.size());
            // What the window manager is asked to draw and allow: a title,
            // a border and a close button; no minimise or maximise.
            const QStringList motif = XProp({QStringLiteral("-id"), QString::number(popup->winId()),
                                             QStringLiteral("_MOTIF_WM_HINTS")});
            QVERIFY2(motif.size() >= 4, qPrintable(motif.join(u' ')));
            const uint functions = motif[2].toUInt(nullptr, 16), decorations = motif[3].toUInt(nullptr, 16);
            constexpr uint FuncClose = 0x20, FuncMinimize = 0x08, FuncMaximize = 0x10;
            constexpr uint DecorTitle = 0x08, DecorMinimize = 0x20, DecorMaximize = 0x40;
            QVERIFY(functions & FuncClose);
            QVERIFY(!(functions & (FuncMinimize | FuncMaximize)));
            QVERIFY(decorations & DecorTitle);
            QVERIFY(!(decorations & (DecorMinimize | DecorMaximize)));
            // What the window manager then allows (and so draws buttons for).
            const QString allowed = AllowedActions(popup);
            QVERIFY2(allowed.contains(QLatin1String("_NET_WM_ACTION_CLOSE")), qPrintable(allowed));
            QVERIFY2(allowed.contains(QLatin1String("_NET_WM_ACTION_MOVE")), qPrintable(allowed));
            QVERIFY2(!allowed.contains(QLatin1String("_NET_WM_ACTION_MINIMIZE")), qPrintable(allowed));
            QVERIFY2(!allowed.contains(QLatin1String("_NET_WM_ACTION_MAXIMIZE")), qPrintable(allowed));
            popup->close();
        }
    }

    // A popup opens where the layout put its panel relative to the board,
    // on the screen, wherever the main window is.
    void popupFollowsTheBoardOnTheScreen()
    {
        TShownMainForm s;
        s.form.showNormal();
        const QPoint corner(Screen().width() - 720, Screen().height() - 540);
        s.form.resize(700, 500);
        s.form.move(corner);
        // Settled: where it was moved, as the X server has it too (Qt's own
        // idea may run ahead of the window manager), framed
        // with the borders of a window in its normal state, the board
        // centred in that frame.
        const bool settled = QTest::qWaitFor([&] {
            const QRect outer = OuterGeometry(&s.form);
            return !s.form.isMaximized() && FrameMargins(&s.form).left() > 0 && s.form.size() == QSize(700, 500)
                   && (outer.topLeft() - corner).manhattanLength() <= 2 // a border's width off at most
                   && ServerPosition(&s.form) == s.form.geometry().topLeft()
                   && Part<TBoardImage>(&s.form, "BoardImage1")->pos() == QPoint((outer.width() - 600) / 2, (outer.height() - 317) / 2);
        }, Patience);
        if (!settled)
            qWarning() << s.form.isMaximized() << FrameMargins(&s.form) << s.form.size() << OuterGeometry(&s.form) << Part<TBoardImage>(&s.form, "BoardImage1")->pos();
        QVERIFY(settled);
        TPopupForm *popup = Open(s, "BufferTristate1", Part<TBoardHighlight>(&s.form, "ClampHighlight"));
        QVERIFY(popup);
        // Where the board is now: a window manager may still move the main
        // window late, and the popup follows it.
        QPoint want;
        auto placed = [&] {
            const QPoint board = Part<TBoardImage>(&s.form, "BoardImage1")->pos();
            want = s.form.centralWidget()->mapToGlobal(board - (QPoint(166, 210) - QPoint(608, 528)));
            const QSize outer = OuterGeometry(popup).size();
            want.setX(std::clamp(want.x(), 0, Screen().width() - outer.width()));
            want.setY(std::clamp(want.y(), 0, Screen().height() - outer.height()));
            return OuterGeometry(popup).topLeft() == want;
        };
        QVERIFY2(QTest::qWaitFor(placed, Patience),
                 qPrintable(QStringLiteral("at %1,%2, not %3,%4").arg(OuterGeometry(popup).x()).arg(OuterGeometry(popup).y()).arg(want.x()).arg(want.y())));
    }

    // Shown again by hovering, a popup is brought up: shown, raised, active.
    void popupShownAgainIsActive()
    {
        TShownMainForm s;
        // Out of the way first: the help and cards windows open over the board.
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&s.form, "SetSup")->HelpForm() && Part<TSetupSupporter>(&s.form, "SetSup")->HelpForm()->isVisible(); }, Patience));
        Part<TSetupSupporter>(&s.form, "SetSup")->HelpForm()->hide();
        Part<TSetupSupporter>(&s.form, "SetSup")->PCIForm()->hide();
        TBoardHighlight *h = Part<TBoardHighlight>(&s.form, "ChannelHighlight");
        const QPoint over = h->mapToGlobal(h->rect().center());
        for (int round = 0; round < 2; ++round) {
            QCursor::setPos(over);
            QVERIFY(QTest::qWaitFor([&] { return h->Popup() && h->Popup()->isVisible() && h->Popup()->isActiveWindow(); }, Patience));
            QTest::mouseClick(h->Popup()->DoneButton(), Qt::LeftButton);
            QVERIFY(QTest::qWaitFor([&] { return !h->Popup()->isVisible(); }, Patience));
            QCursor::setPos(0, 0);
            s.form.activateWindow(); // the user goes back to the main window
        }
    }

    // Un-maximised and maximised again, the board is centred in the
    // window's outer size as the window manager has framed it.
    void boardRecentresWithTheFrame()
    {
        TShownMainForm s;
        auto centred = [&] {
            const QSize outer = OuterGeometry(&s.form).size();
            return Part<TBoardImage>(&s.form, "BoardImage1")->pos() == QPoint((outer.width() - 600) / 2, (outer.height() - 317) / 2);
        };
        QVERIFY(QTest::qWaitFor(centred, Patience));
        s.form.showNormal();
        QVERIFY(QTest::qWaitFor([&] { return !s.form.isMaximized() && centred(); }, Patience));
        s.form.showMaximized();
        QVERIFY(QTest::qWaitFor([&] { return s.form.isMaximized() && centred(); }, Patience));
        const QPoint board = Part<TBoardImage>(&s.form, "BoardImage1")->pos();
        TPopupForm *popup = Open(s, "DACRange1", Part<TBoardHighlight>(&s.form, "DACHighlight"));
        QVERIFY(popup);
        QVERIFY(centred());
        QCOMPARE(Part<TBoardImage>(&s.form, "BoardImage1")->pos(), board);
    }

    // Moved by the user, the support and cards windows come back there.
    void secondaryWindowsKeepTheirPlace()
    {
        TShownMainForm s;
        QVERIFY(WaitFor([&] { return Part<TSetupSupporter>(&s.form, "SetSup")->TechForm() && Part<TSetupSupporter>(&s.form, "SetSup")->PCIForm(); }, Patience));
        for (QWidget *w : {static_cast<QWidget *>(Part<TSetupSupporter>(&s.form, "SetSup")->TechForm()), static_cast<QWidget *>(Part<TSetupSupporter>(&s.form, "SetSup")->PCIForm())}) {
            w->show();
            QVERIFY(QTest::qWaitFor([&] { return Framed(w); }, Patience));
            const QPoint before = OuterGeometry(w).topLeft();
            const QPoint to(40, Screen().height() - OuterGeometry(w).height() - 40);
            // As a user drags it: through the window manager.
            QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowmove"), QString::number(w->winId()),
                                                          QString::number(to.x()), QString::number(to.y())});
            QVERIFY(QTest::qWaitFor([&] { return OuterGeometry(w).topLeft() != before; }, Patience));
            const QPoint moved = OuterGeometry(w).topLeft();
            w->hide();
            QVERIFY(QTest::qWaitFor([&] { return !w->isVisible(); }, Patience));
            w->show();
            QVERIFY2(QTest::qWaitFor([&] { return Framed(w) && OuterGeometry(w).topLeft() == moved; }, Patience),
                     qPrintable(QStringLiteral("%1 came back at %2,%3, not %4,%5").arg(w->objectName())
                                    .arg(OuterGeometry(w).x()).arg(OuterGeometry(w).y()).arg(moved.x()).arg(moved.y())));
            w->hide();
        }
    }

    // A message box opened while a pinned popup is up lies above it.
    void messageBoxAbovePopups()
    {
        TShownMainForm s;
        TPopupForm *popup = Open(s, "Calibration2", Part<TBoardHighlight>(&s.form, "CalibrationHighlight0"));
        QVERIFY(popup);
        bool above = false, seen = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !Framed(box))
                return;
            if (!seen && Above(box, popup)) {
                seen = above = true;
                box->button(QMessageBox::Ok)->click();
            }
        });
        poll.start(20);
        QTimer::singleShot(Patience, [&] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                box->button(QMessageBox::Ok)->click();
        });
        s.form.CalibButtonClick(); // no card: refuses with a box
        QVERIFY2(above, "the message box opened under the popup");
    }

    // A support window the user minimised (or closed, where the window
    // manager offers no minimise) comes back from its menu item: shown,
    // raised above the main window and active.
    void supportWindowsComeBackFromTheirMenuItems()
    {
        TShownMainForm s;
        TSetupSupporter *sup = Part<TSetupSupporter>(&s.form, "SetSup");
        QVERIFY(WaitFor([&] { return sup->HelpForm() && sup->HelpForm()->isVisible(); }, Patience));
        for (const auto &[w, item] : s.supportWindows()) {
            QVERIFY(item);
            item->trigger();
            QVERIFY2(QTest::qWaitFor([&] { return Framed(w) && Viewable(w); }, Patience), qPrintable(w->objectName()));
            if (AllowedActions(w).contains(QLatin1String("_NET_WM_ACTION_MINIMIZE"))) {
                XDoTool({QStringLiteral("windowminimize"), QString::number(w->winId())});
                QVERIFY2(QTest::qWaitFor([&] { return NetState(w).contains(QLatin1String("_NET_WM_STATE_HIDDEN")); }, Patience),
                         qPrintable(w->objectName()));
            } else {
                w->close();
                QVERIFY2(QTest::qWaitFor([&] { return !Viewable(w); }, Patience), qPrintable(w->objectName()));
            }
            item->trigger();
            QVERIFY2(QTest::qWaitFor([&] { return Viewable(w) && Above(w, &s.form) && ActiveOnTheServer(w); }, Patience),
                     qPrintable(w->objectName() + QStringLiteral(": ") + NetState(w)));
        }
    }

    // The support windows belong to the main window: minimised with it,
    // back with it, above it. They offer close, never maximise along
    // either axis, and are never maximised.
    void supportWindowsFollowTheMainWindow()
    {
        TShownMainForm s;
        TSetupSupporter *sup = Part<TSetupSupporter>(&s.form, "SetSup");
        QVERIFY(WaitFor([&] { return sup->HelpForm() && sup->HelpForm()->isVisible(); }, Patience));
        Part<QAction>(&s.form, "TechnicalSupport1")->trigger();
        const QList<QWidget *> windows = {sup->HelpForm(), sup->TechForm(), sup->PCIForm()};
        for (QWidget *w : windows)
            QVERIFY2(QTest::qWaitFor([&] { return Framed(w) && Viewable(w); }, Patience), qPrintable(w->objectName()));
        XDoTool({QStringLiteral("windowminimize"), QString::number(s.form.winId())});
        QVERIFY(QTest::qWaitFor([&] {
            return !Viewable(&s.form) && std::none_of(windows.begin(), windows.end(), Viewable);
        }, Patience));
        XDoTool({QStringLiteral("windowactivate"), QString::number(s.form.winId())});
        QVERIFY(QTest::qWaitFor([&] {
            return Viewable(&s.form) && std::all_of(windows.begin(), windows.end(), [&](QWidget *w) {
                return Viewable(w) && Above(w, &s.form);
            });
        }, Patience));
        for (QWidget *w : windows) {
            const QString allowed = AllowedActions(w);
            QVERIFY2(allowed.contains(QLatin1String("_NET_WM_ACTION_CLOSE")), qPrintable(allowed));
            QVERIFY2(!allowed.contains(QLatin1String("MAXIMIZE")), qPrintable(allowed));
        }
        const QString maximised = NeverMaximised(sup->TechForm());
        QVERIFY2(maximised.isEmpty(), qPrintable(maximised));
    }

    // The title is drawn beneath the panels: on the screen, the instruction
    // panel shows its own pixels where the title's band crosses it.
    void titleLiesBeneathThePanels()
    {
        TShownMainForm s;
        TSetupSupporter *sup = Part<TSetupSupporter>(&s.form, "SetSup");
        QVERIFY(WaitFor([&] { return sup->HelpForm() && sup->HelpForm()->isVisible(); }, Patience));
        for (QWidget *w : {static_cast<QWidget *>(sup->HelpForm()), static_cast<QWidget *>(sup->PCIForm())})
            w->hide();
        Part<TPanel>(&s.form, "InstPanel")->show();
        QWidget *panel = Part<TPanel>(&s.form, "InstPanel");
        const QRect global(panel->mapToGlobal(QPoint(0, 0)), panel->size());
        const QRect title(sup->HeaderLabel()->mapToGlobal(QPoint(0, 0)), sup->HeaderLabel()->size());
        if (!global.intersects(title))
            QSKIP("the title does not reach the instruction panel on this screen");
        const QImage own = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QImage shown;
        const bool same = QTest::qWaitFor([&] {
            shown = QGuiApplication::primaryScreen()->grabWindow(0, global.x(), global.y(), global.width(), global.height())
                        .toImage().convertToFormat(QImage::Format_RGB32);
            return shown == own;
        }, Patience);
        if (!same) {
            own.save(QStringLiteral("instpanel-own.png"));
            shown.save(QStringLiteral("instpanel-shown.png"));
        }
        QVERIFY2(same, "the title covers the instruction panel (instpanel-own.png, instpanel-shown.png)");
    }

    // The calibration record comes up with the wizard wholly on the screen,
    // frame included, at every size down to 800x600, and in the user's
    // numbers: commas under a German locale.
    void recordWindowOnTheScreenInTheUsersNumbers()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TShownMainForm s;
        QVERIFY(WaitFor([&] { return MainUnit.BaseAddress != 0; }, Patience)); // the card is listed
        QRect shown;
        const bool ended = RunWizard(s.form, [&] {
            TReportWindow *r = s.form.Calibration()->ReportWindow();
            if (!r || !Framed(r) || !OnScreen(r))
                return;
            shown = OuterGeometry(r);
            s.form.QuitClick();
        }, Patience * 2);
        QLocale::setDefault(QLocale::c());
        QVERIFY2(ended, qPrintable(QStringLiteral("the record window never lay wholly on the screen: %1,%2 %3x%4")
                                       .arg(OuterGeometry(s.form.Calibration()->ReportWindow()).x()).arg(OuterGeometry(s.form.Calibration()->ReportWindow()).y())
                                       .arg(OuterGeometry(s.form.Calibration()->ReportWindow()).width()).arg(OuterGeometry(s.form.Calibration()->ReportWindow()).height())));
        QVERIFY(Screen().contains(shown));
        const QAbstractItemModel *cells = Part<QTableView>(s.form.Calibration()->ReportWindow(), "Table")->model();
        QString table;
        for (int row = 0; row < cells->rowCount(); ++row)
            for (int column = 0; column < cells->columnCount(); ++column)
                table += cells->index(row, column).data().toString() + u'|';
        QVERIFY2(table.contains(QStringLiteral("calibrator 9,900 V")) && table.contains(QStringLiteral("0,0125")),
                 qPrintable(table));
        QVERIFY(!table.contains(QStringLiteral("9.900")));
        // The history window, from its menu entry, lies wholly on the
        // screen too, frame and buttons included.
        Part<QAction>(&s.form, "History1")->trigger();
        THistoryWindow *history = s.form.HistoryWindow();
        QVERIFY(history);
        const bool whole = QTest::qWaitFor([&] { return Framed(history) && OnScreen(history); }, Patience);
        const QRect outer = OuterGeometry(history);
        QVERIFY2(whole, qPrintable(QStringLiteral("the history at %1,%2 %3x%4").arg(outer.x()).arg(outer.y()).arg(outer.width()).arg(outer.height())));
    }

    // The bench stays usable beside a maximised Setup: it lies on the
    // screen, and where it stays on top, below the board, clicks in Setup do
    // not bury it.
    void benchStaysBesideSetup()
    {
        TShownMainForm s;
        trvsim::Card card(trvsim::DeviceRZ4070, trvsim::DefaultBase);
        TBenchWindow bench(card.State());
        bench.PlaceBesideSetup();
        bench.show();
        // Settled in the screen's corner by the frame the window manager drew.
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(QTest::qWaitFor([&] { return Framed(&bench) && OuterGeometry(&bench).bottomRight() == area.bottomRight(); }, Patience),
                 qPrintable(QStringLiteral("bench at %1,%2 %3x%4").arg(OuterGeometry(&bench).x()).arg(OuterGeometry(&bench).y())
                                .arg(OuterGeometry(&bench).width()).arg(OuterGeometry(&bench).height())));
        // Never maximised over Setup: not offered, and a double-click on its
        // caption leaves it as it was.
        const QString allowed = AllowedActions(&bench);
        QVERIFY2(!allowed.contains(QLatin1String("MAXIMIZE")), qPrintable(allowed));
        const QString maximised = NeverMaximised(&bench);
        QVERIFY2(maximised.isEmpty(), qPrintable(maximised));
        QVERIFY2(Screen().contains(OuterGeometry(&bench)), "the bench reaches past the screen");
        if (!bench.StaysOnTop()) // no room below the board: an ordinary window, which Setup covers
            return;
        QVERIFY2(!OuterGeometry(&bench).intersects(ScreenRect(Part<TBoardImage>(&s.form, "BoardImage1"))), "the bench covers the board");
        QVERIFY(Activate(&s.form));
        QTest::mouseClick(s.form.centralWidget(), Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY2(QTest::qWaitFor([&] { return Above(&bench, &s.form); }, Patience),
                 qPrintable(QStringLiteral("on top %1, %2, state %3").arg(bool(bench.StaysOnTop()))
                                .arg(OuterGeometry(&bench).y()).arg(NetState(&bench))));
    }

    // The bench program as run.sh starts it, with its own look (wider than
    // in this test's process): its window, frame included, lies on the
    // screen at every size; where the bench is larger, it scrolls.
    void benchProgramLiesOnTheScreen()
    {
        QProcess bench;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        const QString shared = QStringLiteral("/rz4070-desktop-%1").arg(QCoreApplication::applicationPid());
        env.insert(QStringLiteral("TRVWDM_SIM_SHM"), shared);
        bench.setProcessEnvironment(env);
        bench.start(QStringLiteral(BENCH_PROGRAM), {});
        QVERIFY(bench.waitForStarted());
        const auto stop = qScopeGuard([&] {
            bench.kill();
            bench.waitForFinished();
            QFile::remove(QStringLiteral("/dev/shm") + shared);
        });
        QRect outer;
        QVERIFY2(QTest::qWaitFor([&] {
            QProcess search;
            search.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                     QStringLiteral("--name"), QStringLiteral("^Virtual bench")});
            const QByteArray found = search.waitForFinished(5000) ? search.readAllStandardOutput().trimmed() : QByteArray();
            if (found.isEmpty())
                return false;
            const QString id = QString::fromLatin1(found.split('\n').first());
            const QStringList extents = XProp({QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS")});
            if (extents.size() < 4)
                return false; // not framed yet
            const QRect client = ServerGeometry(id);
            if (client.isNull())
                return false;
            const auto extent = [&](int k) { return extents.at(extents.size() - 4 + k).toInt(); }; // left, right, top, bottom
            outer = client.marginsAdded(QMargins(extent(0), extent(2), extent(1), extent(3)));
            // Framed, the bench is placed again by its frame.
            return Screen().contains(outer);
        }, Patience), qPrintable(QStringLiteral("bench at %1,%2 %3x%4 on %5x%6")
                                                         .arg(outer.x()).arg(outer.y()).arg(outer.width()).arg(outer.height())
                                                         .arg(Screen().width()).arg(Screen().height())));
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
