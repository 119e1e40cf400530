// The two messages other processes send, at the edges: a hide message to a
// band window that has no band attached does nothing, and a style outside
// 1..8 only repaints. The band is hosted here by the shell stand-in, whose
// band site service records every RemoveBand.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <memory>

#include "presence/band_windows.h"
#include "server/names.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "shell/snapshot.h"
#include "support/band_module.h"
#include "support/com_test.h"

namespace presence {
namespace {

class BandMessages : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dll.Loaded());
        ASSERT_EQ(S_OK, m_registration->Result());
        ASSERT_EQ(S_OK, m_dll.CreateBand(IID_IDeskBand, &m_pBand));
        ASSERT_TRUE(SUCCEEDED(m_pSite->AddBand(m_pBand)));
        ASSERT_EQ(1u, m_pSite->Bands().size());
        m_hwnd = m_pSite->Bands()[0].hwnd;
    }
    void TearDown() override {
        m_pSite->RemoveAll();
        if (m_pBand != nullptr) {
            ExpectLastRelease(m_pBand);
        }
        m_registration.reset();
        m_pService->Release();
        EXPECT_EQ(0u, m_pSite->Release());
    }
    int RemoveBandCalls() const {
        int n = 0;
        for (const std::string& call : m_pSite->Calls()) {
            n += call.rfind("RemoveBand", 0) == 0 ? 1 : 0;
        }
        return n;
    }

    ComApartment m_apartment;
    ScopedIconStyleSetting m_style{L"1"};
    BandModule m_dll;
    // Visible: a hidden window keeps no update region, and the test looks at it.
    shell::HostWindow m_host{DefaultTaskbarRect(), true};
    shell::BandSite* m_pSite = new shell::BandSite(m_host.Get());
    shell::BandSiteService* m_pService = new shell::BandSiteService(m_pSite);
    std::unique_ptr<shell::ClassObjectRegistration> m_registration =
        std::make_unique<shell::ClassObjectRegistration>(CLSID_TrayBandSiteService, m_pService,
                                                         CLSCTX_INPROC_SERVER);
    IDeskBand* m_pBand = nullptr;
    HWND m_hwnd = nullptr;
    const UINT m_hideMsg = RegisterWindowMessageW(names::kHideBandMessage);
    const UINT m_styleMsg = RegisterWindowMessageW(names::kChangeIconMessage);
};

TEST_F(BandMessages, HideReachesTheBandSiteOnlyFromAnAttachedWindow) {
    // A window of the band's class that never had a band, and the band's own
    // window once detached (as closing does before it destroys it).
    HWND never = CreateWindowExW(0, names::kWindowClass, L"", WS_CHILD, 0, 0, 32, 40, m_host.Get(),
                                 nullptr, m_dll.Get(), nullptr);
    ASSERT_NE(nullptr, never);
    EXPECT_EQ(0, SendMessageW(never, m_hideMsg, 0, 0));
    EXPECT_EQ(0, RemoveBandCalls());
    EXPECT_TRUE(IsWindow(never));
    DestroyWindow(never);

    const LONG_PTR attached = SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    EXPECT_EQ(0, SendMessageW(m_hwnd, m_hideMsg, 0, 0));
    EXPECT_EQ(0, RemoveBandCalls());
    EXPECT_TRUE(IsWindow(m_hwnd));
    EXPECT_EQ(1u, m_pSite->Bands().size());

    // Attached again, the same message removes the band with its id.
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, attached);
    EXPECT_EQ(0, SendMessageW(m_hwnd, m_hideMsg, 0, 0));
    ASSERT_EQ(1, RemoveBandCalls());
    EXPECT_EQ("RemoveBand(1)", m_pSite->Calls().back());
    EXPECT_FALSE(IsWindow(m_hwnd));
    EXPECT_TRUE(m_pSite->Bands().empty());
}

TEST_F(BandMessages, StyleOutsideTheRangeRepaintsAndKeepsTheStyle) {
    const shell::Picture style1 = shell::PrintClient(m_hwnd);
    EXPECT_EQ(0, SendMessageW(m_hwnd, m_styleMsg, 5, 0));
    const shell::Picture style5 = shell::PrintClient(m_hwnd);
    ASSERT_NE(style1, style5);

    for (WPARAM value : {WPARAM{0}, WPARAM{9}, ~WPARAM{0}}) {
        SCOPED_TRACE(value);
        ValidateRect(m_hwnd, nullptr);
        ASSERT_FALSE(GetUpdateRect(m_hwnd, nullptr, FALSE));
        EXPECT_EQ(0, SendMessageW(m_hwnd, m_styleMsg, value, 0));
        EXPECT_TRUE(GetUpdateRect(m_hwnd, nullptr, FALSE)) << "a repaint is asked for";
        EXPECT_TRUE(shell::PrintClient(m_hwnd) == style5) << "the style stays 5";
    }
}

} // namespace
} // namespace presence
