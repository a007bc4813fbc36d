#include "SupportWindows.h"

#include "BoardImage.h"
#include "Canvas.h"
#include "ClientArea.h"
#include "FrameWatch.h"
#include "RtfReader.h"
#include "WindowManager.h"

#include <QApplication>
#include <QHideEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

namespace {

constexpr int ClientWidth = 305;
constexpr int HelpClientHeight = 138;
constexpr int TextClientHeight = 122;
// The states in which a window on top would hide everything under it.

QString SeriesSuffix(const TSupportTexts &t)
{
    return t.bSeries ? QStringLiteral(" Series") : QString();
}

} // namespace

QByteArray HelpDocument(const TSupportTexts &t)
{
    QString rtf = QStringLiteral(
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033{\\fonttbl{\\f0\\fswiss\\fprq2\\fcharset0 Verdana;}}"
        "{\\colortbl\\red64\\green64\\blue64;\\red255\\green255\\blue64;\\red64\\green64\\blue255;\\red255\\green64\\blue64;}"
        "\\viewkind4\\uc1\\pard\\f0\\fs32\\cf0\r\n{\\b ");
    rtf += t.CompanyName + QStringLiteral(" ") + t.CardName + SeriesSuffix(t);
    rtf += QStringLiteral(" Settings Program}\\par\\par\\fs24\r\n");
    rtf += QStringLiteral("This program will help you configure the option jumpers and settings associated with this product. "
                          "You should have the product in-hand when first using this program.\\par\\par\r\n");
    rtf += QStringLiteral("{\\cf1\\fs24\\b Yellow circles} provide information on configuring jumpers and switches.\\par\\par\r\n");
    rtf += QStringLiteral("{\\cf2\\fs24\\b Blue circles} are informational only. They provide information on standard and "
                          "optional features of the product family.\\par\\par\r\n");
    rtf += QStringLiteral("{\\cf3\\fs24\\b Red circles} handle calibration and types of configuration that require actually "
                          "controlling the hardware device. Run this settings program again once the card is installed. ");
    rtf += QStringLiteral("Repeat the {\\cf1 setup circles} (using the same settings) to configure this program, then perform "
                          "the {\\cf3 calibration circles}.\\par\\par\r\n");
    rtf += QStringLiteral("Mouse over the highlight circles to see configuration or information popups for {\\cf1 setup}, "
                          "{\\cf2 features}, and {\\cf3 calibration}. Click a highlight circle to make its popup remain on-screen. ");
    rtf += QStringLiteral("You can have all or as many of these popups onscreen at the same time as you desire.\\par\\par\r\n");
    if (t.MultiPort)
        rtf += QStringLiteral("{\\fs32\\b Note:} Make sure to set the jumpers for each option group \\emdash  the configuration "
                              "options for each port are handled identically; this program only shows the setup once, but you "
                              "need to perform this setup for each group of options on your device.\\par\\par\r\n");
    if (t.ListsCards)
        rtf += QStringLiteral("To see a list of ") + t.CardName + QStringLiteral(" cards installed, click \"Display ") + t.CardName
               + QStringLiteral(" Cards Installed\" under the File menu.\\par\\par\r\n");
    rtf += QStringLiteral("}");
    return rtf.toLatin1();
}

QString SupportText(const TSupportTexts &t)
{
    return QStringLiteral("There are several ways to get technical support. First and fastest is to skim the relevant sections "
                          "of the manual. However, some questions require personal assistance, and ")
           + t.CompanyName + QStringLiteral(" stands ready to provide that help. You can call us ") + t.CallHow
           + QStringLiteral(" for any of your product questions.\r\n\r\nIn order to provide the best and fastest support possible, "
                            "we ask that you be at your computer when you call, and have the ")
           + t.CompanyName + QStringLiteral(" product manual and Software Master CD at hand.");
}

QSize HelpClientSize(const QSize &screen)
{
    double s = std::min(screen.height() / 450.0, screen.width() / 800.0);
    if (s < 1)
        s = 1;
    return QSize(RoundHalfEven(ClientWidth * s), RoundHalfEven(HelpClientHeight * s));
}

