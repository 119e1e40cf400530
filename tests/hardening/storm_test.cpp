// Message storms at a band of the built DLL, hosted by the stand-in band site.
// The DLL is a copy in a directory without the companion, so that button
// releases are part of the mix and start nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include "hardening/band_windows.h"
#include "hardening/hardening.h"
#include "hardening/picture.h"
#include "hardening/storm.h"
#include "hardening/temp_copy.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_module.h"
#include "support/com_test.h"

namespace hardening {
namespace {

TEST(MessageStorm, HostedBandSurvivesAndStillPaintsItsStyle) {
    ComApartment apartment;
    TempDllCopy copy(L"vantrel-storm");
    ASSERT_TRUE(copy.Ok());
    Rng rng = Rng::ForTest("MessageStorm.HostedBand");
    {
        BandModule dll(copy.Dll());
        ASSERT_TRUE(dll.Loaded());
        shell::HostWindow host({0, 560, 800, 600});
        shell::BandSite* pSite = new shell::BandSite(host.Get());
        IDeskBand* pBand = nullptr;
        ASSERT_EQ(S_OK, dll.CreateBand(IID_IDeskBand, &pBand));
        ASSERT_TRUE(SUCCEEDED(pSite->AddBand(pBand)));
        HWND hwnd = pSite->Bands()[0].hwnd;
        ASSERT_TRUE(IsWindow(hwnd));

        StormOptions options;
        options.fButtonUp = true;
        options.maxMessages = 30000;
        options.maxMs = 40000;
        StormCounts counts;
        {
            Watchdog watchdog("the message storm", 120000);
            counts = RunMessageStorm(hwnd, host.Get(), rng, options);
        }
        std::printf("[ counts ] storm: %llu sent, %llu posted, %llu dispatched, %llu resizes\n",
                    static_cast<unsigned long long>(counts.sent),
                    static_cast<unsigned long long>(counts.posted),
                    static_cast<unsigned long long>(counts.dispatched),
                    static_cast<unsigned long long>(counts.resizes));
        ASSERT_TRUE(IsWindow(hwnd));
        EXPECT_GT(counts.sent + counts.posted, 1000u);

        // Back in its place: the layout from the real window, the normal
        // form, and the style the storm's last valid icon message chose.
        pSite->Layout();
        SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
        SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
        const int style = counts.style != 0 ? counts.style : 1;
        EXPECT_EQ("", CheckPaintedIcon(hwnd, dll.Get(), style, false));
        const int next = 1 + static_cast<int>(rng.Below(8));
        SendMessageW(hwnd, RegisterWindowMessageW(L"VantrelChangeRepresentativeIcon"), next, 0);
        EXPECT_EQ("", CheckPaintedIcon(hwnd, dll.Get(), next, false));
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
        EXPECT_EQ("", CheckPaintedIcon(hwnd, dll.Get(), next, true));

        pSite->RemoveAll();
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(TooltipsOwnedBy(host.Get()).empty());
        EXPECT_EQ(0u, pBand->Release());
        EXPECT_EQ(0u, pSite->Release());
        EXPECT_EQ(S_OK, dll.DllCanUnloadNow());
    }
    EXPECT_TRUE(BandWindows().empty());
}

} // namespace
} // namespace hardening
