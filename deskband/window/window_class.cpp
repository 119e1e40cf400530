#include "window/window_class.h"

#include "band/desk_band.h"
#include "server/module.h"
#include "server/names.h"

namespace {

// The yellow background only shows where painting leaves a gap.
constexpr COLORREF kBackgroundColour = RGB(255, 255, 0);

volatile LONG g_fClassRegistered = FALSE;
HBRUSH g_hbrBackground = nullptr;

} // namespace

bool EnsureBandWindowClass() {
    if (g_fClassRegistered) {
        return true;
    }
    HBRUSH hbr = CreateSolidBrush(kBackgroundColour);
    WNDCLASSW wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = CDeskBand::WndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = g_hInstance;
    wc.hIcon = nullptr;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = hbr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = names::kWindowClass;
    if (RegisterClassW(&wc) == 0) {
        // Another thread of this module got there first; its class and brush
        // serve us too.
        if (hbr != nullptr) {
            DeleteObject(hbr);
        }
        return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }
    g_hbrBackground = hbr;
    InterlockedExchange(&g_fClassRegistered, TRUE);
    return true;
}

void UnregisterBandWindowClass() {
    if (!g_fClassRegistered) {
        return;
    }
    if (UnregisterClassW(names::kWindowClass, g_hInstance)) {
        if (g_hbrBackground != nullptr) {
            DeleteObject(g_hbrBackground);
            g_hbrBackground = nullptr;
        }
        InterlockedExchange(&g_fClassRegistered, FALSE);
    }
}
