#include "window/busy_count.h"

volatile LONG g_cWndProcBusy = 0;

namespace {

void PumpWindowMessages(HWND hwnd) {
    MSG msg;
    while (PeekMessageW(&msg, hwnd, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

constexpr DWORD kPumpIntervalMs = 100;

} // namespace

void WaitForBandWindowIdle(HWND hwnd) {
    while (g_cWndProcBusy != 0 && IsWindow(hwnd)) {
        PumpWindowMessages(hwnd);
        Sleep(kPumpIntervalMs);
    }
}

void WaitForWindowGone(HWND hwnd, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (IsWindow(hwnd) && GetTickCount64() < deadline) {
        PumpWindowMessages(hwnd);
        Sleep(kPumpIntervalMs);
    }
}
