// Siting (SetSite and GetSite): the window class and the band window with
// their exact members, sites
// that offer less, siting again, and a band released without CloseDW.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "hosting/hosting_harness.h"
#include "support/com_test.h"

namespace hosting {
namespace {

using Siting = HostedBandTest;

TEST_F(Siting, RegistersTheWindowClassWithItsExactMembers) {
    WNDCLASSW before = {};
    EXPECT_FALSE(GetClassInfoW(m_dll.Get(), kBandClass, &before)) << "registered before SetSite";
    ASSERT_EQ(S_OK, Site());

    WNDCLASSW wc = {};
    ASSERT_TRUE(GetClassInfoW(m_dll.Get(), kBandClass, &wc));
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), wc.style);
    EXPECT_EQ(0, wc.cbClsExtra);
    EXPECT_EQ(0, wc.cbWndExtra);
    EXPECT_EQ(nullptr, wc.hIcon);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), wc.hCursor);
    EXPECT_EQ(nullptr, wc.lpszMenuName);
    EXPECT_TRUE(InsideImage(m_dll.Get(), reinterpret_cast<const void*>(wc.lpfnWndProc)))
        << "the window procedure is the DLL's";
    ASSERT_NE(nullptr, wc.hbrBackground);
    LOGBRUSH lb = {};
    ASSERT_EQ(static_cast<int>(sizeof(lb)), GetObjectW(wc.hbrBackground, sizeof(lb), &lb));
    EXPECT_EQ(static_cast<UINT>(BS_SOLID), lb.lbStyle);
    EXPECT_EQ(RGB(255, 255, 0), lb.lbColor) << "yellow";
}

TEST_F(Siting, CreatesTheBandWindowHiddenAsAChildOfTheHost) {
    EXPECT_EQ(nullptr, BandWindow()) << "no window before SetSite";
    ASSERT_EQ(S_OK, Site());
    const HWND hwnd = BandWindow();
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(static_cast<LONG>(WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
              GetWindowLongW(hwnd, GWL_STYLE));
    EXPECT_EQ(0, GetWindowLongW(hwnd, GWL_EXSTYLE));
    EXPECT_EQ(m_host.Get(), GetParent(hwnd));
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(m_dll.Get()),
              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd, GWLP_HINSTANCE)));
    EXPECT_EQ(0, GetWindowTextLengthW(hwnd));
    EXPECT_EQ(nullptr, reinterpret_cast<HMENU>(GetWindowLongPtrW(hwnd, GWLP_ID)));
    RECT rc = {1, 1, 1, 1};
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(0, rc.right - rc.left);
    EXPECT_EQ(0, rc.bottom - rc.top);
    POINT origin = {0, 0};
    MapWindowPoints(hwnd, m_host.Get(), &origin, 1);
    EXPECT_EQ(0, origin.x);
    EXPECT_EQ(0, origin.y);
    // The window holds the object: its primary view.
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(Primary()), GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    // One window of the class, and one reference kept on the site.
    EXPECT_EQ(1u, BandClassWindows().size());
    EXPECT_EQ(2, m_pSite->RefCount());
}

TEST_F(Siting, SetSiteNullReleasesTheSiteAndLeavesTheWindow) {
    ASSERT_EQ(S_OK, Site());
    const HWND hwnd = BandWindow();
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(S_OK, SetSite(nullptr));
    EXPECT_EQ(1, m_pSite->RefCount()) << "the old site is released";
    EXPECT_EQ(hwnd, BandWindow()) << "the band window is not touched";
    EXPECT_TRUE(IsWindow(hwnd));
    void* p = SentinelPointer();
    EXPECT_EQ(E_FAIL, As<IObjectWithSite>(IID_IObjectWithSite)->GetSite(IID_IUnknown, &p));
    EXPECT_EQ(nullptr, p);
    // No parent known any more: band information without the layout.
    DESKBANDINFO dbi = {};
    dbi.dwMask = DBIM_MINSIZE;
    EXPECT_EQ(S_OK, m_pBand->GetBandInfo(1, 0, &dbi));
    EXPECT_EQ(0, dbi.ptMinSize.x) << "m_cxBand is still 0: no parent was ever measured";
}

