#include "PopupForm.h"

#include "AccessibleBoard.h"
#include "BoardHighlight.h"
#include "BoardImage.h"
#include "ClientArea.h"
#include "FrameWatch.h"
#include "KeptPlace.h"
#include "WindowManager.h"
#include "ExactClass.h"
#include "RadioPanel.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QWindow>

namespace {

constexpr int MinimumWidth = 194;
constexpr int MinimumHeight = 122;
constexpr int NoPanelWidth = 194;
constexpr int NoPanelHeight = 141;
constexpr int NoPanelMemoHeight = 58;
constexpr int ButtonWidth = 58;
constexpr int ButtonHeight = 25;
constexpr int StatusHeight = 19;

} // namespace

TPopupForm::TPopupForm(TBoardHighlight *owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                         | Qt::WindowCloseButtonHint),
      FHighlight(owner)
{
    InstallBoardAccessibility();
    FPanel = owner->RadioPanel();
    int memoHeight = NoPanelMemoHeight;
    QPoint panelLayout(0, 0);
    // Until the window manager frames this window, its frame is taken to be
    // the main window's.
    FFrame = FrameMargins(owner->window());
    if (FPanel) {
        memoHeight = FPanel->MemoHeight();
        panelLayout = FPanel->pos();
        FFirstClient = QSize(FPanel->width(), FPanel->height() + 32 + memoHeight + StatusHeight);
    } else {
        FFirstClient = QSize(NoPanelWidth, NoPanelHeight) - QSize(FFrame.left() + FFrame.right(), FFrame.top() + FFrame.bottom());
    }
    setWindowTitle(owner->CaptionText());
    ApplySizeRule();
    FTag = int(owner->HighlightType());

    // Where the layout put the panel relative to the board, shifted as far
    // as the board has moved since, on the screen: the board's position is
    // taken through the client area it lies in.
    QWidget *board = owner->parentWidget();
    QPoint shift(0, 0);
    if (auto *b = AsExactly<TBoardImage>(board))
        shift = b->DesignPosition() - panelLayout;
    if (!FPanel)
        shift = QPoint(0, -((board ? board->height() : 0) + 38));
    FPlace = board ? board->pos() - shift : QPoint();
    if (board && board->parentWidget())
        FPlace = board->parentWidget()->mapToGlobal(FPlace);
    FKept = new TKeptPlace(this, [this] { return HeldOnScreen(FPlace); });
    FKept->Place();
    AskForNoMaximise(this); // after the first move, which then places the frame's corner

    FLayout.SetLayoutSize(size());
    const int CW = width(), CH = height();
    if (FPanel) {
        FPanel->Host(this);
        FPanelStart = FPanel->geometry();
    }
    FPopupStatus = new QStatusBar(this);
    FPopupStatus->setSizeGripEnabled(false);
    FLayout.Place(FPopupStatus, QRect(0, CH - StatusHeight, CW, StatusHeight), akLeft | akRight | akBottom);
    FPreviousButton = new QPushButton(QStringLiteral("Previous"), this);
    FPreviousButton->setObjectName(QStringLiteral("PreviousButton"));
    FLayout.Place(FPreviousButton, QRect(6, CH - 44, ButtonWidth, ButtonHeight), akLeft | akBottom);
    FNextButton = new QPushButton(QStringLiteral("Next"), this);
    FNextButton->setObjectName(QStringLiteral("NextButton"));
    FLayout.Place(FNextButton, QRect((CW - ButtonWidth) / 2, CH - 44, ButtonWidth, ButtonHeight), akBottom);
    FDoneButton = new QPushButton(QStringLiteral("Done"), this);
    FDoneButton->setObjectName(QStringLiteral("DoneButton"));
    FLayout.Place(FDoneButton, QRect(CW - 64, CH - 44, ButtonWidth, ButtonHeight), akRight | akBottom);
    FStatusMemo = new QPlainTextEdit(this);
    FStatusMemo->setObjectName(QStringLiteral("StatusMemo"));
    FStatusMemo->setAccessibleName(QStringLiteral("About ") + owner->CaptionText());
    FStatusMemo->setReadOnly(true);
    FStatusMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (FPanel)
        FStatusMemo->setPlainText(FPanel->Lines().join(u'\n'));
    FLayout.Place(FStatusMemo, QRect(6, CH - 50 - memoHeight, CW - 12, memoHeight), akLeft | akTop | akRight | akBottom);
    FPopupStatus->setObjectName(QStringLiteral("PopupStatus"));

    connect(new TFrameWatch(this), &TFrameWatch::FrameChanged, this, &TPopupForm::FrameChanged);
}

void TPopupForm::ApplySizeRule()
{
    const QSize frame(FFrame.left() + FFrame.right(), FFrame.top() + FFrame.bottom());
    const QSize outer = (FFirstClient + frame).expandedTo(QSize(MinimumWidth, MinimumHeight));
    setMinimumSize(outer - frame);
    resize(outer - frame);
    FRuledSize = size();
}

QPoint TPopupForm::HeldOnScreen(const QPoint &corner) const
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return corner;
    return HeldWithin(QRect(corner, size().grownBy(FFrame)), QRect(QPoint(0, 0), screen->size()));
}

void TPopupForm::HoldOnScreen()
{
    const QPoint p = HeldOnScreen(pos());
    if (p != pos())
        move(p);
}

void TPopupForm::FrameChanged(const QMargins &frame)
{
    // The window manager frames the window some time after it is shown,
    // and until it publishes the frame's extents Qt may measure a frame
    // still being built. So each time the frame changes, the size rule and
    // the place are made again with it, as long as the user has not
    // resized or moved the window since; otherwise it is only held on the
    // screen.
    if (!isVisible())
        return;
    if (frame.isNull() || (FFramed && frame == FFrame))
        return;
    FFramed = true;
    FFrame = frame;
    if (size() == FRuledSize)
        ApplySizeRule();
    if (FKept->UserMoved())
        HoldOnScreen();
    else
        FKept->Place();
}

void TPopupForm::FocusFirst()
{
    if (FPanel)
        FPanel->FocusFirstList();
    else
        FDoneButton->setFocus();
}

void TPopupForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A panel without lists raises no enter event, so each time the window
    // opens the focus can start on its first control (Begin Calibration).
    if (FPanel && !FPanel->HasList())
        FocusFirst();
}

void TPopupForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        FHighlight->window()->activateWindow();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TPopupForm::closeEvent(QCloseEvent *event)
{
    emit Closed();
    event->accept(); // hides; the window lives as long as its highlight
}

void TPopupForm::leaveEvent(QEvent *event)
{
    if (FCloseOnLeave && !OuterGeometry(this).contains(QCursor::pos()))
        close();
    QWidget::leaveEvent(event);
}

void TPopupForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange)
        emit ActivationChanged(isActiveWindow());
    QWidget::changeEvent(event);
}

void TPopupForm::resizeEvent(QResizeEvent *event)
{
    FLayout.Apply(size());
    // The panel's anchors can change after hosting: read them now.
    if (FPanel)
        FPanel->setGeometry(Anchored(FPanelStart, FLayout.LayoutSize(), size(), FPanel->Anchors()));
    QWidget::resizeEvent(event);
}
