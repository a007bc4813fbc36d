// The live trend of a measuring step: the last ten seconds of readings as
// points, the step's target as a line and the band of one count either
// side of it. DrawTrend composes the picture from the data alone; the view
// keeps the data of the running step and shows the picture.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QWidget>

inline constexpr double TrendSeconds = 10.0;

struct TTrendPoint {
    double seconds; // since the step began
    double volts;
};

struct TTrendData {
    QList<TTrendPoint> points; // oldest first
    double now = 0;            // seconds since the step began
    double target = 0;         // volts
    double voltsPerCount = 0;  // one count of the reading
};

// The vertical scale: the readings of the last ten seconds and the band
// around the target, with a little room; never less than eight counts.
struct TTrendScale {
    double low, high;
};
TTrendScale TrendScale(const TTrendData &data);

// The picture in `size` pixels: white ground, light green band of target
// +/- one count, dark green target line, blue 2x2 points; time runs from
// ten seconds ago at the left edge to now at the right.
QImage DrawTrend(const TTrendData &data, QSize size);

// The row of the picture where `volts` lies, for a picture `height` high.
int TrendRow(const TTrendScale &scale, double volts, int height);

class TTrendView : public QWidget {
    Q_OBJECT

public:
    explicit TTrendView(QWidget *parent = nullptr);

    // A new step (or a new target for the step): no readings yet.
    void Reset(double target, double voltsPerCount);
    // A new target for the following readings, keeping the trend.
    void SetTarget(double target, double voltsPerCount);
    void Add(double volts);
    const TTrendData &Data() const { return FData; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TTrendData FData;
    QElapsedTimer FClock;
};
