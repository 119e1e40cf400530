// A band object of the linked-in code hosted by the shell stand-in, with its
// private fields at hand, for tests of the band window's internals.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "band/desk_band.h"
#include "server/module.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"
#include "support/settings_key.h"

// The icon resource whose freshly loaded bitmap has exactly these bits; 0
// for none.
inline WORD PictureIdOf(HBITMAP hbm) {
    BITMAP bm = {};
    if (hbm == nullptr || GetObjectW(hbm, sizeof(bm), &bm) != sizeof(bm)) {
        return 0;
    }
    const LONG cb = bm.bmWidthBytes * bm.bmHeight;
    std::vector<BYTE> bits(static_cast<size_t>(cb));
    GetBitmapBits(hbm, cb, bits.data());
    for (WORD id = 109; id <= 140; ++id) {
        HBITMAP fresh = LoadBitmapW(g_hInstance, MAKEINTRESOURCEW(id));
        std::vector<BYTE> freshBits(static_cast<size_t>(cb));
        BITMAP fm = {};
        GetObjectW(fresh, sizeof(fm), &fm);
        const bool same = fm.bmWidthBytes == bm.bmWidthBytes && fm.bmHeight == bm.bmHeight &&
                          GetBitmapBits(fresh, cb, freshBits.data()) == cb && freshBits == bits;
        DeleteObject(fresh);
        if (same) {
            return id;
        }
    }
    return 0;
}

class HostedBandFixture : public ::testing::Test {
  protected:
    using Access = CDeskBandTestAccess;

    void SetUp() override {
        m_pBand = new (std::nothrow) CDeskBand();
        ASSERT_NE(nullptr, m_pBand);
        m_pSite = new shell::BandSite(m_host.Get());
        ASSERT_TRUE(SUCCEEDED(m_pSite->AddBand(static_cast<IDeskBand2*>(m_pBand))));
        ASSERT_TRUE(IsWindow(Access::m_hwnd(*m_pBand)));
    }
    void TearDown() override {
        if (m_pSite != nullptr) {
            EXPECT_EQ(0u, m_pSite->Release());
        }
        if (m_pBand != nullptr) {
            EXPECT_EQ(0u, m_pBand->Release());
        }
    }

    CDeskBand& Band() { return *m_pBand; }
    HWND Window() { return Access::m_hwnd(*m_pBand); }
    LRESULT Send(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return SendMessageW(Window(), msg, wParam, lParam);
    }

    ComApartment m_apartment;
    ScopedSettingsKey m_settings; // no style or text of the machine's own
    shell::HostWindow m_host{{0, 560, 800, 600}, true};
    CDeskBand* m_pBand = nullptr;
    shell::BandSite* m_pSite = nullptr;
};
