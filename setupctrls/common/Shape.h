// TShape: an ellipse outline inside the control's box, no fill; the
// calibration wizard's pot marker.
#pragma once

#include <QColor>
#include <QWidget>

class TShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor PenColor READ PenColor WRITE setPenColor)
    Q_PROPERTY(int PenWidth READ PenWidth WRITE setPenWidth)

public:
    explicit TShape(QWidget *parent = nullptr);

    QColor PenColor() const { return FPenColor; }
    void setPenColor(const QColor &color);
    int PenWidth() const { return FPenWidth; }
    void setPenWidth(int width);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor FPenColor = Qt::black;
    int FPenWidth = 1;
};
