// The band's own objects, linked into this executable, under storms, misuse
// and threads: what only the inside shows — the busy count, the memory DC
// and bitmap handles, the module's counters.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "band/desk_band.h"
#include "hardening/band_windows.h"
#include "hardening/com_misuse.h"
#include "hardening/factory_threads.h"
#include "hardening/hardening.h"
#include "hardening/picture.h"
#include "hardening/storm.h"
#include "server/module.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"
#include "support/settings_key.h"
#include "window/busy_count.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
STDAPI DllCanUnloadNow();

namespace hardening {
namespace {

using Access = CDeskBandTestAccess;

class BandInternals : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequestAtom();
        ASSERT_EQ(0, g_cWndProcBusy);
        ASSERT_EQ(0u, g_cObjRefs);
    }
    void TearDown() override {
        EXPECT_EQ(0, g_cWndProcBusy);
        EXPECT_EQ(0u, g_cObjRefs);
        EXPECT_TRUE(BandWindows().empty());
    }
    ComApartment m_apartment;
    ScopedSettingsKey m_key; // no settings: style 1
};

TEST_F(BandInternals, StormLeavesTheBusyCountAtZeroAndThePictureRight) {
    Rng rng = Rng::ForTest("BandInternals.Storm");
    shell::HostWindow host({0, 560, 800, 600});
    shell::BandSite* pSite = new shell::BandSite(host.Get());
    CDeskBand* pBand = new CDeskBand();
    ASSERT_TRUE(SUCCEEDED(pSite->AddBand(static_cast<IDeskBand2*>(pBand))));
    HWND hwnd = Access::m_hwnd(*pBand);
    ASSERT_TRUE(IsWindow(hwnd));

    // Every memory DC and bitmap the band held along the way.
    std::set<HGDIOBJ> held;
    StormOptions options;
    options.maxMessages = 20000;
    options.maxMs = 30000;
    StormCounts counts;
    {
        Watchdog watchdog("the message storm", 120000);
        for (int burst = 0; burst < 10; ++burst) {
            options.maxMessages = 2000;
            const StormCounts c = RunMessageStorm(hwnd, host.Get(), rng, options);
            counts.sent += c.sent;
            counts.posted += c.posted;
            counts.dispatched += c.dispatched;
            counts.style = c.style != 0 ? c.style : counts.style;
            ASSERT_EQ(0, g_cWndProcBusy) << "after burst " << burst;
            held.insert(Access::m_hdcMem(*pBand));
            held.insert(Access::m_hbmIcon(*pBand));
            const int style = Access::m_nRepresentativeIcon(*pBand);
            ASSERT_GE(style, 1);
            ASSERT_LE(style, 8);
            if (counts.style != 0) {
                ASSERT_EQ(counts.style, style);
            }
        }
    }
    held.erase(nullptr);
    std::printf("[ counts ] storm (inside): %llu sent, %llu posted, %llu dispatched, %zu DCs and "
                "bitmaps held\n",
                static_cast<unsigned long long>(counts.sent),
                static_cast<unsigned long long>(counts.posted),
                static_cast<unsigned long long>(counts.dispatched), held.size());

    pSite->Layout();
    SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    const int style = Access::m_nRepresentativeIcon(*pBand);
    EXPECT_EQ("", CheckPaintedIcon(hwnd, GetModuleHandleW(nullptr), style, false));
    EXPECT_EQ(0, g_cWndProcBusy);

    HDC hdcLast = Access::m_hdcMem(*pBand);
    HBITMAP hbmLast = Access::m_hbmIcon(*pBand);
    pSite->RemoveAll();
    EXPECT_EQ(0u, pBand->Release());
    EXPECT_EQ(0u, pSite->Release());
    EXPECT_EQ(0u, GetObjectType(hdcLast));
    EXPECT_EQ(0u, GetObjectType(hbmLast));
    for (HGDIOBJ h : held) {
        EXPECT_EQ(0u, GetObjectType(h)) << "a DC or bitmap of the band outlived it";
    }
}

