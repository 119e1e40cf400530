// Band-window procedure calls in progress, nested ones included. Teardown
// waits on it so that no call is left running into a destroyed band.
#pragma once

#include <windows.h>

extern volatile LONG g_cWndProcBusy;

// Pumps the window's own messages, 100 ms apart, while any band-window
// procedure call is in progress and the window still exists.
void WaitForBandWindowIdle(HWND hwnd);

// Pumps the window's own messages, 100 ms apart, while it still exists, for
// at most timeoutMs.
void WaitForWindowGone(HWND hwnd, DWORD timeoutMs);
