#include "BoardHighlight.h"

#include "AccessibleBoard.h"

#include "BoardImage.h"
#include "ClientArea.h"
#include "ExactClass.h"
#include "PopupForm.h"
#include "RadioPanel.h"
#include "Ring.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>

namespace {

struct TypeLook {
    TColor color;
    float dim, medium, bright;
};

constexpr TypeLook Looks[] = {
    {0xFF0000, 0.25f, 0.5f, 1.0f},  // htOptions: blue
    {0x00FFFF, 0.5f, 0.75f, 1.0f},  // htSettings: yellow
    {0x0000FF, 0.5f, 0.75f, 1.0f},  // htCalibration: red
};

bool IsAsciiLetter(QChar c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsIdentChar(QChar c) { return IsAsciiLetter(c) || (c >= u'0' && c <= u'9') || c == u'_'; }

bool IsIdentifier(const QString &s)
{
    if (s.isEmpty() || !(IsAsciiLetter(s[0]) || s[0] == u'_'))
        return false;
    return std::all_of(s.begin(), s.end(), IsIdentChar);
}

} // namespace

TBoardHighlight::TBoardHighlight(QWidget *parent) : TGraphicControl(parent)
{
    resize(65, 65);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::TabFocus);
    InstallBoardAccessibility();
    setHighlightType(htSettings);
}

void TBoardHighlight::setHighlightType(THighlightType type)
{
    if (type == FHighlightType)
        return;
    FHighlightType = type;
    const TypeLook &look = Looks[type];
    FRingColor = look.color;
    FDimLevel = look.dim;
    FMediumLevel = look.medium;
    FBrightLevel = look.bright;
    update();
}

TRadioPanel *TBoardHighlight::RadioPanel() const
{
    return FRadioPanel;
}

void TBoardHighlight::setRadioPanel(TRadioPanel *panel)
{
    if (panel == FRadioPanel)
        return;
    if (!panel) {
        FRadioPanel = nullptr;
        return;
    }
    if (QObject *board = parent()) {
        for (QObject *child : board->children()) {
            auto *other = AsExactly<TBoardHighlight>(child);
            if (other && other != this && other->RadioPanel() == panel
                && (other->Title() != FTitle || other->HighlightType() != FHighlightType))
                return; // a panel is shared only inside one group
        }
    }
    FRadioPanel = panel;
}

QMenuBar *TBoardHighlight::Menu() const
{
    return FMenu;
}

void TBoardHighlight::LinkRadioPanel(TRadioPanel *panel)
{
    FRadioPanel = panel;
}

void TBoardHighlight::setTitle(const QString &title)
{
    if (title == FTitle)
        return;
    FTitle = title;
    FCaptionText = CaptionTextOf(title);
    FIdentText = IdentTextOf(title);
}

QString TBoardHighlight::CaptionTextOf(const QString &title)
{
    return QString(title).remove(u'&');
}

QString TBoardHighlight::IdentTextOf(const QString &title)
{
    if (title.isEmpty() || IsIdentifier(title))
        return title;
    QString ident = title;
    while (!ident.isEmpty() && !(ident[0] == u'_' || IsAsciiLetter(ident[0])))
        ident.remove(0, 1);
    for (int i = 1; i < ident.size();) {
        if (IsIdentChar(ident[i]))
            ++i;
        else
            ident.remove(i, 1);
    }
    return ident;
}

bool TBoardHighlight::OnBoard() const
{
    return IsExactly<TBoardImage>(parent());
}

QList<TBoardHighlight *> TBoardHighlight::Group() const
{
    QList<TBoardHighlight *> group;
    if (!OnBoard())
        return group;
    for (QObject *child : parent()->children()) {
        auto *member = AsExactly<TBoardHighlight>(child);
        if (member && member->Title() == FTitle && member->HighlightType() == FHighlightType)
            group.append(member);
    }
    return group;
}

void TBoardHighlight::BuildRingImages()
{
    QImage beneath(size(), QImage::Format_RGB32);
    if (auto *board = AsExactly<TBoardImage>(parent()))
        beneath = board->PhotographUnder(geometry());
    else
        beneath.fill(parentWidget() ? parentWidget()->palette().color(parentWidget()->backgroundRole()) : Qt::white);
    FDimImage = beneath.copy();
    FBrightImage = beneath.copy();
    FMediumImage = beneath.copy();
    DrawRing(FDimImage, false, FRingColor, FDimLevel);
    DrawRing(FBrightImage, true, FRingColor, FBrightLevel);
    DrawRing(FMediumImage, false, FRingColor, FMediumLevel);
}

