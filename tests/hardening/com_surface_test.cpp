// Misuse of the built DLL's COM surface, its unload and reload, and its
// class factories under several threads.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <set>

#include "hardening/band_windows.h"
#include "hardening/com_misuse.h"
#include "hardening/factory_threads.h"
#include "hardening/hardening.h"
#include "hardening/picture.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_module.h"
#include "support/com_test.h"
#include "support/settings_key.h"

namespace hardening {
namespace {

TEST(ComMisuse, RandomSequencesLeaveNoWindowAndAllowUnloading) {
    ComApartment apartment;
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    Rng rng = Rng::ForTest("ComMisuse.RandomSequences");
    MisuseCounts total;
    uint64_t windows = 0;
    Budget rounds(60, 60000);
    while (rounds.More()) {
        MisuseWorld world;
        std::set<HWND> seen;
        IUnknown* punk = nullptr;
        ASSERT_EQ(S_OK, dll.CreateBand(IID_IUnknown, &punk));
        const MisuseCounts counts = RunComMisuse(punk, world, rng, 80, seen, [] {});
        ExpectLastRelease(punk);
        for (HWND hwnd : seen) {
            EXPECT_FALSE(IsWindow(hwnd)) << "a window of the band outlived it";
        }
        EXPECT_TRUE(BandWindows().empty());
        EXPECT_TRUE(TooltipsOwnedBy(world.HostA()).empty());
        EXPECT_TRUE(TooltipsOwnedBy(world.HostB()).empty());
        EXPECT_EQ(S_OK, dll.DllCanUnloadNow());
        total.calls += counts.calls;
        total.sitings += counts.sitings;
        total.hovers += counts.hovers;
        windows += seen.size();
        if (HasFailure()) {
            break;
        }
    }
    std::printf("[ counts ] COM misuse: %llu rounds, %llu calls, %llu sitings, %llu hovers, "
                "%llu windows seen and gone\n",
                static_cast<unsigned long long>(rounds.Count()),
                static_cast<unsigned long long>(total.calls),
                static_cast<unsigned long long>(total.sitings),
                static_cast<unsigned long long>(total.hovers),
                static_cast<unsigned long long>(windows));
}

// The process's private bytes; Wine leaves PrivateUsage at 0 and reports the
// commit charge as the page-file usage.
SIZE_T PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc),
                         sizeof(pmc));
    return pmc.PrivateUsage != 0 ? pmc.PrivateUsage : pmc.PagefileUsage;
}

// What one load of the module left behind, to be looked at once it is gone.
struct LoadTrace {
    HMODULE module = nullptr;
    HWND band = nullptr;
    std::vector<HWND> tips;
    HGDIOBJ classBrush = nullptr;
};

