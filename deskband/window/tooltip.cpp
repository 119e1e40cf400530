// The balloon tip with the support text, made on the first mouse move.
#include "band/desk_band.h"

#include <commctrl.h>

#include "band/settings.h"
#include "server/module.h"
#include "server/names.h"

namespace {
// The tool covers the top-left of the band window, where the icon sits.
constexpr RECT kToolRect = {0, 0, 100, 100};
constexpr LPARAM kInitialDelayMs = 1000;
} // namespace

void CDeskBand::CreateTooltip(HWND hwnd) {
    SettingText text;
    if (!ReadSettingText(names::kTipTextValue, text)) {
        lstrcpynW(text, names::kDefaultTipText, names::kSettingTextChars);
    }

    m_tip = CreateWindowExW(
        0, TOOLTIPS_CLASSW, nullptr,
        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON | TTS_USEVISUALSTYLE, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd, nullptr, g_hInstance, nullptr);
    if (m_tip == nullptr) {
        // The host has no tooltip class (yet): the next mouse move tries again.
        return;
    }
    SetWindowPos(m_tip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);

    TOOLINFOW ti = {};
    static_assert(sizeof(TOOLINFOW) == 72 || sizeof(void*) != 8, "TOOLINFOW with lpReserved");
    ti.cbSize = sizeof(TOOLINFOW);
    ti.uFlags = TTF_SUBCLASS;
    ti.hwnd = hwnd;
    ti.uId = 0;
    ti.rect = kToolRect;
    ti.hinst = g_hInstance;
    ti.lpszText = text;
    ti.lParam = 0;
    ti.lpReserved = nullptr;
    SendMessageW(m_tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    SendMessageW(m_tip, TTM_SETDELAYTIME, TTDT_INITIAL, kInitialDelayMs);
}
