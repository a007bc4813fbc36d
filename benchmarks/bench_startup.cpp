// Start-up benchmark: time from process start to the main window's first
// paint, and peak resident memory, for Setup and for a bare Qt main window
// with only a menu bar, in alternating runs. Needs a display (Xvfb will do)
// and the simulated driver library on LD_LIBRARY_PATH.
//
//   bench_startup [RUNS]
#include "LayoutStyle.h"
#include "template.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

// Prints one line at the window's first paint and ends the process.
class FirstPaint : public QObject {
protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            std::puts("painted");
            std::fflush(stdout);
            std::_Exit(0);
        }
        return false;
    }
};

int Child(const char *kind, int argc, char **argv)
{
    QApplication application(argc, argv);
    FirstPaint watcher;
    if (std::strcmp(kind, "setup") == 0) {
        UseLayoutLook();
        auto *form = new TMainForm;
        form->installEventFilter(&watcher);
        form->showMaximized();
    } else {
        auto *bare = new QMainWindow;
        bare->menuBar()->addMenu(QStringLiteral("&File"));
        bare->installEventFilter(&watcher);
        bare->showMaximized();
    }
    return application.exec();
}

double Now()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

struct Run {
    double ms;
    long peakKiB;
};

Run Measure(const char *self, const char *kind)
{
    int out[2];
    if (pipe(out) != 0)
        std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char *args[] = {const_cast<char *>(self), const_cast<char *>("--child"), const_cast<char *>(kind), nullptr};
    const double start = Now();
    pid_t pid;
    if (posix_spawn(&pid, self, &actions, nullptr, args, environ) != 0)
        std::exit(1);
    close(out[1]);
    char line[64] = {};
    const ssize_t got = read(out[0], line, sizeof line - 1);
    const double painted = Now();
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (got <= 0) {
        std::fprintf(stderr, "%s run printed nothing (no display?)\n", kind);
        std::exit(1);
    }
    return {(painted - start) * 1000.0, usage.ru_maxrss};
}

template <typename T>
T Median(std::vector<T> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0)
        return Child(argv[2], argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    std::vector<double> setupMs, bareMs;
    std::vector<long> setupKiB, bareKiB;
    Measure(argv[0], "setup"); // warm the caches
    for (int i = 0; i < runs; ++i) {
        const Run s = Measure(argv[0], "setup");
        const Run b = Measure(argv[0], "bare");
        setupMs.push_back(s.ms);
        setupKiB.push_back(s.peakKiB);
        bareMs.push_back(b.ms);
        bareKiB.push_back(b.peakKiB);
    }
    const double sMs = Median(setupMs), bMs = Median(bareMs);
    const long sKiB = Median(setupKiB), bKiB = Median(bareKiB);
    std::printf("runs each: %d (alternating), medians\n", runs);
    std::printf("first paint   setup %7.1f ms   bare window %7.1f ms   ratio %.2f\n", sMs, bMs, sMs / bMs);
    std::printf("peak resident setup %7.1f MB   bare window %7.1f MB   ratio %.2f\n",
                sKiB / 1024.0, bKiB / 1024.0, double(sKiB) / double(bKiB));
    return 0;
}
