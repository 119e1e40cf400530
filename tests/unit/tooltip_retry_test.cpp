// The band relies on its host for the tooltip class. A move while the class
// is missing makes no tip; the next move after the host registered it does,
// reading the settings afresh.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "unit/band_window_fixture.h"

namespace {

class TooltipRetryTest : public HostedBandFixture {};

TEST_F(TooltipRetryTest, ATipThatCouldNotBeMadeIsMadeOnTheNextMove) {
    // The system libraries this process uses may have brought the common
    // controls in already; take their tooltip class away and keep its
    // description to register it again as a host would.
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    ASSERT_NE(nullptr, comctl);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExW(comctl, TOOLTIPS_CLASSW, &wc));
    wc.lpszClassName = TOOLTIPS_CLASSW;
    ASSERT_TRUE(UnregisterClassW(TOOLTIPS_CLASSW, comctl));
    WNDCLASSEXW probe = {};
    probe.cbSize = sizeof(probe);
    ASSERT_FALSE(GetClassInfoExW(nullptr, TOOLTIPS_CLASSW, &probe));

    ASSERT_EQ(ERROR_SUCCESS, m_settings.SetString(L"TECHSUPPORT_TEXT", L"before"));
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(nullptr, Access::m_tip(Band()));
    EXPECT_TRUE(Access::m_fHot(Band())) << "the hover goes on without a tip";

    ASSERT_NE(0, RegisterClassExW(&wc));
    ASSERT_EQ(ERROR_SUCCESS, m_settings.SetString(L"TECHSUPPORT_TEXT", L"after"));

    Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    HWND tip = Access::m_tip(Band());
    ASSERT_TRUE(IsWindow(tip));
    wchar_t cls[64] = {};
    GetClassNameW(tip, cls, 64);
    EXPECT_EQ(0, lstrcmpiW(TOOLTIPS_CLASSW, cls));
    wchar_t text[64] = {};
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = Window();
    ti.uId = 0;
    ti.lpszText = text;
    ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_STREQ(L"after", text);
}

} // namespace