TSupportWindow::TSupportWindow(QWidget *owner, const QString &name, const QString &caption)
    : QDialog(owner, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                         | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setObjectName(name);
    setWindowTitle(caption);
    setModal(false);
    AskForNoMaximise(this);
    FReturn.setInterval(20);
    connect(&FReturn, &QTimer::timeout, this, &TSupportWindow::Return);
}

void TSupportWindow::ShowUp()
{
    if (windowState() & Qt::WindowMinimized)
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TSupportWindow::resizeEvent(QResizeEvent *event)
{
    FLayout.Apply(size());
    QDialog::resizeEvent(event);
}

void TSupportWindow::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
}

void TSupportWindow::hideEvent(QHideEvent *event)
{
    // A dialog not moved by the program is centred again at each show;
    // moving it to where it is marks it as placed.
    if (!event->spontaneous()) {
        if (!FrameMargins(this).isNull())
            FOuterAt = OuterGeometry(this).topLeft();
        move(pos());
    }
    FReturn.stop();
    QDialog::hideEvent(event);
}

void TSupportWindow::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Some window managers put a window shown again a title bar away from
    // where it was: for a moment the frame is watched and put back.
    if (FOuterAt && !event->spontaneous()) {
        FReturns = 0;
        FReturnUntil = QDeadlineTimer(1500);
        FReturn.start();
    }
}

void TSupportWindow::Return()
{
    const QMargins frame = FrameMargins(this);
    if (!isVisible() || FReturnUntil.hasExpired() || FReturns >= 3) {
        FReturn.stop();
        return;
    }
    if (frame.isNull() || OuterGeometry(this).topLeft() == *FOuterAt)
        return;
    ++FReturns;
    // The client's place under this frame: a move that every window
    // manager takes as it is meant.
    setGeometry(QRect(*FOuterAt + QPoint(frame.left(), frame.top()), size()));
}

THelpForm::THelpForm(QWidget *owner, const TSupportTexts &texts)
    : TSupportWindow(owner, QStringLiteral("HelpForm"), QStringLiteral("Instructions for Settings utility"))
{
    resize(ClientWidth, HelpClientHeight);
    FLayout.SetLayoutSize(size());
    FHelpRich = new QTextEdit(this);
    FHelpRich->setObjectName(QStringLiteral("HelpRich"));
    FHelpRich->setAccessibleName(QStringLiteral("How to use this program"));
    FHelpRich->setReadOnly(true);
    FHelpRich->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FHelpRich->setLineWrapMode(QTextEdit::WidgetWidth);
    QPalette p = FHelpRich->palette();
    p.setColor(QPalette::Base, QColor(221, 221, 221));
    FHelpRich->setPalette(p);
    ReadRtf(HelpDocument(texts), FHelpRich->document());
    FHelpRich->moveCursor(QTextCursor::Start);
    FLayout.Place(FHelpRich, QRect(0, 24, ClientWidth, 73), akLeft | akTop | akRight | akBottom);

    FHelpLabel = new QLabel(QStringLiteral("How to use this program"), this);
    FHelpLabel->setObjectName(QStringLiteral("HelpLabel"));
    FHelpLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont verdana(QStringLiteral("Verdana"), 12);
    verdana.setBold(true);
    FHelpLabel->setFont(verdana);
    FLayout.Place(FHelpLabel, QRect(0, 0, ClientWidth, FHelpLabel->sizeHint().height()), akLeft | akTop | akRight);

    FStartButton = new QPushButton(QStringLiteral("Start"), this);
    FStartButton->setObjectName(QStringLiteral("StartButton"));
    FStartButton->setDefault(true);
    FLayout.Place(FStartButton, QRect(66, 105, 173, 25), akBottom);
    connect(FStartButton, &QPushButton::clicked, this, &THelpForm::StartButtonClick);
    setTabOrder(FStartButton, FHelpRich);

    // Scaled to the screen; the view grows with the window.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        resize(HelpClientSize(screen->size()));
}

