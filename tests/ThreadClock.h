// The CPU time this thread used against the wall time, from construction:
// a wait that lets the event loop sleep uses a small share, a spinning one
// all the time it is scheduled.
#pragma once

#include <QElapsedTimer>
#include <ctime>

class TThreadClock {
public:
    TThreadClock() : FCpuStart(Cpu()) { FWall.start(); }

    double CpuShare() const
    {
        const double wall = double(FWall.nsecsElapsed()) / 1e9;
        return wall > 0 ? (Cpu() - FCpuStart) / wall : 0;
    }

private:
    static double Cpu()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }

    QElapsedTimer FWall;
    double FCpuStart;
};
