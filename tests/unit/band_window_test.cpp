// The band window's procedure, the icon layout and the hosting methods'
// effects on the band's private fields (Parts 2.2, 3.1, 3.6): the linked-in
// band object sited on the shell stand-in's host window, its fields read
// through CDeskBandTestAccess.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <new>

#include "band/desk_band.h"
#include "hosting/hosting_harness.h"
#include "server/module.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "shell/site.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"
#include "window/busy_count.h"
#include "window/registered_messages.h"

namespace {

using Access = CDeskBandTestAccess;

class BandWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        shell::SetUnexpectedCallHandler(
            [](const std::string& call) { ADD_FAILURE() << "unexpected call " << call; });
        ASSERT_EQ(0, g_cWndProcBusy);
        m_pBand = new (std::nothrow) CDeskBand();
        ASSERT_NE(nullptr, m_pBand);
    }
    void TearDown() override {
        if (m_pBand != nullptr) {
            m_pBand->CloseDW(0);
            EXPECT_EQ(0u, m_pBand->Release());
        }
        if (m_pSite != nullptr) {
            EXPECT_EQ(0u, m_pSite->Release());
        }
        EXPECT_EQ(0, g_cWndProcBusy);
        EXPECT_TRUE(hosting::BandClassWindows().empty());
        shell::SetUnexpectedCallHandler(nullptr);
    }
    void Site() {
        m_pSite = new shell::Site(m_host.Get());
        ASSERT_EQ(S_OK, m_pBand->SetSite(static_cast<IOleWindow*>(m_pSite)));
        ASSERT_TRUE(IsWindow(Window()));
    }
    CDeskBand& Band() { return *m_pBand; }
    HWND Window() { return Access::m_hwnd(*m_pBand); }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageW(Window(), msg, wParam, lParam);
    }
    void SetIcon(int side, int x, int y) {
        Access::m_cxIcon(Band()) = side;
        Access::m_xIcon(Band()) = x;
        Access::m_yIcon(Band()) = y;
    }
    void ExpectIcon(int side, int x, int y) {
        EXPECT_EQ(side, Access::m_cxIcon(Band()));
        EXPECT_EQ(x, Access::m_xIcon(Band()));
        EXPECT_EQ(y, Access::m_yIcon(Band()));
    }

    ComApartment m_apartment;
    shell::HostWindow m_host{RECT{0, 560, 800, 600}, true};
    CDeskBand* m_pBand = nullptr;
    shell::Site* m_pSite = nullptr;
};

// --- Layout: one computation behind both entries --------------------------

struct LayoutCase {
    int cx, cy;
    int side, x, y;
};
const LayoutCase kLayout[] = {
    {20, 40, 20, 0, 10}, {33, 33, 32, 0, 0},   {40, 31, 31, 4, 0}, {0, 0, 0, 0, 0},
    {32, 32, 32, 0, 0},  {100, 40, 32, 34, 4}, {1, 1, 1, 0, 0},
};

TEST_F(BandWindow, LayoutThroughWmSize) {
    Site();
    for (const LayoutCase& c : kLayout) {
        SCOPED_TRACE(testing::Message() << c.cx << " x " << c.cy);
        SetIcon(-7, -7, -7);
        EXPECT_EQ(0, Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(c.cx, c.cy)));
        ExpectIcon(c.side, c.x, c.y);
    }
    // The largest client sizes WM_SIZE can carry, unsigned.
    SetIcon(-7, -7, -7);
    Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(0xFFFF, 0xFFFF));
    ExpectIcon(32, (0xFFFF - 32) / 2, (0xFFFF - 32) / 2);
}

