// A band closed and released from inside its own window procedure, many
// times over and in varied states: by the band site answering the hide
// message, by a band site that releases it without closing it, and by a site
// that drops its last reference when told of a focus change. Band objects
// live on guarded pages here (see poison_heap.h): any touch of a freed band
// ends the run with the place named. A watchdog turns a hang into a failure.
#include <windows.h>

#include <gtest/gtest.h>

#include "band/desk_band.h"
#include "hardening/band_windows.h"
#include "hardening/hardening.h"
#include "hardening/poison_heap.h"
#include "server/module.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"
#include "window/busy_count.h"
#include "shell/releasing_site.h"

namespace hardening {
namespace {

using Access = CDeskBandTestAccess;

const UINT kHide = RegisterWindowMessageW(L"Vantreldeskbandhmsg");

// Puts a hosted band into a random state: tooltip made, painted, hot,
// focused, composited.
void Stir(HWND hwnd, Rng& rng) {
    if (rng.OneIn(2)) {
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
    }
    if (rng.OneIn(2)) {
        HDC hdc = CreateCompatibleDC(nullptr);
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT);
        DeleteDC(hdc);
    }
    if (rng.OneIn(3)) {
        SendMessageW(hwnd, WM_SETFOCUS, 0, 0);
    }
    if (rng.OneIn(3)) {
        PostMessageW(hwnd, WM_PAINT, 0, 0);
        PostMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    }
}

class Reentrancy : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequestAtom();
        ASSERT_EQ(0u, g_cObjRefs);
        m_before = poison_heap::Check();
    }
    void TearDown() override {
        EXPECT_EQ(0, g_cWndProcBusy);
        EXPECT_EQ(0u, g_cObjRefs);
        EXPECT_TRUE(BandWindows().empty());
        EXPECT_TRUE(TooltipsOwnedBy(m_host.Get()).empty());
        const poison_heap::Report after = poison_heap::Check();
        EXPECT_EQ(m_before.writtenAfterFree, after.writtenAfterFree);
        EXPECT_EQ(m_before.doubleFrees, after.doubleFrees);
        EXPECT_GT(after.guardedFrees, m_before.guardedFrees) << "no band was checked";
    }

    ComApartment m_apartment;
    shell::HostWindow m_host{RECT{0, 560, 800, 600}};
    poison_heap::Report m_before = {};
};

TEST_F(Reentrancy, HideMessageClosesAndReleasesTheBandFromInsideItsProcedure) {
    Rng rng = Rng::ForTest("Reentrancy.HideMessage");
    shell::BandSite* pSite = new shell::BandSite(m_host.Get());
    shell::BandSiteService* pService = new shell::BandSiteService(pSite);
    uint64_t sent = 0, posted = 0;
    {
        shell::ClassObjectRegistration registration(CLSID_TrayBandSiteService, pService);
        ASSERT_EQ(S_OK, registration.Result());
        Watchdog watchdog("hide messages", 120000);
        Budget budget(150, 60000);
        while (budget.More()) {
            CDeskBand* pBand = new CDeskBand();
            ASSERT_TRUE(SUCCEEDED(pSite->AddBand(static_cast<IDeskBand2*>(pBand))));
            HWND hwnd = Access::m_hwnd(*pBand);
            ASSERT_TRUE(IsWindow(hwnd));
            EXPECT_EQ(1u, pBand->Release()); // the band site holds the last reference
            pBand = nullptr;
            Stir(hwnd, rng);
            if (rng.OneIn(2)) {
                SendMessageW(hwnd, kHide, static_cast<WPARAM>(rng.Next()), 0);
                ++sent;
            } else {
                PostMessageW(hwnd, kHide, 0, static_cast<LPARAM>(rng.Next()));
                ++posted;
            }
            PumpMessages();
            ASSERT_FALSE(IsWindow(hwnd)) << "the band was not removed";
            ASSERT_TRUE(pSite->Bands().empty());
            ASSERT_EQ(0u, g_cObjRefs);
            ASSERT_EQ(0, g_cWndProcBusy);
        }
    }
    std::printf("[ counts ] hide message: %llu sent, %llu posted, each band freed inside its "
                "own window procedure\n",
                static_cast<unsigned long long>(sent), static_cast<unsigned long long>(posted));
    EXPECT_EQ(0u, pService->Release());
    EXPECT_EQ(0u, pSite->Release());
}

TEST_F(Reentrancy, BandReleasedInsideItsProcedureWithoutCloseDW) {
    Rng rng = Rng::ForTest("Reentrancy.ReleaseWithoutClose");
    RegisteredBandSiteProbe probe(nullptr);
    ASSERT_EQ(S_OK, probe.Result());
    CDeskBand* pBand = nullptr;
    probe->SetOnRemoveBand([&](DWORD) {
        EXPECT_GE(g_cWndProcBusy, 1);
        EXPECT_EQ(0u, pBand->Release());
        pBand = nullptr;
    });
    Watchdog watchdog("release without CloseDW", 120000);
    Budget budget(150, 60000);
    while (budget.More()) {
        shell::Site* pSiteObj = new shell::Site(m_host.Get());
        pBand = new CDeskBand();
        ASSERT_EQ(S_OK, pBand->SetSite(static_cast<IOleWindow*>(pSiteObj)));
        HWND hwnd = Access::m_hwnd(*pBand);
        ASSERT_TRUE(IsWindow(hwnd));
        pBand->ShowDW(TRUE);
        MoveWindow(hwnd, 0, 0, 32, 40, TRUE);
        Stir(hwnd, rng);
        SendMessageW(hwnd, kHide, 0, 0);
        PumpMessages();
        ASSERT_EQ(nullptr, pBand) << "the band site was not asked";
        ASSERT_FALSE(IsWindow(hwnd));
        ASSERT_EQ(1, pSiteObj->RefCount());
        pSiteObj->Release();
    }
    std::printf("[ counts ] release without CloseDW: %llu bands freed inside their own window "
                "procedure\n",
                static_cast<unsigned long long>(budget.Count()));
}

TEST_F(Reentrancy, SiteDropsTheLastReferenceWhenToldOfFocus) {
    Rng rng = Rng::ForTest("Reentrancy.FocusRelease");
    Watchdog watchdog("release on focus change", 120000);
    Budget budget(100, 60000);
    while (budget.More()) {
        shell::ReleasingSite* pSiteObj = new shell::ReleasingSite(m_host.Get());
        CDeskBand* pBand = new CDeskBand();
        ASSERT_EQ(S_OK, pBand->SetSite(static_cast<IOleWindow*>(pSiteObj)));
        HWND hwnd = Access::m_hwnd(*pBand);
        ASSERT_TRUE(IsWindow(hwnd));
        MoveWindow(hwnd, 0, 0, 32, 40, TRUE);
        Stir(hwnd, rng);
        pSiteObj->HandOver(static_cast<IDeskBand2*>(pBand));
        pBand = nullptr;
        SendMessageW(hwnd, rng.OneIn(2) ? WM_SETFOCUS : WM_KILLFOCUS, 0, 0);
        PumpMessages();
        ASSERT_EQ(0u, pSiteObj->LastReleaseResult());
        ASSERT_FALSE(IsWindow(hwnd));
        ASSERT_EQ(1, pSiteObj->RefCount()) << "the band kept its site";
        pSiteObj->Release();
    }
    std::printf("[ counts ] release on focus: %llu bands freed inside their own window "
                "procedure\n",
                static_cast<unsigned long long>(budget.Count()));
}

} // namespace
} // namespace hardening
