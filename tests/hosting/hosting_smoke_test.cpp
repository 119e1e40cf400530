#include <windows.h>

#include <gtest/gtest.h>

#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_module.h"
#include "support/com_test.h"

namespace {

TEST(HostingSmoke, BandSiteHostsAndRemovesABand) {
    ComApartment apartment;
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    shell::HostWindow host({0, 560, 800, 600});
    shell::BandSite* pSite = new shell::BandSite(host.Get());

    IDeskBand* pBand = nullptr;
    ASSERT_EQ(S_OK, dll.CreateBand(IID_IDeskBand, &pBand));
    EXPECT_TRUE(SUCCEEDED(pSite->AddBand(pBand)));
    ASSERT_EQ(1u, pSite->Bands().size());
    HWND hwnd = pSite->Bands()[0].hwnd;
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE);
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    EXPECT_EQ(32, rc.right);
    EXPECT_EQ(40, rc.bottom);

    EXPECT_EQ(S_OK, pSite->RemoveBand(pSite->Bands()[0].dwBandID));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(0u, pBand->Release());
    EXPECT_EQ(0u, pSite->Release());
    EXPECT_EQ(S_OK, dll.DllCanUnloadNow());
}

} // namespace