TEST_F(BandWindow, LayoutThroughOnUpdateTaskBandInfo) {
    Site();
    for (const LayoutCase& c : kLayout) {
        SCOPED_TRACE(testing::Message() << c.cx << " x " << c.cy);
        ASSERT_TRUE(MoveWindow(Window(), 0, 0, c.cx, c.cy, FALSE));
        RECT rc = {};
        GetClientRect(Window(), &rc);
        ASSERT_EQ(c.cx, rc.right);
        ASSERT_EQ(c.cy, rc.bottom);
        SetIcon(-7, -7, -7); // forget what WM_SIZE did
        Band().OnUpdateTaskBandInfo();
        ExpectIcon(c.side, c.x, c.y);
    }
}

TEST_F(BandWindow, OnUpdateTaskBandInfoWithoutAWindowGivesZero) {
    SetIcon(-7, -7, -7);
    Band().OnUpdateTaskBandInfo();
    ExpectIcon(0, 0, 0);
}

TEST_F(BandWindow, SettingChangeOnlyForTheWorkArea) {
    Site();
    ASSERT_EQ(S_OK, Band().ShowDW(TRUE));
    ASSERT_TRUE(MoveWindow(Window(), 0, 0, 40, 31, FALSE));
    const WPARAM others[] = {0, SPI_SETWORKAREA - 1, SPI_SETWORKAREA + 1,
                             static_cast<WPARAM>(0x100000000ULL | SPI_SETWORKAREA)};
    for (WPARAM w : others) {
        SCOPED_TRACE(testing::Message() << "wParam " << static_cast<unsigned long long>(w));
        SetIcon(-7, -7, -7);
        ValidateRect(Window(), nullptr);
        Send(WM_SETTINGCHANGE, w, 0);
        ExpectIcon(-7, -7, -7);
        EXPECT_FALSE(GetUpdateRect(Window(), nullptr, FALSE)) << "nothing invalidated";
    }
    SetIcon(-7, -7, -7);
    ValidateRect(Window(), nullptr);
    Send(WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    ExpectIcon(31, 4, 0);
    EXPECT_TRUE(GetUpdateRect(Window(), nullptr, FALSE)) << "the client area is invalidated";
}

// --- Window procedure: creation, the busy count, the registered messages -----------

TEST_F(BandWindow, CreationLinksWindowAndBand) {
    Access::m_fVertical(Band()) = TRUE;
    Site();
    EXPECT_EQ(FALSE, Access::m_fVertical(Band())) << "reset on WM_CREATE";
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(static_cast<IDeskBand2*>(m_pBand)),
              GetWindowLongPtrW(Window(), GWLP_USERDATA));
    EXPECT_EQ(m_host.Get(), Access::m_hwndParent(Band()));
    EXPECT_EQ(0, g_cWndProcBusy);
}

TEST_F(BandWindow, BusyCountIsBackToZeroAfterEveryKindOfMessage) {
    Site();
    HDC hdc = CreateCompatibleDC(nullptr);
    const UINT msgs[] = {WM_SIZE, WM_SETTINGCHANGE, WM_ERASEBKGND, WM_PRINTCLIENT, WM_USER + 5};
    for (UINT m : msgs) {
        Send(m, m == WM_SETTINGCHANGE ? SPI_SETWORKAREA : reinterpret_cast<WPARAM>(hdc), 0);
        EXPECT_EQ(0, g_cWndProcBusy) << "message " << m;
    }
    Band().SetCompositionState(TRUE);
    EXPECT_EQ(1, Send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0));
    EXPECT_EQ(0, g_cWndProcBusy);
    DeleteDC(hdc);
}

