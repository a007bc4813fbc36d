// Benchmarks of the board view and the drawn controls:
//  - building the ring images of the main window's five highlights;
//  - a pointer entering a highlight until its popup window is shown;
//  - one paint of a jumper and of a DIP switch;
//  - drawing the calibration trend of ten seconds of readings (one pass).
// Runs headless (QT_QPA_PLATFORM=offscreen) with the simulated driver
// library on LD_LIBRARY_PATH. Prints medians.
#include "Board.h"
#include "LayoutStyle.h"
#include "Median.h"
#include "JpegImage.h"
#include "Jumpers.h"
#include "Ring.h"
#include "TrendChart.h"
#include "template.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QPainter>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

double MedianMicros(int runs, const std::function<void()> &work)
{
    return MedianNanos(runs, work) / 1e3;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    UseLayoutLook();

    const QImage photo = LoadJpeg(QStringLiteral(":/board.jpg"));
    const QRect rings[] = {{70, 148, 61, 36}, {502, 219, 42, 21}, {126, 0, 65, 60}, {454, 2, 85, 59}, {432, 108, 70, 42}};
    const double ringUs = MedianMicros(200, [&] {
        for (const QRect &r : rings) {
            for (bool bright : {false, true, false}) {
                QImage image = photo.copy(r);
                DrawRing(image, bright, 0x00FFFF, bright ? 1.0f : 0.75f);
            }
        }
    });
    std::printf("ring images, all five highlights: %8.1f us (median of 200)\n", ringUs);

    std::vector<double> firstShow, reshow;
    for (int run = 0; run < 15; ++run) {
        TMainForm form;
        form.showMaximized();
        if (!QTest::qWaitForWindowExposed(&form))
            return 1;
        while (!form.findChild<TBoardHighlight *>(QStringLiteral("DACHighlight"))->PaintedOnce())
            QCoreApplication::processEvents();
        QCursor::setPos(QPoint(0, 0));
        for (TBoardHighlight *h : {form.findChild<TBoardHighlight *>(QStringLiteral("ChannelHighlight")), form.findChild<TBoardHighlight *>(QStringLiteral("DACHighlight"))}) {
            for (std::vector<double> *series : {&firstShow, &reshow}) {
                QElapsedTimer t;
                t.start();
                QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), h->mapToGlobal(QPointF(5, 5)));
                QApplication::sendEvent(h, &enter);
                QCoreApplication::processEvents();
                const bool shown = h->Popup() && h->Popup()->isVisible();
                series->push_back(t.nsecsElapsed() / 1e6);
                if (!shown)
                    return 1;
                h->Popup()->close();
            }
        }
    }
    std::sort(firstShow.begin(), firstShow.end());
    std::sort(reshow.begin(), reshow.end());
    std::printf("pointer enter to popup shown:  first %6.2f ms, again %6.2f ms (medians of %zu)\n",
                firstShow[firstShow.size() / 2], reshow[reshow.size() / 2], firstShow.size());

    QWidget host;
    auto *jumper = new TTwoJumper(&host);
    jumper->resize(18, 34);
    jumper->setOrientation(TOrientedControl::otLeft);
    auto *dip = new TDipSwitch(&host);
    dip->resize(57, 43);
    dip->setOrientation(TOrientedControl::otDown);
    QImage target(100, 100, QImage::Format_RGB32);
    auto paintOnce = [&](QWidget *w) {
        QPainter painter(&target);
        w->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    };
    std::printf("paint of one two-pin jumper:   %8.1f us (median of 2000)\n", MedianMicros(2000, [&] { paintOnce(jumper); }));
    std::printf("paint of one DIP switch:       %8.1f us (median of 2000)\n", MedianMicros(2000, [&] { paintOnce(dip); }));

    // Ten seconds at ten readings a second, wandering around the target.
    TTrendData trend{{}, 10.0, 9.9, 20.0 / 4096, false, std::nullopt};
    for (int i = 0; i < 100; ++i)
        trend.points.append({i * 0.1, 9.9 + 0.01 * std::sin(i * 0.3)});
    std::printf("trend chart, one pass (100 readings): %8.1f us (median of 2000)\n",
                MedianMicros(2000, [&] { DrawTrend(trend, QSize(225, 55)); }));
    return 0;
}
