// Desktop benchmark, on a real X server with a window manager (run it as
//   tests/desktop/run-desktop.sh 1280x1024 build/benchmarks/bench_desktop
// with the simulated driver library on LD_LIBRARY_PATH):
// - hover: the time from the pointer entering the channels highlight to the
//   X server's MapNotify for its popup window, over 20 hovers;
// - exit: the time from File, Exit to the end of the process, over 10 runs
//   of a child Setup.
// Prints the medians (and the ranges).
#include "LayoutStyle.h"
#include "Support.h"
#include "Wait.h"
#include "template.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

double Now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Notes the moment the X server reports a window mapped.
class MapWatch : public QAbstractNativeEventFilter {
public:
    WId window = 0;
    double mappedAt = 0;
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        constexpr uint8_t MapNotify = 19;
        if (type == "xcb_generic_event_t" && (*static_cast<const uint8_t *>(message) & 0x7F) == MapNotify) {
            uint32_t mapped = 0; // xcb_map_notify_event_t: the window at byte 8
            std::memcpy(&mapped, static_cast<const uint8_t *>(message) + 8, sizeof mapped);
            if (mapped == window)
                mappedAt = Now();
        }
        return false;
    }
};

// Notes the moment the pointer enters a widget.
class EnterWatch : public QObject {
public:
    double enteredAt = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Enter)
            enteredAt = Now();
        return false;
    }
};

void Report(const char *what, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    std::printf("%-44s median %7.2f ms   min %7.2f   max %7.2f   (%zu runs)\n", what, v[v.size() / 2], v.front(),
                v.back(), v.size());
}

bool WaitUntil(const std::function<bool()> &condition, int ms = 10000)
{
    return WaitFor(condition, ms);
}

std::vector<double> Hovers(int count)
{
    TMainForm form;
    form.showMaximized();
    WaitUntil([&] { return form.findChild<TBoardHighlight *>(QStringLiteral("ChannelHighlight"))->PaintedOnce() && form.findChild<TSetupSupporter *>(QStringLiteral("SetSup"))->HelpForm(); });
    WaitUntil([&] { return form.findChild<TSetupSupporter *>(QStringLiteral("SetSup"))->HelpForm()->isVisible(); });
    form.findChild<TSetupSupporter *>(QStringLiteral("SetSup"))->HelpForm()->hide(); // it opens over the board
    form.findChild<TSetupSupporter *>(QStringLiteral("SetSup"))->PCIForm()->hide();
    TBoardHighlight *h = form.findChild<TBoardHighlight *>(QStringLiteral("ChannelHighlight"));
    EnterWatch enter;
    h->installEventFilter(&enter);
    MapWatch map;
    qApp->installNativeEventFilter(&map);
    const QPoint over = h->mapToGlobal(h->rect().center());
    std::vector<double> ms;
    for (int i = 0; i <= count; ++i) {
        QCursor::setPos(0, 0); // off the highlight: an unpinned popup closes
        WaitUntil([&] { return !h->Popup() || !h->Popup()->isVisible(); });
        map.mappedAt = enter.enteredAt = 0;
        if (h->Popup())
            map.window = h->Popup()->winId();
        QCursor::setPos(over);
        WaitUntil([&] {
            if (h->Popup() && !map.window) // created by this hover
                map.window = h->Popup()->winId();
            return map.mappedAt > 0 && enter.enteredAt > 0;
        });
        if (i > 0) // the first hover creates the window
            ms.push_back(map.mappedAt - enter.enteredAt);
    }
    qApp->removeNativeEventFilter(&map);
    return ms;
}

// A child Setup: shown, built, then File, Exit; prints the moment of the
// click on its standard output.
int ExitChild(int argc, char **argv)
{
    QApplication application(argc, argv);
    UseLayoutLook();
    auto *form = new TMainForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->showMaximized();
    QTimer::singleShot(0, [form] {
        WaitUntil([form] { return form->findChild<TSetupSupporter *>(QStringLiteral("SetSup"))->HelpForm() && form->findChild<TSetupSupporter *>(QStringLiteral("SetSup"))->HelpForm()->isVisible(); });
        std::printf("%.6f\n", Now());
        std::fflush(stdout);
        form->findChild<QAction *>(QStringLiteral("Exit2"))->trigger();
    });
    return application.exec();
}

std::vector<double> Exits(const char *self, int count)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        QProcess child;
        child.start(QString::fromLocal8Bit(self), {QStringLiteral("--exit-child")});
        if (!child.waitForFinished(30000))
            continue;
        const double ended = Now();
        const double clicked = child.readAllStandardOutput().trimmed().toDouble();
        if (clicked > 0)
            ms.push_back(ended - clicked);
    }
    return ms;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 2 && std::strcmp(argv[1], "--exit-child") == 0)
        return ExitChild(argc, argv);
    QApplication application(argc, argv);
    UseLayoutLook();
    const std::vector<double> hovers = Hovers(20);
    Report("pointer enter to popup mapped (MapNotify)", hovers);
    const std::vector<double> exits = Exits(argv[0], 10);
    if (exits.empty()) {
        std::fprintf(stderr, "no exit run finished\n");
        return 1;
    }
    Report("File, Exit to the end of the process", exits);
    return 0;
}