TEST_F(BandWindow, StyleMessage) {
    Site();
    const int before = Access::m_nRepresentativeIcon(Band());
    Send(g_uChangeIconMsg, 0, 0);
    EXPECT_EQ(before, Access::m_nRepresentativeIcon(Band()));
    Send(g_uChangeIconMsg, 9, 0);
    EXPECT_EQ(before, Access::m_nRepresentativeIcon(Band()));
    Send(g_uChangeIconMsg, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(before, Access::m_nRepresentativeIcon(Band()));

    // While hot: the normal form of the new style, and m_fHot stays.
    Access::m_fHot(Band()) = TRUE;
    Send(g_uChangeIconMsg, 3, 0);
    EXPECT_EQ(3, Access::m_nRepresentativeIcon(Band()));
    EXPECT_EQ(TRUE, Access::m_fHot(Band()));
    EXPECT_NE(nullptr, Access::m_hbmIcon(Band()));
    Access::m_fHot(Band()) = FALSE;

    Send(g_uChangeIconMsg, static_cast<WPARAM>(0x100000005ULL), 0);
    EXPECT_EQ(5, Access::m_nRepresentativeIcon(Band())) << "the low 32 bits";
    Send(g_uChangeIconMsg, 8, 0);
    EXPECT_EQ(8, Access::m_nRepresentativeIcon(Band()));
    Send(g_uChangeIconMsg, 1, 0);
    EXPECT_EQ(1, Access::m_nRepresentativeIcon(Band()));
    EXPECT_EQ(0, g_cWndProcBusy);
}

TEST_F(BandWindow, HideMessageAsksForTheStoredBandId) {
    hosting::ScriptedBandSite bandSite;
    ASSERT_EQ(S_OK, bandSite.Registration());
    LONG busyInside = -1;
    bandSite.OnRemoveBand([&](DWORD) { busyInside = g_cWndProcBusy; });
    Site();
    EXPECT_EQ(0u, Access::m_dwBandID(Band()));
    EXPECT_EQ(0, Send(g_uHideBandMsg));
    ASSERT_EQ(1u, bandSite.Removed().size());
    EXPECT_EQ(0u, bandSite.Removed()[0]) << "no GetBandInfo yet: id 0";
    EXPECT_EQ(1, busyInside) << "the call counts as busy";

    DESKBANDINFO dbi = {};
    ASSERT_EQ(S_OK, Band().GetBandInfo(0x7FFF1234, 0, &dbi));
    Send(g_uHideBandMsg);
    ASSERT_EQ(2u, bandSite.Removed().size());
    EXPECT_EQ(0x7FFF1234u, bandSite.Removed()[1]);
    EXPECT_EQ(0, g_cWndProcBusy);
}

TEST_F(BandWindow, HideMessageWhereTheBandSiteClosesAndReleasesTheBand) {
    hosting::Watchdog watchdog(20000, "BandWindow.HideMessageWhereTheBandSiteClosesAndReleases");
    shell::BandSite* pBandSite = new shell::BandSite(m_host.Get());
    pBandSite->SetNextBandID(9);
    shell::BandSiteService* pService = new shell::BandSiteService(pBandSite);
    {
        shell::ClassObjectRegistration registration(CLSID_TrayBandSiteService, pService);
        ASSERT_EQ(S_OK, registration.Result());
        const ULONG refsBefore = g_cObjRefs;
        ASSERT_TRUE(SUCCEEDED(pBandSite->AddBand(static_cast<IDeskBand2*>(m_pBand))));
        EXPECT_EQ(9u, Access::m_dwBandID(Band()));
        const HWND hwnd = Window();
        ASSERT_TRUE(IsWindow(hwnd));
        CDeskBand* pBand = m_pBand;
        m_pBand = nullptr;
        EXPECT_EQ(1u, pBand->Release()) << "the band site holds the last reference";
        (void)pBand;

        EXPECT_EQ(0, SendMessageW(hwnd, g_uHideBandMsg, 0, 0));
        EXPECT_EQ(0, g_cWndProcBusy);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(pBandSite->Bands().empty());
        EXPECT_EQ(refsBefore - 1, g_cObjRefs) << "the band is destroyed";
    }
    EXPECT_EQ(0u, pService->Release());
    EXPECT_EQ(0u, pBandSite->Release());
}

TEST_F(BandWindow, RegisteredMessagesWithoutABandDoNothing) {
    hosting::ScriptedBandSite bandSite;
    ASSERT_EQ(S_OK, bandSite.Registration());
    Site();
    const int style = Access::m_nRepresentativeIcon(Band());
    const int newStyle = style == 4 ? 6 : 4;
    SetWindowLongPtrW(Window(), GWLP_USERDATA, 0);
    Send(g_uHideBandMsg);
    Send(g_uChangeIconMsg, newStyle, 0);
    SetIcon(-7, -7, -7);
    Send(WM_SIZE, 0, MAKELPARAM(20, 40));
    Send(WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    Send(WM_SETFOCUS);
    EXPECT_TRUE(bandSite.Removed().empty());
    EXPECT_EQ(style, Access::m_nRepresentativeIcon(Band()));
    ExpectIcon(-7, -7, -7);
    EXPECT_EQ(FALSE, Access::m_fHasFocus(Band()));
    EXPECT_TRUE(m_pSite->FocusChanges().empty());
    EXPECT_EQ(0, g_cWndProcBusy);
}

// A registration that failed (id 0) matches no message, WM_NULL
// included.
TEST_F(BandWindow, AnIdOfZeroMatchesNothing) {
    hosting::ScriptedBandSite bandSite;
    ASSERT_EQ(S_OK, bandSite.Registration());
    Site();
    const UINT savedHide = g_uHideBandMsg;
    const UINT savedIcon = g_uChangeIconMsg;
    g_uHideBandMsg = 0;
    g_uChangeIconMsg = 0;
    const int style = Access::m_nRepresentativeIcon(Band());
    const int newStyle = style == 4 ? 6 : 4;
    Send(WM_NULL, newStyle, 0);
    EXPECT_TRUE(bandSite.Removed().empty());
    EXPECT_EQ(style, Access::m_nRepresentativeIcon(Band()));
    g_uHideBandMsg = savedHide;
    g_uChangeIconMsg = savedIcon;
    EXPECT_TRUE(IsWindow(Window()));
}

// --- Siting: SetSite and the messages, GetBandInfo's fields ---------------

TEST_F(BandWindow, ASiteWithoutIOleWindowRegistersNoMessages) {
    g_uHideBandMsg = 0;
    g_uChangeIconMsg = 0;
    m_pSite = new shell::Site(m_host.Get());
    m_pSite->SetOffersOleWindow(false);
    EXPECT_EQ(S_OK, Band().SetSite(static_cast<IOleWindow*>(m_pSite)));
    EXPECT_EQ(0u, g_uHideBandMsg);
    EXPECT_EQ(0u, g_uChangeIconMsg);
    EXPECT_EQ(nullptr, Window());
    EXPECT_EQ(nullptr, Access::m_hwndParent(Band()));
    EXPECT_EQ(static_cast<IInputObjectSite*>(m_pSite), Access::m_pSite(Band()));
    RegisterBandMessages();
}

TEST_F(BandWindow, ASiteWhoseGetWindowFailsStillRegistersTheMessages) {
    g_uHideBandMsg = 0;
    g_uChangeIconMsg = 0;
    m_pSite = new shell::Site(m_host.Get());
    m_pSite->SetGetWindowResult(E_FAIL);
    EXPECT_EQ(S_OK, Band().SetSite(static_cast<IOleWindow*>(m_pSite)));
    EXPECT_EQ(RegisterWindowMessageW(L"Vantreldeskbandhmsg"), g_uHideBandMsg);
    EXPECT_EQ(RegisterWindowMessageW(L"VantrelChangeRepresentativeIcon"), g_uChangeIconMsg);
    EXPECT_NE(0u, g_uHideBandMsg);
    EXPECT_EQ(nullptr, Window());
}

struct BandInfoFieldsCase {
    const char* name;
    bool fParent;
    int cx, cy;
    DWORD dwMask;
    bool fNull;
    BOOL fVertical; // expected
    bool fLayout;   // OnUpdateTaskBandInfo called
};

const BandInfoFieldsCase kBandInfoFields[] = {
    {"NoParent", false, 0, 0, 0x7F, false, TRUE /*untouched*/, false},
    {"Parent800x40", true, 800, 40, 0x7F, false, FALSE, true},
    {"Parent60x600", true, 60, 600, 0x7F, false, TRUE, true},
    {"Parent50x50", true, 50, 50, 0x7F, false, FALSE, true},
    {"MaskZero", true, 60, 600, 0, false, TRUE, true},
    {"NullPointer", true, 60, 600, 0x7F, true, TRUE, true},
};

class BandInfoFields : public BandWindow,
                       public ::testing::WithParamInterface<BandInfoFieldsCase> {};

TEST_P(BandInfoFields, SetsTheBandsFields) {
    const BandInfoFieldsCase& c = GetParam();
    if (c.fParent) {
        m_host.Move({0, 0, c.cx, c.cy});
        Site();
        ASSERT_TRUE(MoveWindow(Window(), 0, 0, 20, 40, FALSE));
    }
    Access::m_dwBandID(Band()) = 1234;
    Access::m_fVertical(Band()) = TRUE; // to see "untouched" without a parent
    SetIcon(-7, -7, -7);
    DESKBANDINFO dbi = {};
    dbi.dwMask = c.dwMask;
    const HRESULT hr = Band().GetBandInfo(88, 0, c.fNull ? nullptr : &dbi);
    EXPECT_EQ(c.fNull ? E_INVALIDARG : S_OK, hr);
    EXPECT_EQ(c.fNull ? 1234u : 88u, Access::m_dwBandID(Band()));
    EXPECT_EQ(c.fVertical, Access::m_fVertical(Band()));
    if (c.fLayout) {
        ExpectIcon(20, 0, 10);
        EXPECT_EQ(32, Access::m_cxBand(Band()));
        EXPECT_EQ(32, Access::m_cyBand(Band()));
    } else {
        ExpectIcon(-7, -7, -7);
        EXPECT_EQ(0, Access::m_cxBand(Band()));
        EXPECT_EQ(0, Access::m_cyBand(Band()));
    }
}

INSTANTIATE_TEST_SUITE_P(Part22, BandInfoFields, ::testing::ValuesIn(kBandInfoFields),
                         [](const ::testing::TestParamInfo<BandInfoFieldsCase>& info) {
                             return std::string(info.param.name);
                         });

// A tooltip that cannot be destroyed from this thread does not
// hold CloseDW for longer than a few seconds.
DWORD WINAPI ForeignTooltipThread(void* p) {
    HANDLE* handles = static_cast<HANDLE*>(p);
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"foreign tip", WS_POPUP, 0, 0, 10, 10, nullptr,
                                nullptr, nullptr, nullptr);
    *reinterpret_cast<HWND*>(handles[2]) = hwnd;
    SetEvent(handles[0]);
    // Keep it alive (and its messages unpumped) until told to go.
    WaitForSingleObject(handles[1], INFINITE);
    DestroyWindow(hwnd);
    return 0;
}

TEST_F(BandWindow, CloseDWsTooltipWaitIsBounded) {
    hosting::Watchdog watchdog(30000, "BandWindow.CloseDWsTooltipWaitIsBounded");
    Site();
    HWND foreign = nullptr;
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE handles[3] = {created, finish, reinterpret_cast<HANDLE>(&foreign)};
    HANDLE thread = CreateThread(nullptr, 0, ForeignTooltipThread, handles, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(created, 10000));
    ASSERT_TRUE(IsWindow(foreign));
    Access::m_tip(Band()) = foreign; // a window DestroyWindow cannot take from here

    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(S_OK, Band().CloseDW(0));
    const ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_LT(elapsed, kHangBoundMs) << "the wait for the tooltip is bounded";
    EXPECT_GE(elapsed, 500u) << "it did wait for the tooltip";
    EXPECT_EQ(nullptr, Access::m_tip(Band()));
    EXPECT_EQ(nullptr, Window());
    EXPECT_TRUE(IsWindow(foreign));

    SetEvent(finish);
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    CloseHandle(created);
    CloseHandle(finish);
}

} // namespace
