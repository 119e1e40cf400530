// What every hardening test shares: one seed per run (printed, and taken from
// VANTREL_SEED when set), a small seeded generator, bounded loops and a
// watchdog that fails the run instead of letting a hang reach ctest's timeout.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace hardening {

// The run's seed: VANTREL_SEED (decimal or 0x hex) or one taken from the clock.
inline uint64_t RunSeed() {
    static const uint64_t seed = [] {
        char text[64] = {};
        if (GetEnvironmentVariableA("VANTREL_SEED", text, sizeof(text)) > 0) {
            return static_cast<uint64_t>(std::strtoull(text, nullptr, 0));
        }
        LARGE_INTEGER now = {};
        QueryPerformanceCounter(&now);
        return static_cast<uint64_t>(now.QuadPart) ^ (uint64_t{GetCurrentProcessId()} << 32);
    }();
    return seed;
}

inline void PrintSeed(const char* executable) {
    std::printf("%s: seed %llu (set VANTREL_SEED=%llu to repeat this run)\n", executable,
                static_cast<unsigned long long>(RunSeed()),
                static_cast<unsigned long long>(RunSeed()));
    std::fflush(stdout);
}

// splitmix64: small, fast and the same everywhere, so a seed replays exactly.
class Rng {
  public:
    explicit Rng(uint64_t seed) : m_state(seed) {}
    // A generator of its own for one test, so tests do not depend on each
    // other's order: the run's seed mixed with the test's name.
    static Rng ForTest(const char* name) {
        uint64_t h = RunSeed() ^ 0x9E3779B97F4A7C15ull;
        for (const char* p = name; *p != '\0'; ++p) {
            h = (h ^ static_cast<unsigned char>(*p)) * 0x100000001B3ull;
        }
        return Rng(h);
    }

    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, n), n > 0.
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    int32_t Int32() { return static_cast<int32_t>(Next()); }

  private:
    uint64_t m_state;
};

// Stops a loop after a count or a time, whichever comes first. The time is
// only a cap against a hang on a slow machine; tests check what was done,
// never how fast.
class Budget {
  public:
    Budget(uint64_t maxCount, DWORD maxMs)
        : m_maxCount(maxCount), m_deadline(GetTickCount64() + maxMs) {}
    bool More() {
        if (m_count >= m_maxCount || GetTickCount64() >= m_deadline) {
            return false;
        }
        ++m_count;
        return true;
    }
    uint64_t Count() const { return m_count; }

  private:
    uint64_t m_maxCount;
    ULONGLONG m_deadline;
    uint64_t m_count = 0;
};

// Ends the process with a message when the guarded scope outlives its bound:
// a hang inside the band becomes a failed test, not a stuck ctest.
class Watchdog {
  public:
    Watchdog(const char* what, DWORD boundMs)
        : m_what(what), m_thread([this, boundMs] {
              const ULONGLONG deadline = GetTickCount64() + boundMs;
              while (!m_done && GetTickCount64() < deadline) {
                  Sleep(20);
              }
              if (!m_done) {
                  std::fprintf(stderr, "watchdog: %s did not finish within %lu ms\n",
                               m_what.c_str(), static_cast<unsigned long>(boundMs));
                  std::fflush(stderr);
                  TerminateProcess(GetCurrentProcess(), 3);
              }
          }) {}
    ~Watchdog() {
        m_done = true;
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    std::string m_what;
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Takes and dispatches every message waiting for this thread.
inline int PumpMessages() {
    int count = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
        ++count;
    }
    return count;
}

// A crash ends the process at once with its code and address, instead of
// waiting in the system's crash handling until ctest's timeout.
inline LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    std::fprintf(stderr, "crash: exception %08lX at %p\n",
                 static_cast<unsigned long>(info->ExceptionRecord->ExceptionCode),
                 info->ExceptionRecord->ExceptionAddress);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 5);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace hardening
