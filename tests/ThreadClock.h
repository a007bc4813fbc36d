// CPU time that this thread used: unlike the wall clock, a loaded machine
// leaves it as it is, so tests bound work with it.
#pragma once

#include <QElapsedTimer>
#include <ctime>

inline double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// The CPU time this thread used against the wall time, from construction:
// a wait that lets the event loop sleep uses a small share, a spinning one
// all the time it is scheduled.
class TThreadClock {
public:
    TThreadClock() : FCpuStart(ThreadCpuSeconds()) { FWall.start(); }

    // Seconds of CPU used since construction.
    double CpuUsed() const { return ThreadCpuSeconds() - FCpuStart; }

    double CpuShare() const
    {
        const double wall = double(FWall.nsecsElapsed()) / 1e9;
        return wall > 0 ? CpuUsed() / wall : 0;
    }

private:
    QElapsedTimer FWall;
    double FCpuStart;
};
