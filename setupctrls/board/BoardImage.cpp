#include "BoardImage.h"

#include "BoardHighlight.h"
#include "ClientArea.h"
#include "FrameWatch.h"

#include <QMenuBar>
#include <QPainter>
#include <cmath>

namespace {

// Truncating integer division, as the layout's arithmetic uses.
int Div(int a, int b) { return a / b; }

// A parent's outer size: a top-level window counts its frame, caption and
// menu bar; so does the central widget that stands in for a main window.
QSize OuterSize(QWidget *parent)
{
    if (parent->isWindow())
        return OuterGeometry(parent).size();
    if (QWidget *window = parent->window(); ClientArea(window) == parent)
        return OuterGeometry(window).size();
    return parent->size();
}

} // namespace

TBoardImage::TBoardImage(QWidget *parent) : QWidget(parent)
{
    resize(105, 105);
    watchParent(true);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
}

TBoardHighlight *TBoardImage::First() const { return FFirst; }
void TBoardImage::setFirst(TBoardHighlight *highlight) { FFirst = highlight; }
QMenuBar *TBoardImage::Menu() const { return FMenu; }
void TBoardImage::setMenu(QMenuBar *menu) { FMenu = menu; }

void TBoardImage::setScale(bool value)
{
    if (value == FScale)
        return;
    FScale = value;
    PictureUpdated();
}

void TBoardImage::setAutoSize(bool value)
{
    if (value == FAutoSize)
        return;
    FAutoSize = value;
    if (FAutoSize && !FPicture.isNull())
        resize(FPicture.size());
}

void TBoardImage::setCenter(bool value)
{
    if (value == FCenter)
        return;
    FCenter = value;
    PictureUpdated();
}

void TBoardImage::setStretch(bool value)
{
    if (value == FStretch)
        return;
    FStretch = value;
    PictureUpdated();
}

void TBoardImage::setTransparent(bool value)
{
    if (value == FTransparent)
        return;
    FTransparent = value;
    PictureUpdated();
}

void TBoardImage::setPicture(const QImage &picture)
{
    FPicture = picture;
    PictureUpdated();
}

QRect TBoardImage::PictureArea() const
{
    if (FStretch)
        return rect();
    const QSize p = FPicture.size();
    if (FCenter)
        return QRect(Div(width() - p.width(), 2), Div(height() - p.height(), 2), p.width(), p.height());
    return QRect(QPoint(0, 0), p);
}

bool TBoardImage::CanAutoSize(int &NewWidth, int &NewHeight) const
{
    // Only alNone is used here: both axes follow the picture.
    NewWidth = FPicture.width();
    NewHeight = FPicture.height();
    return true;
}

QImage TBoardImage::PhotographUnder(const QRect &area) const
{
    QImage image(area.size(), QImage::Format_RGB32);
    image.fill(palette().color(backgroundRole()));
    if (!FPicture.isNull()) {
        QPainter painter(&image);
        painter.translate(-area.topLeft());
        painter.drawImage(PictureArea(), FPicture);
    }
    return image;
}

void TBoardImage::PictureUpdated()
{
    const int pw = FPicture.width();
    const int ph = FPicture.height();
    if (pw > 0 && ph > 0) {
        const double aspect = double(ph) / double(pw);
        FAspect = std::isfinite(aspect) ? aspect : 1.0;
    }
    if (FAutoSize && !FPicture.isNull())
        setGeometry(x(), y(), pw, ph);
    const bool covers = !FPicture.isNull() && !FTransparent
                        && (FStretch || (pw >= width() && ph >= height()));
    setAttribute(Qt::WA_OpaquePaintEvent, covers);
    if (!FDrawing)
        update();
}

bool TBoardImage::centreInParent()
{
    recordDesignPosition();
    QWidget *parent = parentWidget();
    if (!FCenterOnForm || !parent)
        return false;
    const QSize outer = OuterSize(parent);
    const QPoint centred(Div(outer.width() - width(), 2), Div(outer.height() - height(), 2));
    if (centred == pos())
        return false;
    move(centred);
    return true;
}

void TBoardImage::watchParent(bool on)
{
    QWidget *parent = parentWidget();
    if (!parent)
        return;
    parent->removeEventFilter(this);
    if (FWindowWatch)
        disconnect(FWindowWatch, nullptr, this, nullptr);
    if (!on)
        return;
    parent->installEventFilter(this);
    // The window's outer size also changes when the window manager's frame
    // does, which it tells of later than the resize that brought it.
    QWidget *window = parent->window();
    FWindowWatch = window->findChild<TFrameWatch *>(QString(), Qt::FindDirectChildrenOnly);
    if (!FWindowWatch)
        FWindowWatch = new TFrameWatch(window);
    connect(FWindowWatch, &TFrameWatch::FrameChanged, this, &TBoardImage::centreInParent);
}

bool TBoardImage::eventFilter(QObject *watched, QEvent *event)
{
    // Centre as the parent changes size, before anything paints there.
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        centreInParent();
    return QWidget::eventFilter(watched, event);
}

void TBoardImage::recordDesignPosition()
{
    if (FPaintedOnce)
        return;
    FDesignLeft = x();
    FDesignTop = y();
    FPaintedOnce = true;
}

void TBoardImage::paintEvent(QPaintEvent *)
{
    recordDesignPosition();
    if (centreInParent()) {
        // Moving while painting leaves this paint, and the highlights', at
        // the old place: paint everything again where the board now stands.
        parentWidget()->update();
        return;
    }
    const bool saved = FDrawing;
    FDrawing = true;
    if (!FPicture.isNull()) {
        QPainter painter(this);
        painter.drawImage(PictureArea(), FPicture);
    }
    FDrawing = saved;
}

bool TBoardImage::event(QEvent *event)
{
    if (event->type() == WM_SHOWFIRSTHIGHLIGHT) {
        // Let the first highlight behave as if entered, clicked and left.
        if (FFirst) {
            const auto *start = dynamic_cast<TShowFirstHighlightEvent *>(event);
            FFirst->OpenAndPin(start && start->WParam == 1);
        }
        return true;
    }
    if (event->type() == QEvent::Show)
        centreInParent();
    else if (event->type() == QEvent::ParentAboutToChange)
        watchParent(false);
    else if (event->type() == QEvent::ParentChange)
        watchParent(true);
    return QWidget::event(event);
}
