// Timings of many repetitions of one operation, read from the performance
// counter and summarised as minimum and median in microseconds.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

struct Summary {
    int reps = 0;
    double min = 0;
    double median = 0;
};

inline LONGLONG Ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

inline LONGLONG TicksPerSecond() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
}

class Samples {
  public:
    void Add(LONGLONG ticks) { m_ticks.push_back(ticks); }

    // Runs op once and keeps how long it took.
    template <typename Op> void Time(Op op) {
        const LONGLONG start = Ticks();
        op();
        Add(Ticks() - start);
    }

    Summary Summarise() const {
        Summary s;
        s.reps = static_cast<int>(m_ticks.size());
        if (m_ticks.empty()) {
            return s;
        }
        std::vector<LONGLONG> sorted(m_ticks);
        std::sort(sorted.begin(), sorted.end());
        const double usPerTick = 1e6 / static_cast<double>(TicksPerSecond());
        const size_t n = sorted.size();
        const double middle = n % 2 == 1 ? static_cast<double>(sorted[n / 2])
                                         : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
        s.min = static_cast<double>(sorted.front()) * usPerTick;
        s.median = middle * usPerTick;
        return s;
    }

  private:
    std::vector<LONGLONG> m_ticks;
};