// Paint and erase messages bring their DC from the sender. Values that name
// no DC (a deleted one, a brush, made-up ones whose bits a GDI might take
// for a metafile DC) draw nothing and leave the band's memory DC alone.
TEST_F(BandInternals, PaintWithAValueThatNamesNoDcKeepsTheMemoryDc) {
    shell::HostWindow host({0, 560, 800, 600});
    shell::BandSite* pSite = new shell::BandSite(host.Get());
    CDeskBand* pBand = new CDeskBand();
    ASSERT_TRUE(SUCCEEDED(pSite->AddBand(static_cast<IDeskBand2*>(pBand))));
    HWND hwnd = Access::m_hwnd(*pBand);
    ASSERT_EQ("", CheckPaintedIcon(hwnd, GetModuleHandleW(nullptr), 1, false));
    HDC hdcMem = Access::m_hdcMem(*pBand);
    HBITMAP hbm = Access::m_hbmIcon(*pBand);
    ASSERT_NE(nullptr, hdcMem);

    HDC deleted = CreateCompatibleDC(nullptr);
    DeleteDC(deleted);
    HBRUSH brush = CreateSolidBrush(RGB(9, 9, 9));
    const WPARAM values[] = {reinterpret_cast<WPARAM>(deleted), reinterpret_cast<WPARAM>(brush),
                             0x27E6D646, 0x00660001, 0xDEADBEEFCAFEull};
    for (WPARAM value : values) {
        SCOPED_TRACE(testing::Message() << "wParam " << std::hex << value);
        SendMessageW(hwnd, WM_PRINTCLIENT, value, PRF_CLIENT);
        EXPECT_EQ(1, SendMessageW(hwnd, WM_ERASEBKGND, value, 0));
        EXPECT_EQ(hdcMem, Access::m_hdcMem(*pBand));
        EXPECT_EQ(hbm, Access::m_hbmIcon(*pBand));
        EXPECT_EQ(32, Access::m_nBpp(*pBand));
    }
    DeleteObject(brush);
    EXPECT_EQ("", CheckPaintedIcon(hwnd, GetModuleHandleW(nullptr), 1, false));
    pSite->RemoveAll();
    EXPECT_EQ(0u, pBand->Release());
    EXPECT_EQ(0u, pSite->Release());
}

TEST_F(BandInternals, ComMisuseLeavesNoHandleBehind) {
    Rng rng = Rng::ForTest("BandInternals.ComMisuse");
    uint64_t calls = 0;
    size_t handles = 0;
    Budget rounds(40, 60000);
    while (rounds.More()) {
        MisuseWorld world;
        std::set<HWND> seen;
        std::set<HGDIOBJ> gdi;
        CDeskBand* pBand = new CDeskBand();
        IUnknown* punk = static_cast<IDeskBand2*>(pBand);
        const MisuseCounts counts = RunComMisuse(punk, world, rng, 80, seen, [&] {
            gdi.insert(Access::m_hdcMem(*pBand));
            gdi.insert(Access::m_hbmIcon(*pBand));
            HWND hwnd = Access::m_hwnd(*pBand);
            if (hwnd != nullptr) {
                seen.insert(hwnd);
            }
            if (Access::m_tip(*pBand) != nullptr) {
                seen.insert(Access::m_tip(*pBand));
            }
            EXPECT_EQ(0, g_cWndProcBusy);
        });
        EXPECT_EQ(1, Access::m_cRef(*pBand));
        ExpectLastRelease(punk);
        gdi.erase(nullptr);
        for (HGDIOBJ h : gdi) {
            EXPECT_EQ(0u, GetObjectType(h)) << "a DC or bitmap of the band outlived it";
        }
        for (HWND hwnd : seen) {
            EXPECT_FALSE(IsWindow(hwnd)) << "a window of the band outlived it";
        }
        EXPECT_EQ(0u, g_cObjRefs);
        EXPECT_EQ(S_OK, DllCanUnloadNow());
        calls += counts.calls;
        handles += gdi.size() + seen.size();
        if (HasFailure()) {
            break;
        }
    }
    std::printf("[ counts ] COM misuse (inside): %llu rounds, %llu calls, %zu handles seen and "
                "gone\n",
                static_cast<unsigned long long>(rounds.Count()),
                static_cast<unsigned long long>(calls), handles);
}

TEST_F(BandInternals, FactoryThreadsLeaveTheCountersExact) {
    FactoryThreadCounts counts;
    {
        Watchdog watchdog("the factory threads", 120000);
        RunFactoryThreads(DllGetClassObject, DllCanUnloadNow,
                          Rng::ForTest("BandInternals.FactoryThreads").Next(), 6, 3000, 30000,
                          counts);
    }
    std::printf("[ counts ] threads (inside): %llu factories, %llu locks, %llu instances\n",
                static_cast<unsigned long long>(counts.factories.load()),
                static_cast<unsigned long long>(counts.locks.load()),
                static_cast<unsigned long long>(counts.instances.load()));
    EXPECT_EQ(0u, counts.failures.load());
    EXPECT_EQ(0, g_cServerLocks);
    EXPECT_EQ(0u, g_cObjRefs);
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

} // namespace
} // namespace hardening
