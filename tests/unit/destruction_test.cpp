// Destruction of a band object with and without its window.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "server/module.h"
#include "shell/host_window.h"
#include "shell/site.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"
#include "window/busy_count.h"

namespace {

using Access = CDeskBandTestAccess;

// A memory DC with a bitmap of its own, as painting leaves them.
void GiveDcAndBitmap(CDeskBand& band) {
    HDC hdcScreen = GetDC(nullptr);
    Access::m_hdcMem(band) = CreateCompatibleDC(hdcScreen);
    Access::m_hbmIcon(band) = CreateCompatibleBitmap(hdcScreen, 32, 32);
    ReleaseDC(nullptr, hdcScreen);
    ASSERT_NE(nullptr, Access::m_hdcMem(band));
    ASSERT_NE(nullptr, Access::m_hbmIcon(band));
}

// A window standing in for the tooltip: a popup owned by the band window.
HWND MakeTip(HWND hwndBand) {
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"STATIC", L"tip", WS_POPUP, 0, 0, 10, 10, hwndBand,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

WNDPROC g_previousProc = nullptr;
LONG_PTR g_userDataAtDestroy = -1;

LRESULT CALLBACK WatchDestroyProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        g_userDataAtDestroy = GetWindowLongPtrW(hwnd, GWLP_USERDATA);
    }
    return CallWindowProcW(g_previousProc, hwnd, msg, wp, lp);
}

class Destruction : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequestAtom();
        m_objRefsBefore = g_cObjRefs;
        m_pSite = new shell::Site(m_host.Get());
        m_pBand = new CDeskBand();
    }
    void TearDown() override {
        EXPECT_EQ(1, m_pSite->RefCount()) << "the band's site reference was not released";
        m_pSite->Release();
        EXPECT_EQ(m_objRefsBefore, g_cObjRefs);
        EXPECT_EQ(0, g_cWndProcBusy);
    }
    void Site() {
        ASSERT_EQ(S_OK, m_pBand->SetSite(static_cast<IOleWindow*>(m_pSite)));
        ASSERT_TRUE(IsWindow(Access::m_hwnd(*m_pBand)));
        EXPECT_EQ(2, m_pSite->RefCount());
    }

    ComApartment m_apartment;
    shell::HostWindow m_host{RECT{0, 560, 800, 600}};
    shell::Site* m_pSite = nullptr;
    CDeskBand* m_pBand = nullptr;
    ULONG m_objRefsBefore = 0;
};

TEST_F(Destruction, NeverSitedDeletesDcAndBitmap) {
    GiveDcAndBitmap(*m_pBand);
    HDC hdc = Access::m_hdcMem(*m_pBand);
    HBITMAP hbm = Access::m_hbmIcon(*m_pBand);
    EXPECT_EQ(0u, m_pBand->Release());
    EXPECT_EQ(0u, GetObjectType(hdc));
    EXPECT_EQ(0u, GetObjectType(hbm));
}

TEST_F(Destruction, AfterCloseDWMakesNoWindowCallsButFreesTheRest) {
    Site();
    HWND hwnd = Access::m_hwnd(*m_pBand);
    HWND hwndTip = MakeTip(hwnd);
    Access::m_tip(*m_pBand) = hwndTip;
    GiveDcAndBitmap(*m_pBand);
    HDC hdc = Access::m_hdcMem(*m_pBand);
    HBITMAP hbm = Access::m_hbmIcon(*m_pBand);

    ASSERT_EQ(S_OK, m_pBand->CloseDW(0));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwndTip));
    EXPECT_EQ(nullptr, Access::m_hwnd(*m_pBand));
    EXPECT_EQ(nullptr, Access::m_tip(*m_pBand));
    // Still there after CloseDW: destruction deletes them.
    EXPECT_EQ(static_cast<DWORD>(OBJ_MEMDC), GetObjectType(hdc));
    EXPECT_EQ(static_cast<DWORD>(OBJ_BITMAP), GetObjectType(hbm));

    EXPECT_EQ(0u, m_pBand->Release());
    EXPECT_EQ(0u, GetObjectType(hdc));
    EXPECT_EQ(0u, GetObjectType(hbm));
}

TEST_F(Destruction, WithoutCloseDWTearsTheWindowsDown) {
    Site();
    HWND hwnd = Access::m_hwnd(*m_pBand);
    HWND hwndTip = MakeTip(hwnd);
    ASSERT_TRUE(IsWindow(hwndTip));
    Access::m_tip(*m_pBand) = hwndTip;
    GiveDcAndBitmap(*m_pBand);
    HDC hdc = Access::m_hdcMem(*m_pBand);
    HBITMAP hbm = Access::m_hbmIcon(*m_pBand);
    ASSERT_EQ(reinterpret_cast<LONG_PTR>(static_cast<IDeskBand2*>(m_pBand)),
              GetWindowLongPtrW(hwnd, GWLP_USERDATA));

    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(0u, m_pBand->Release());
    EXPECT_LT(GetTickCount64() - start, kHangBoundMs) << "destruction hung";
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(IsWindow(hwndTip));
    EXPECT_EQ(0u, GetObjectType(hdc));
    EXPECT_EQ(0u, GetObjectType(hbm));
    EXPECT_TRUE(IsWindow(m_host.Get()));
}

TEST_F(Destruction, WithoutCloseDWTheWindowIsDetachedBeforeItGoes) {
    // A message that reaches the window while it is destroyed must not find
    // the object: the user data is cleared first.
    Site();
    HWND hwnd = Access::m_hwnd(*m_pBand);
    g_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchDestroyProc)));
    EXPECT_EQ(0u, m_pBand->Release());
    EXPECT_EQ(0, g_userDataAtDestroy);
}

// The last Release arrives inside a call of the band's own window
// procedure (the hide message, answered by a band site that releases the
// band without CloseDW). Destruction must not wait for ever.
TEST_F(Destruction, LastReleaseInsideItsOwnWindowProcedureDoesNotHang) {
    RegisteredBandSiteProbe probe(nullptr);
    ASSERT_EQ(S_OK, probe.Result());
    Site();
    HWND hwnd = Access::m_hwnd(*m_pBand);
    CDeskBand* pBand = m_pBand;
    probe->SetOnRemoveBand([&](DWORD) {
        EXPECT_EQ(1, g_cWndProcBusy);
        EXPECT_EQ(0u, pBand->Release());
        pBand = nullptr;
    });

    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 150 && !done; ++i) {
            Sleep(100);
        }
        if (!done) {
            std::fprintf(stderr, "destruction inside the window procedure hangs\n");
            std::fflush(stderr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    });
    const ULONGLONG start = GetTickCount64();
    SendMessageW(hwnd, RegisterWindowMessageW(L"Vantreldeskbandhmsg"), 0, 0);
    done = true;
    watchdog.join();
    EXPECT_LT(GetTickCount64() - start, kHangBoundMs);
    EXPECT_EQ(1, probe->RemoveBandCalls());
    EXPECT_EQ(nullptr, pBand);
    EXPECT_FALSE(IsWindow(hwnd));
}

} // namespace