class Reload : public testing::Test {
  protected:
    // Load, create, site, paint, hover, close, release, FreeLibrary.
    LoadTrace Cycle() {
        LoadTrace trace;
        BandModule dll;
        EXPECT_TRUE(dll.Loaded());
        if (!dll.Loaded()) {
            return trace;
        }
        trace.module = dll.Get();
        shell::BandSite* pSite = new shell::BandSite(m_host.Get());
        IDeskBand* pBand = nullptr;
        EXPECT_EQ(S_OK, dll.CreateBand(IID_IDeskBand, &pBand));
        if (pBand != nullptr) {
            EXPECT_TRUE(SUCCEEDED(pSite->AddBand(pBand)));
            pBand->GetWindow(&trace.band);
            trace.classBrush =
                reinterpret_cast<HGDIOBJ>(GetClassLongPtrW(trace.band, GCLP_HBRBACKGROUND));
            EXPECT_EQ(static_cast<DWORD>(OBJ_BRUSH), GetObjectType(trace.classBrush));
            EXPECT_EQ("", CheckPaintedIcon(trace.band, dll.Get(), 1, false));
            SendMessageW(trace.band, WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
            EXPECT_EQ("", CheckPaintedIcon(trace.band, dll.Get(), 1, true));
            trace.tips = TooltipsOwnedBy(m_host.Get());
            EXPECT_EQ(1u, trace.tips.size());
            SendMessageW(trace.band, WM_MOUSELEAVE, 0, 0);
            pSite->RemoveAll();
            EXPECT_EQ(0u, pBand->Release());
        }
        EXPECT_EQ(0u, pSite->Release());
        EXPECT_EQ(S_OK, dll.DllCanUnloadNow());
        return trace; // the module is freed here
    }

    void ExpectGone(const LoadTrace& trace) {
        EXPECT_FALSE(IsWindow(trace.band));
        for (HWND tip : trace.tips) {
            EXPECT_FALSE(IsWindow(tip));
        }
        EXPECT_EQ(0u, GetObjectType(trace.classBrush)) << "the class brush outlived the module";
        ExpectClassGone(trace.module);
    }

    void ExpectClassGone(HMODULE module) {
        EXPECT_EQ(nullptr, GetModuleHandleW(L"VantrelDeskBand.dll")) << "the module stayed";
        WNDCLASSW wc = {};
        EXPECT_FALSE(GetClassInfoW(module, L"VantrelDeskBandClass", &wc))
            << "the class still names a window procedure of the unloaded module";
        // A window of that class can no longer be made at all, so nothing
        // can reach the procedure that is gone.
        HWND stray = CreateWindowExW(0, L"VantrelDeskBandClass", nullptr, WS_CHILD, 0, 0, 1, 1,
                                     m_host.Get(), nullptr, module, nullptr);
        EXPECT_EQ(nullptr, stray);
        if (stray != nullptr) {
            DestroyWindow(stray);
        }
    }

    ComApartment m_apartment;
    ScopedSettingsKey m_key; // no settings: style 1
    shell::HostWindow m_host{RECT{0, 560, 800, 600}};
};

TEST_F(Reload, HundredCyclesEachWorkAndLeaveNothingBehind) {
    // Warm-up: the first loads settle the process's own tables and caches.
    for (int i = 0; i < 20; ++i) {
        ExpectGone(Cycle());
    }
    // Full cycles in blocks of ten, each followed by as many bare loads that
    // make no band: what loading and freeing the module costs by itself
    // (under Wine about 4 KB a cycle, band or no band). Interleaved, so that
    // the process's own drift falls on both alike.
    long long growth = 0;
    long long bare = 0;
    const SIZE_T start = PrivateBytes();
    ASSERT_GT(start, 0u) << "no measure of the process's memory";
    int cycles = 0;
    const ULONGLONG deadline = GetTickCount64() + 150000;
    for (int block = 0; block < 10 && GetTickCount64() < deadline && !HasFailure(); ++block) {
        const SIZE_T before = PrivateBytes();
        for (int i = 0; i < 10; ++i, ++cycles) {
            ExpectGone(Cycle());
        }
        const SIZE_T middle = PrivateBytes();
        for (int i = 0; i < 10; ++i) {
            HMODULE module = nullptr;
            {
                BandModule dll;
                ASSERT_TRUE(dll.Loaded());
                module = dll.Get();
            }
            ExpectClassGone(module);
        }
        const SIZE_T after = PrivateBytes();
        growth += static_cast<long long>(middle) - static_cast<long long>(before);
        bare += static_cast<long long>(after) - static_cast<long long>(middle);
    }
    std::printf("[ counts ] reload: %d cycles, private bytes from %llu: %+lld over the cycles, "
                "%+lld over as many bare loads\n",
                cycles, static_cast<unsigned long long>(start), growth, bare);
    EXPECT_EQ(100, cycles) << "the cycles did not all run within the time cap";
    // Under Wine a full cycle costs about 4 KB more than a bare load (new
    // window and GDI handle slots, which the handle checks above show are
    // all given back); a band with its module copy, its pictures or its
    // object kept per cycle would add well over 10 KB a cycle.
    EXPECT_LT(growth - bare, 1024ll * 1024);
}

TEST_F(Reload, HoverFarLongerThanTheHandleTableStillPaints) {
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    shell::BandSite* pSite = new shell::BandSite(m_host.Get());
    IDeskBand* pBand = nullptr;
    ASSERT_EQ(S_OK, dll.CreateBand(IID_IDeskBand, &pBand));
    ASSERT_TRUE(SUCCEEDED(pSite->AddBand(pBand)));
    HWND hwnd = nullptr;
    pBand->GetWindow(&hwnd);
    ASSERT_EQ("", CheckPaintedIcon(hwnd, dll.Get(), 1, false));
    // Each hover loads a picture and each leave another: 40,000 bitmaps, far
    // more than a process's GDI handle table holds (about 16k on Windows).
    Budget budget(20000, 120000);
    while (budget.More()) {
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
        if (budget.Count() % 2500 == 0) {
            PumpMessages();
            ASSERT_EQ("", CheckPaintedIcon(hwnd, dll.Get(), 1, false))
                << "after " << budget.Count() << " hovers";
        }
    }
    std::printf("[ counts ] hover: %llu enter/leave cycles\n",
                static_cast<unsigned long long>(budget.Count()));
    EXPECT_EQ(20000u, budget.Count()) << "the hovers did not all run within the time cap";
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ("", CheckPaintedIcon(hwnd, dll.Get(), 1, true));
    pSite->RemoveAll();
    EXPECT_EQ(0u, pBand->Release());
    EXPECT_EQ(0u, pSite->Release());
    EXPECT_EQ(S_OK, dll.DllCanUnloadNow());
}

TEST(FactoryThreads, CountersEndExactAndTheModuleMayUnload) {
    ComApartment apartment;
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    FactoryThreadCounts counts;
    {
        Watchdog watchdog("the factory threads", 120000);
        RunFactoryThreads(dll.DllGetClassObject, dll.DllCanUnloadNow,
                          Rng::ForTest("FactoryThreads.Dll").Next(), 6, 3000, 30000, counts);
    }
    std::printf(
        "[ counts ] threads: %llu factories, %llu locks, %llu instances, %llu handed over\n",
        static_cast<unsigned long long>(counts.factories.load()),
        static_cast<unsigned long long>(counts.locks.load()),
        static_cast<unsigned long long>(counts.instances.load()),
        static_cast<unsigned long long>(counts.handedOver.load()));
    EXPECT_EQ(0u, counts.failures.load());
    EXPECT_GT(counts.instances.load(), 0u);
    EXPECT_EQ(S_OK, dll.DllCanUnloadNow());
}

} // namespace
} // namespace hardening
