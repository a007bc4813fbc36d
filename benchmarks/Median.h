// The median time of a piece of work, run again and again.
#pragma once

#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

// The median of `runs` runs of `work`, in nanoseconds on the monotonic clock.
inline double MedianNanos(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        times.push_back(double(t.nsecsElapsed()));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}