void TBoardHighlight::paintEvent(QPaintEvent *)
{
    if (!FPaintedOnce) {
        BuildRingImages();
        auto *board = AsExactly<TBoardImage>(parent());
        FMenu = board ? board->Menu() : nullptr;
        BuildMenuItems();
        FPaintedOnce = true;
    }
    const QImage &image = FLit && FActive ? FBrightImage : (FLit || FActive) ? FMediumImage : FDimImage;
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

void TBoardHighlight::enterEvent(QEnterEvent *)
{
    PointerEnter(false);
}

void TBoardHighlight::leaveEvent(QEvent *)
{
    PointerLeave(false);
}

void TBoardHighlight::PointerEnter(bool FromGroup)
{
    if (FLit)
        return;
    FLit = true;
    update();
    if (FCreatePopup)
        ShowPopup();
    if (FromGroup)
        return;
    for (TBoardHighlight *member : Group())
        member->PointerEnter(true);
}

void TBoardHighlight::PointerLeave(bool FromGroup)
{
    if (!FLit)
        return;
    if (FPopup && !FPinned) {
        if (OuterGeometry(FPopup).contains(QCursor::pos())) {
            FPopup->SetCloseOnLeave(true);
            PinPopup();
        } else {
            FPopup->close();
        }
    }
    if (FromGroup)
        return;
    for (TBoardHighlight *member : Group())
        member->PointerLeave(true);
}

void TBoardHighlight::Click()
{
    TGraphicControl::Click();
    PinPopup();
}

void TBoardHighlight::OpenAndPin(bool FromGroup)
{
    PointerEnter(FromGroup);
    Click();
    PointerLeave(FromGroup);
}

void TBoardHighlight::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if ((key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
        OpenAndPin();
        return;
    }
    TGraphicControl::keyPressEvent(event);
}

void TBoardHighlight::PinPopup()
{
    if (FPopup) {
        FPinned = true;
        CheckMenuItem(true);
    }
    for (TBoardHighlight *member : Group()) {
        if (!member->FPopup)
            continue;
        member->FPinned = true;
        member->CheckMenuItem(true);
        member->FPopup->activateWindow();
    }
}

void TBoardHighlight::SetActiveLook(bool Active, bool Propagate)
{
    FActive = Active;
    raise();
    update();
    if (!Propagate || !OnBoard())
        return;
    // Raising a member moves it to the end of the child list: the index
    // stays and the count of children still to visit drops.
    const QObject *board = parent();
    int count = int(board->children().size());
    for (int i = 0; i < count;) {
        auto *member = AsExactly<TBoardHighlight>(board->children().at(i));
        if (member && member != this && member->Title() == FTitle && member->HighlightType() == FHighlightType) {
            member->SetActiveLook(Active, false);
            --count;
        } else {
            ++i;
        }
    }
}

void TBoardHighlight::PopupClosed()
{
    CheckMenuItem(false);
    if (FPopup)
        FPopup->SetCloseOnLeave(false);
    Unlight();
    for (TBoardHighlight *member : Group())
        member->Unlight();
}

void TBoardHighlight::Unlight()
{
    FLit = false;
    update();
}

void TBoardHighlight::ShowPopup()
{
    if (FPopup) {
        if (FPopup->isHidden())
            FPinned = false;
        FPopup->show(); // brought up: shown, raised and active
        FPopup->raise();
        FPopup->activateWindow();
        return;
    }
    for (const TBoardHighlight *member : Group())
        if (member->FPopup)
            return; // another member owns the group's popup and shows it
    FPinned = false;
    FPopup = new TPopupForm(this);
    connect(FPopup, &TPopupForm::Closed, this, &TBoardHighlight::PopupClosed);
    connect(FPopup, &TPopupForm::ActivationChanged, this, [this](bool active) { SetActiveLook(active, true); });
    connect(FPopup->PreviousButton(), &QPushButton::clicked, this, &TBoardHighlight::PopupPreviousClick);
    connect(FPopup->NextButton(), &QPushButton::clicked, this, &TBoardHighlight::PopupNextClick);
    connect(FPopup->DoneButton(), &QPushButton::clicked, this, &TBoardHighlight::PopupDoneClick);
    FPopup->show();
    FPopup->activateWindow();
    FPopup->FocusFirst();
}
