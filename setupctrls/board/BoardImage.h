// TBoardImage: the photograph of the card, carrying the highlight circles
// as its children. It keeps itself centred in its parent, re-centring at
// every paint, and remembers where the layout put it before the first
// centring so that popup windows can be placed relative to that layout.
#pragma once

#include <QEvent>
#include <QImage>
#include <QPointer>
#include <QWidget>

class QMenuBar;
class TBoardHighlight;
class TFrameWatch;

// Private message asking a board to open its first highlight.
inline constexpr QEvent::Type WM_SHOWFIRSTHIGHLIGHT = QEvent::Type(0x4A2);

// The start message with its first parameter (0 from the help window).
class TShowFirstHighlightEvent : public QEvent {
public:
    explicit TShowFirstHighlightEvent(int wParam = 0) : QEvent(WM_SHOWFIRSTHIGHLIGHT), WParam(wParam) {}
    const int WParam;
};

class TBoardImage : public QWidget {
    Q_OBJECT
    Q_MOC_INCLUDE(<QMenuBar>)
    Q_MOC_INCLUDE("BoardHighlight.h")
    Q_PROPERTY(TBoardHighlight *First READ First WRITE setFirst)
    Q_PROPERTY(QMenuBar *Menu READ Menu WRITE setMenu)
    Q_PROPERTY(bool CenterOnForm READ CenterOnForm WRITE setCenterOnForm)
    Q_PROPERTY(bool Scale READ Scale WRITE setScale)
    Q_PROPERTY(bool AutoSize READ AutoSize WRITE setAutoSize)
    Q_PROPERTY(bool Center READ Center WRITE setCenter)
    Q_PROPERTY(QImage Picture READ Picture WRITE setPicture)
    Q_PROPERTY(bool Stretch READ Stretch WRITE setStretch)
    Q_PROPERTY(bool Transparent READ Transparent WRITE setTransparent)

public:
    explicit TBoardImage(QWidget *parent = nullptr);

    TBoardHighlight *First() const;
    void setFirst(TBoardHighlight *highlight);
    QMenuBar *Menu() const;
    void setMenu(QMenuBar *menu);
    bool CenterOnForm() const { return FCenterOnForm; }
    void setCenterOnForm(bool value) { FCenterOnForm = value; }
    bool Scale() const { return FScale; }
    void setScale(bool value);
    bool AutoSize() const { return FAutoSize; }
    void setAutoSize(bool value);
    bool Center() const { return FCenter; }
    void setCenter(bool value);
    const QImage &Picture() const { return FPicture; }
    // Copies the picture into the control's own holder.
    void setPicture(const QImage &picture);
    bool Stretch() const { return FStretch; }
    void setStretch(bool value);
    bool Transparent() const { return FTransparent; }
    void setTransparent(bool value);

    // The rectangle, in client coordinates, into which the picture is drawn.
    QRect PictureArea() const;
    // Proposes the picture's size for the axes the alignment leaves free;
    // resizing is always allowed.
    bool CanAutoSize(int &NewWidth, int &NewHeight) const;
    // The photograph as this control paints it, inside `area`.
    QImage PhotographUnder(const QRect &area) const;
    // The picture's change notification.
    void PictureUpdated();

    // Picture height / width; 1.0 without a picture.
    double Aspect() const { return FAspect; }
    // Whether the board has painted or centred itself once; from then on
    // DesignPosition is fixed.
    bool PaintedOnce() const { return FPaintedOnce; }
    // Left and Top as the layout gave them, before the first centring: the
    // origin against which popup windows are placed.
    QPoint DesignPosition() const { return {FDesignLeft, FDesignTop}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Follows (or stops following) the sizes of the parent and its window.
    void watchParent(bool on);
    QPointer<TFrameWatch> FWindowWatch;
    // Takes Left and Top as the design position, once, before any centring.
    void recordDesignPosition();
    // Moves the board to the centre of its parent's outer size; true when
    // it moved.
    bool centreInParent();

    QImage FPicture;
    double FAspect = 1.0;
    bool FDrawing = false; // true only while the picture is drawn
    bool FPaintedOnce = false;
    int FDesignLeft = 0;
    int FDesignTop = 0;
    bool FStretch = false;
    bool FCenter = false;
    bool FTransparent = false;
    bool FScale = true;
    QPointer<QMenuBar> FMenu;
    bool FCenterOnForm = true;
    QPointer<TBoardHighlight> FFirst;
    bool FAutoSize = true;
};