void THelpForm::reject()
{
    StartButtonClick();
}

void THelpForm::showEvent(QShowEvent *event)
{
    // Centred over the main window when first shown. The window manager may
    // still be maximising the main window and framing both, so each later
    // change of either re-centres it, until the user moves it.
    if (!FPlaced && parentWidget()) {
        FPlaced = true;
        QWidget *main = parentWidget()->window();
        main->installEventFilter(this);
        installEventFilter(this); // its own size may still change (the scaling)
        connect(new TFrameWatch(main), &TFrameWatch::FrameChanged, this, &THelpForm::Recentre);
        connect(new TFrameWatch(this), &TFrameWatch::FrameChanged, this, &THelpForm::Recentre);
        Centre();
    }
    TSupportWindow::showEvent(event);
    FStartButton->setFocus();
}

bool THelpForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        Recentre();
    return TSupportWindow::eventFilter(watched, event);
}

void THelpForm::Centre()
{
    const QRect main = OuterGeometry(parentWidget()->window());
    const QMargins frame = FrameMargins(this);
    const QSize outer = size().grownBy(frame);
    const QPoint topLeft = main.topLeft() + QPoint((main.width() - outer.width()) / 2, (main.height() - outer.height()) / 2);
    // Where it was asked to go: a shown window's geometry follows only once
    // the window system confirms the move.
    FPlacedAt = topLeft + QPoint(frame.left(), frame.top());
    setGeometry(QRect(FPlacedAt, size()));
}

void THelpForm::Recentre()
{
    // Not moved by the user: where it was put, give or take the pixel that
    // scaling to the screen's device pixels may round away.
    if (isVisible() && (geometry().topLeft() - FPlacedAt).manhattanLength() <= 2)
        Centre();
}

void THelpForm::StartButtonClick()
{
    hide();
    QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main)
        return;
    // The main window's direct children: those of its client area.
    for (QObject *child : ClientArea(main)->children()) {
        if (auto *board = qobject_cast<TBoardImage *>(child)) {
            TShowFirstHighlightEvent start(0);
            QApplication::sendEvent(board, &start);
            return;
        }
    }
}

TTextForm::TTextForm(QWidget *owner, const QString &name, const QString &caption, const QString &memoName)
    : TSupportWindow(owner, name, caption)
{
    resize(ClientWidth, TextClientHeight);
    FLayout.SetLayoutSize(size());
    FMemo = new QPlainTextEdit(this);
    FMemo->setObjectName(memoName);
    FMemo->setAccessibleName(caption);
    FMemo->setReadOnly(true);
    FMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    FMemo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    FLayout.Place(FMemo, QRect(0, 0, ClientWidth, 89), akLeft | akTop | akRight | akBottom);
    FCloseButton = new QPushButton(QStringLiteral("Close"), this);
    FCloseButton->setObjectName(QStringLiteral("CloseButton"));
    FCloseButton->setAutoDefault(false);
    FLayout.Place(FCloseButton, QRect((ClientWidth - 73) / 2, 97, 73, 25), akBottom);
    connect(FCloseButton, &QPushButton::clicked, this, &TTextForm::CloseButtonClick);
    setTabOrder(FCloseButton, FMemo);
}

void TTextForm::CloseButtonClick()
{
    hide();
}

TTechForm::TTechForm(QWidget *owner, const TSupportTexts &texts)
    : TTextForm(owner, QStringLiteral("TechForm"), QStringLiteral("Technical Support"), QStringLiteral("TechMemo"))
{
    Memo()->setPlainText(SupportText(texts));
}

TPCIForm::TPCIForm(QWidget *owner, const QString &cardName)
    : TTextForm(owner, QStringLiteral("PCIForm"), cardName + QStringLiteral(" Cards installed"), QStringLiteral("PCIMemo"))
{
    QFont tahoma(QStringLiteral("Tahoma"), 10);
    tahoma.setBold(true);
    Memo()->setFont(tahoma);
}