TEST_F(Siting, ASiteWithoutIOleWindowGetsNoWindow) {
    m_pSite = new shell::Site(m_host.Get());
    m_pSite->SetOffersOleWindow(false);
    EXPECT_EQ(S_OK, SetSite(static_cast<IOleWindow*>(m_pSite)))
        << "the IInputObjectSite query's result";
    EXPECT_EQ(nullptr, BandWindow());
    EXPECT_TRUE(BandClassWindows().empty());
    EXPECT_EQ(2, m_pSite->RefCount()) << "IInputObjectSite kept";

    // Neither interface: the result is that of the IInputObjectSite query.
    shell::Site* pBare = new shell::Site(m_host.Get());
    pBare->SetOffersOleWindow(false);
    pBare->SetOffersInputObjectSite(false);
    EXPECT_EQ(E_NOINTERFACE, SetSite(static_cast<IOleWindow*>(pBare)));
    EXPECT_EQ(1, m_pSite->RefCount()) << "the earlier site is released";
    EXPECT_EQ(1, pBare->RefCount()) << "nothing kept of a site without IInputObjectSite";
    void* p = SentinelPointer();
    EXPECT_EQ(E_FAIL, As<IObjectWithSite>(IID_IObjectWithSite)->GetSite(IID_IUnknown, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(nullptr, BandWindow());
    EXPECT_EQ(0u, pBare->Release());
}

TEST_F(Siting, ASiteWhoseGetWindowFailsGetsNoWindow) {
    m_pSite = new shell::Site(m_host.Get());
    m_pSite->SetGetWindowResult(E_FAIL);
    EXPECT_EQ(S_OK, SetSite(static_cast<IOleWindow*>(m_pSite)));
    EXPECT_EQ(nullptr, BandWindow());
    EXPECT_TRUE(BandClassWindows().empty());
    EXPECT_EQ(2, m_pSite->RefCount()) << "IOleWindow released, IInputObjectSite kept";
    WNDCLASSW wc = {};
    EXPECT_FALSE(GetClassInfoW(m_dll.Get(), kBandClass, &wc)) << "no class registered";
    // The band does not know a parent: GetBandInfo lays nothing out.
    DESKBANDINFO dbi = {};
    dbi.dwMask = DBIM_ACTUAL;
    EXPECT_EQ(S_OK, m_pBand->GetBandInfo(1, 0, &dbi));
    EXPECT_EQ(0, dbi.ptActual.x);
}

TEST_F(Siting, SitingAgainDestroysTheEarlierWindow) {
    ASSERT_EQ(S_OK, Site());
    const HWND first = BandWindow();
    ASSERT_TRUE(IsWindow(first));
    ASSERT_EQ(S_OK, m_pBand->ShowDW(TRUE));

    shell::HostWindow otherHost({0, 0, 300, 30});
    shell::Site* pOther = new shell::Site(otherHost.Get());
    EXPECT_EQ(S_OK, SetSite(static_cast<IOleWindow*>(pOther)));
    EXPECT_FALSE(IsWindow(first)) << "siting again destroys the earlier window";
    const HWND second = BandWindow();
    ASSERT_TRUE(IsWindow(second));
    EXPECT_NE(first, second);
    EXPECT_EQ(otherHost.Get(), GetParent(second));
    EXPECT_FALSE(GetWindowLongW(second, GWL_STYLE) & WS_VISIBLE) << "created hidden";
    EXPECT_EQ(1u, BandClassWindows().size());
    EXPECT_EQ(1, WindowsReferring(Primary()));
    EXPECT_EQ(1, m_pSite->RefCount()) << "the first site is released";
    EXPECT_EQ(2, pOther->RefCount());

    // The band measures the new parent.
    DESKBANDINFO dbi = {};
    dbi.dwMask = DBIM_ACTUAL;
    EXPECT_EQ(S_OK, m_pBand->GetBandInfo(1, 0, &dbi));
    EXPECT_EQ(32, dbi.ptActual.x);

    // Released without CloseDW: nothing is left that refers to the object.
    const void* pObject = Primary();
    EXPECT_EQ(0u, m_pBand->Release());
    m_pBand = nullptr;
    EXPECT_EQ(0, WindowsReferring(pObject));
    EXPECT_TRUE(BandClassWindows().empty());
    EXPECT_EQ(1, pOther->RefCount());
    EXPECT_EQ(0u, pOther->Release());
}

TEST_F(Siting, SitingAgainOnTheSameHostKeepsOneWindow) {
    ASSERT_EQ(S_OK, Site());
    const HWND first = BandWindow();
    ASSERT_EQ(S_OK, Site());
    EXPECT_FALSE(IsWindow(first));
    EXPECT_TRUE(IsWindow(BandWindow()));
    EXPECT_EQ(1u, BandClassWindows().size());
    EXPECT_EQ(2, m_pSite->RefCount());
}

// Siting again destroys the earlier window for any new site, also one that yields no window: the
// earlier window does not stay behind in the old host.
TEST_F(Siting, SitingAgainWithoutAWindowStillDestroysTheEarlierWindow) {
    ASSERT_EQ(S_OK, Site());
    const HWND first = BandWindow();
    ASSERT_TRUE(IsWindow(first));
    shell::Site* pNoWindow = new shell::Site(m_host.Get());
    pNoWindow->SetOffersOleWindow(false);
    EXPECT_EQ(S_OK, SetSite(static_cast<IOleWindow*>(pNoWindow)));
    EXPECT_FALSE(IsWindow(first));
    EXPECT_EQ(nullptr, BandWindow());
    EXPECT_TRUE(BandClassWindows().empty());

    ASSERT_EQ(S_OK, Site());
    const HWND second = BandWindow();
    ASSERT_TRUE(IsWindow(second));
    shell::Site* pFailing = new shell::Site(m_host.Get());
    pFailing->SetGetWindowResult(E_FAIL);
    EXPECT_EQ(S_OK, SetSite(static_cast<IOleWindow*>(pFailing)));
    EXPECT_FALSE(IsWindow(second));
    EXPECT_EQ(nullptr, BandWindow());
    EXPECT_TRUE(BandClassWindows().empty());

    // SetSite(NULL) is the one call that leaves the window alone.
    ASSERT_EQ(S_OK, Site());
    const HWND third = BandWindow();
    EXPECT_EQ(S_OK, SetSite(nullptr));
    EXPECT_TRUE(IsWindow(third));
    EXPECT_EQ(third, BandWindow());

    EXPECT_EQ(0u, pNoWindow->Release());
    EXPECT_EQ(0u, pFailing->Release());
}

TEST_F(Siting, GetSiteWithASitePassesTheQueryOn) {
    ASSERT_EQ(S_OK, Site());
    IObjectWithSite* pows = As<IObjectWithSite>(IID_IObjectWithSite);
    IOleWindow* pow = nullptr;
    EXPECT_EQ(S_OK, pows->GetSite(IID_IOleWindow, reinterpret_cast<void**>(&pow)));
    EXPECT_EQ(static_cast<IOleWindow*>(m_pSite), pow);
    EXPECT_EQ(3, m_pSite->RefCount());
    pow->Release();
    IInputObjectSite* pios = nullptr;
    EXPECT_EQ(S_OK, pows->GetSite(IID_IInputObjectSite, reinterpret_cast<void**>(&pios)));
    EXPECT_EQ(static_cast<IInputObjectSite*>(m_pSite), pios);
    pios->Release();
    void* p = SentinelPointer();
    EXPECT_EQ(E_NOINTERFACE, pows->GetSite(IID_IStream, &p)) << "the site's own answer";
    EXPECT_EQ(nullptr, p);
}

TEST_F(Siting, GetSiteWithoutASiteIsEFailAndNull) {
    void* p = SentinelPointer();
    EXPECT_EQ(E_FAIL, As<IObjectWithSite>(IID_IObjectWithSite)->GetSite(IID_IUnknown, &p));
    EXPECT_EQ(nullptr, p);
}

TEST_F(Siting, ReleasedWithoutCloseDWLeavesNoWindow) {
    Watchdog watchdog(20000, "Siting.ReleasedWithoutCloseDWLeavesNoWindow");
    ASSERT_EQ(S_OK, Site());
    ASSERT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    const HWND hwnd = BandWindow();
    const void* pObject = Primary();
    ASSERT_TRUE(IsWindow(hwnd));
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(0u, m_pBand->Release());
    m_pBand = nullptr;
    EXPECT_LT(GetTickCount64() - start, kHangBoundMs) << "a wait on a window that is gone hung";
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(0, WindowsReferring(pObject));
    EXPECT_TRUE(BandClassWindows().empty());
    EXPECT_EQ(1, m_pSite->RefCount()) << "the site is released by destruction";
}

// The last reference dropped by the site inside the band's own
// window procedure (WM_SETFOCUS reaches OnFocusChangeIS, which releases).
TEST_F(Siting, ReleasedFromInsideItsOwnWindowProcedureDoesNotHang) {
    Watchdog watchdog(20000, "Siting.ReleasedFromInsideItsOwnWindowProcedureDoesNotHang");
    shell::ReleasingSite* pSite = new shell::ReleasingSite(m_host.Get());
    ASSERT_EQ(S_OK, SetSite(static_cast<IOleWindow*>(pSite)));
    const HWND hwnd = BandWindow();
    ASSERT_TRUE(IsWindow(hwnd));
    const void* pObject = Primary();
    pSite->HandOver(m_pBand); // the test's own reference, now the last one
    m_pBand = nullptr;

    const ULONGLONG start = GetTickCount64();
    SendMessageW(hwnd, WM_SETFOCUS, 0, 0);
    EXPECT_LT(GetTickCount64() - start, kHangBoundMs);
    EXPECT_TRUE(pSite->Released());
    EXPECT_EQ(0u, pSite->LastReleaseResult());
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(0, WindowsReferring(pObject));
    EXPECT_TRUE(BandClassWindows().empty());
    EXPECT_EQ(1, pSite->RefCount()) << "destruction released the site";
    EXPECT_EQ(0u, pSite->Release());
}

// The same through the hide message with a band site that releases the band
// without closing it first.
TEST_F(Siting, ReleasedWithoutCloseDWFromInsideTheHideMessageDoesNotHang) {
    Watchdog watchdog(20000, "Siting.ReleasedWithoutCloseDWFromInsideTheHideMessageDoesNotHang");
    ScriptedBandSite bandSite;
    ASSERT_EQ(S_OK, bandSite.Registration());
    ASSERT_EQ(S_OK, Site());
    DESKBANDINFO dbi = {};
    ASSERT_EQ(S_OK, m_pBand->GetBandInfo(12, 0, &dbi));
    ASSERT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    const HWND hwnd = BandWindow();
    const void* pObject = Primary();
    IDeskBand2* pLast = m_pBand;
    m_pBand = nullptr;
    ULONG cAfter = 0xFFFF;
    bandSite.OnRemoveBand([&](DWORD) { cAfter = pLast->Release(); });

    EXPECT_EQ(0, SendMessageW(hwnd, RegisterWindowMessageW(kHideMessage), 0, 0));
    ASSERT_EQ(1u, bandSite.Removed().size());
    EXPECT_EQ(12u, bandSite.Removed()[0]);
    EXPECT_EQ(0u, cAfter);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(0, WindowsReferring(pObject));
    EXPECT_TRUE(BandClassWindows().empty());
}

} // namespace
} // namespace hosting
