// The live trend of a measuring step: the last ten seconds of readings as
// points, the step's target as a line and the band of one count either
// side of it, with the target's count and the band labelled on a counts
// axis and the seconds on a time axis. DrawTrend composes the picture from
// the data alone; the view keeps the data of the running step and a scale
// that widens at once but narrows only after a calm spell, and shows the
// picture. Its accessible description gives the target, and says when the
// input is below the range; the readings are the readout's to say.
#pragma once

#include "CardIO.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QWidget>
#include <optional>

inline constexpr double TrendSeconds = 10.0;

struct TTrendPoint {
    double seconds; // since the step began
    double volts;
};

// The vertical scale, in volts from bottom to top.
struct TTrendScale {
    double low, high;
};

struct TTrendData {
    QList<TTrendPoint> points; // oldest first
    double now = 0;            // seconds since the step began
    double target = 0;         // volts
    double voltsPerCount = 0;  // one count of the reading
    bool belowRange = false;   // a unipolar reading held at 0: the input is below the range
    std::optional<TTrendScale> scale; // the scale to draw with; TrendScale(data) when none
};

// The scale the data asks for: the readings of the last ten seconds and
// the band around the target, with a little room; never less than eight
// counts.
TTrendScale TrendScale(const TTrendData &data);

// Where the readings are drawn in a picture of `size`: right of the counts
// axis, above the time axis.
QRect TrendPlotArea(QSize size);

// The picture in `size` pixels: white ground; in the plot area a light
// green band of target +/- one count, a dark green target line and blue
// 2x2 points, time running from ten seconds ago at its left edge to now at
// its right; the target's count and "±1" on the counts axis, -10 s, -5 s
// and 0 s on the time axis; below the range, a note in red.
QImage DrawTrend(const TTrendData &data, QSize size);

// The row of the plot area where `volts` lies, for a plot `height` high.
int TrendRow(const TTrendScale &scale, double volts, int height);

class TTrendView : public QWidget {
    Q_OBJECT

public:
    explicit TTrendView(QWidget *parent = nullptr);

    // A new step (or point), its readings taken as `variant`: no readings
    // yet. On a unipolar range a reading of 0 counts says the input is
    // below the range.
    void Reset(double target, CardIO::TVariant variant);
    // A new target (and way of reading) for the following readings,
    // keeping the trend.
    void SetTarget(double target, CardIO::TVariant variant);
    void Add(double volts, int counts);
    // The same, `seconds` after the Reset: for readings replayed.
    void AddAt(double seconds, double volts, int counts);
    const TTrendData &Data() const { return FData; }

    // How long the readings must fit a scale half as tall before the
    // scale narrows to them.
    static constexpr double CalmSeconds = 3.0;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Widens the held scale at once to what the data asks for; narrows it
    // only when the data has asked for less than half of it for CalmSeconds.
    void HoldScale();
    // Tells assistive technology the target and the latest reading.
    void Describe();

    TTrendData FData;
    bool FUnipolar = false;
    std::optional<double> FCalmSince;
    QElapsedTimer FClock;
};
