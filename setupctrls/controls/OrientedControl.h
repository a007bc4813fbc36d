// TOrientedControl: a windowless control that composes its picture upright
// off screen (FUprightImage), turns it to its Orientation (FOrientedImage)
// and copies it to the screen in one blit. Turning it between the upright
// and the sideways pair after its first paint exchanges its width and
// height, so the picture keeps its proportions.
#pragma once

#include "Canvas.h"
#include "GraphicControl.h"

#include <QImage>

class TOrientedControl : public TGraphicControl {
    Q_OBJECT
    Q_PROPERTY(TOrientationType Orientation READ Orientation WRITE setOrientation)

public:
    enum TOrientationType { otUp, otDown, otLeft, otRight };
    Q_ENUM(TOrientationType)
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    explicit TOrientedControl(QWidget *parent = nullptr);

    TOrientationType Orientation() const { return FOrientation; }
    void setOrientation(TOrientationType orientation);

    // The upright picture turned to `orientation`, every pixel moved, none
    // scaled.
    static QImage Turn(const QImage &upright, TOrientationType orientation);

    // Whether the control has painted once: turning it between upright and
    // sideways after that exchanges its width and height.
    bool PaintedOnce() const { return FPaintedOnce; }
    // A turn between upright and sideways waits for the next paint to
    // exchange width and height.
    bool SwapPending() const { return FSwapPending; }

protected:
    // Composes the picture in the upright frame of the canvas's image.
    virtual void Compose(TCanvas &canvas) = 0;
    // The background colour: a radio panel's colour when the parent is
    // one, else the system button-face colour.
    TColor BackgroundColor() const;
    // Stores `value` in `field` and repaints, unless it is the stored value.
    template <typename T>
    void Assign(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        update();
    }

    void paintEvent(QPaintEvent *event) override;

private:
    TOrientationType FOrientation = otUp;
    QImage FOrientedImage;
    QImage FUprightImage;
    bool FSwapPending = false;
    bool FPaintedOnce = false;
};
