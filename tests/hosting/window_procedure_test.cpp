// The band window's procedure seen from outside: background
// erasing with and without a band, the hide message through the stand-in's
// band site service, the style message and registered messages that arrive
// while no band is attached. The band's private state is looked at in the
// unit tests (tests/unit/band_window_test.cpp).
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "hosting/hosting_harness.h"
#include "support/com_test.h"

namespace hosting {
namespace {

constexpr COLORREF kPaper = RGB(255, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

// A 32-bit memory DC of the given size, filled with kPaper.
class Canvas {
  public:
    Canvas(int cx, int cy) : m_hdc(CreateCompatibleDC(nullptr)) {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = cx;
        bmi.bmiHeader.biHeight = -cy;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        m_hbm = CreateDIBSection(m_hdc, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        m_old = SelectObject(m_hdc, m_hbm);
        RECT rc = {0, 0, cx, cy};
        HBRUSH hbr = CreateSolidBrush(kPaper);
        FillRect(m_hdc, &rc, hbr);
        DeleteObject(hbr);
    }
    ~Canvas() {
        SelectObject(m_hdc, m_old);
        DeleteObject(m_hbm);
        DeleteDC(m_hdc);
    }
    HDC Get() const { return m_hdc; }
    COLORREF At(int x, int y) const {
        GdiFlush();
        return GetPixel(m_hdc, x, y);
    }

  private:
    HDC m_hdc;
    HBITMAP m_hbm;
    HGDIOBJ m_old;
};

class WindowProcedure : public HostedBandTest {
  protected:
    void SetUp() override {
        HostedBandTest::SetUp();
        ASSERT_EQ(S_OK, Site());
        m_hwnd = BandWindow();
        ASSERT_TRUE(IsWindow(m_hwnd));
        MoveWindow(m_hwnd, 0, 0, 20, 20, FALSE);
        m_uHide = RegisterWindowMessageW(kHideMessage);
        m_uStyle = RegisterWindowMessageW(kStyleMessage);
        ASSERT_NE(0u, m_uHide);
        ASSERT_NE(0u, m_uStyle);
    }
    HWND m_hwnd = nullptr;
    UINT m_uHide = 0;
    UINT m_uStyle = 0;
};

TEST_F(WindowProcedure, EraseBackgroundWithABandReturnsOneAndSkipsDefWindowProc) {
    ASSERT_EQ(S_OK, m_pBand->SetCompositionState(TRUE));
    Canvas canvas(20, 20);
    EXPECT_EQ(1, SendMessageW(m_hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Get()), 0));
    EXPECT_EQ(kPaper, canvas.At(5, 5)) << "composited: nothing drawn, no class brush";

    ASSERT_EQ(S_OK, m_pBand->SetCompositionState(FALSE));
    Canvas second(20, 20);
    EXPECT_EQ(1, SendMessageW(m_hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(second.Get()), 0));
    EXPECT_NE(kYellow, second.At(0, 0)) << "the band's own erase, not the class brush";
}

TEST_F(WindowProcedure, EraseBackgroundAfterDetachIsDefWindowProcs) {
    // What CloseDW and destruction do first: clear the user data.
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    Canvas canvas(20, 20);
    const LRESULT lr =
        SendMessageW(m_hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Get()), 0);
    EXPECT_EQ(kYellow, canvas.At(5, 5)) << "DefWindowProc filled with the class brush";
    Canvas reference(20, 20);
    EXPECT_EQ(DefWindowProcW(m_hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(reference.Get()), 0),
              lr);
    // A registered message with no band attached does nothing.
    ScriptedBandSite bandSite;
    ASSERT_EQ(S_OK, bandSite.Registration());
    SendMessageW(m_hwnd, m_uHide, 0, 0);
    EXPECT_TRUE(bandSite.Removed().empty());
    SendMessageW(m_hwnd, m_uStyle, 3, 0);
    EXPECT_TRUE(IsWindow(m_hwnd));
}

TEST_F(WindowProcedure, AWindowOfTheClassWithoutABand) {
    // The class exists (the band was sited); a window of it made without a
    // creation parameter has no band.
    const HWND hwnd = CreateWindowExW(0, kBandClass, nullptr, WS_CHILD, 0, 0, 20, 20, m_host.Get(),
                                      nullptr, m_dll.Get(), nullptr);
    ASSERT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(0, GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    Canvas canvas(20, 20);
    const LRESULT lr = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Get()), 0);
    EXPECT_EQ(kYellow, canvas.At(5, 5));
    Canvas reference(20, 20);
    EXPECT_EQ(DefWindowProcW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(reference.Get()), 0),
              lr);

    ScriptedBandSite bandSite;
    ASSERT_EQ(S_OK, bandSite.Registration());
    EXPECT_EQ(0, SendMessageW(hwnd, m_uHide, 0, 0));
    EXPECT_EQ(0, SendMessageW(hwnd, m_uStyle, 4, 0));
    SendMessageW(hwnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0);
    SendMessageW(hwnd, WM_SIZE, 0, MAKELPARAM(20, 20));
    SendMessageW(hwnd, WM_SETFOCUS, 0, 0);
    SendMessageW(hwnd, WM_KILLFOCUS, 0, 0);
    EXPECT_TRUE(bandSite.Removed().empty());
    EXPECT_TRUE(m_pSite->FocusChanges().empty());
    DestroyWindow(hwnd);
}

TEST_F(WindowProcedure, HideBeforeAnyBandInformationAsksForBandZero) {
    ScriptedBandSite bandSite;
    ASSERT_EQ(S_OK, bandSite.Registration());
    EXPECT_EQ(0, SendMessageW(m_hwnd, m_uHide, 0, 0));
    ASSERT_EQ(1u, bandSite.Removed().size());
    EXPECT_EQ(0u, bandSite.Removed()[0]);
    EXPECT_TRUE(IsWindow(m_hwnd)) << "the scripted band site did not remove it";

    // A GetBandInfo without a record does not give an id.
    EXPECT_EQ(E_INVALIDARG, m_pBand->GetBandInfo(4, 0, nullptr));
    SendMessageW(m_hwnd, m_uHide, 0, 0);
    ASSERT_EQ(2u, bandSite.Removed().size());
    EXPECT_EQ(0u, bandSite.Removed()[1]);

    DESKBANDINFO dbi = {};
    ASSERT_EQ(S_OK, m_pBand->GetBandInfo(0xCAFE, 0, &dbi));
    SendMessageW(m_hwnd, m_uHide, 0, 0);
    ASSERT_EQ(3u, bandSite.Removed().size());
    EXPECT_EQ(0xCAFEu, bandSite.Removed()[2]);
}

TEST_F(WindowProcedure, HideWithoutABandSiteServiceDoesNothing) {
    EXPECT_EQ(0, SendMessageW(m_hwnd, m_uHide, 0, 0));
    EXPECT_TRUE(IsWindow(m_hwnd));
    EXPECT_EQ(m_hwnd, BandWindow());
}

// The stand-in's band site, registered for CLSID_TrayBandSiteService,
// closes and releases the band from inside the hide message.
TEST(WindowProcedureHide, TheBandSiteClosesAndReleasesTheBandInsideTheCall) {
    Watchdog watchdog(20000,
                      "WindowProcedureHide.TheBandSiteClosesAndReleasesTheBandInsideTheCall");
    shell::SetUnexpectedCallHandler(
        [](const std::string& call) { ADD_FAILURE() << "unexpected call " << call; });
    ComApartment apartment;
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    shell::HostWindow host({0, 560, 800, 600}, true);
    shell::BandSite* pBandSite = new shell::BandSite(host.Get());
    pBandSite->SetNextBandID(41);
    shell::BandSiteService* pService = new shell::BandSiteService(pBandSite);
    {
        shell::ClassObjectRegistration registration(CLSID_TrayBandSiteService, pService);
        ASSERT_EQ(S_OK, registration.Result());

        IDeskBand* pBand = nullptr;
        ASSERT_EQ(S_OK, dll.CreateBand(IID_IDeskBand, &pBand));
        ASSERT_TRUE(SUCCEEDED(pBandSite->AddBand(pBand)));
        EXPECT_EQ(1u, pBand->Release()) << "the band site holds the last reference";
        ASSERT_EQ(1u, pBandSite->Bands().size());
        const HWND hwnd = pBandSite->Bands()[0].hwnd;
        ASSERT_TRUE(IsWindow(hwnd));
        ASSERT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE);

        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(0, SendMessageW(hwnd, RegisterWindowMessageW(kHideMessage), 0, 0));
        EXPECT_LT(GetTickCount64() - start, kHangBoundMs);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_TRUE(pBandSite->Bands().empty());
        const std::vector<std::string> expected = {"AddBand", "RemoveBand(41)"};
        EXPECT_EQ(expected, pBandSite->Calls());
        EXPECT_GE(pService->Creations(), 1);
        EXPECT_TRUE(BandClassWindows().empty());
        EXPECT_EQ(S_OK, dll.DllCanUnloadNow()) << "the band is gone";
    }
    EXPECT_EQ(0u, pService->Release());
    EXPECT_EQ(0u, pBandSite->Release());
    shell::SetUnexpectedCallHandler(nullptr);
}

TEST_F(WindowProcedure, StyleAndOtherMessagesKeepTheWindow) {
    // The style itself is private; here: every value is answered by
    // DefWindowProc (0) and nothing breaks. Values: 0, 9, 3, 64-bit with 5.
    const WPARAM values[] = {0, 9, 3, static_cast<WPARAM>(0x100000005ULL)};
    for (WPARAM v : values) {
        EXPECT_EQ(0, SendMessageW(m_hwnd, m_uStyle, v, 0));
    }
    EXPECT_EQ(0, SendMessageW(m_hwnd, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0));
    EXPECT_EQ(0, SendMessageW(m_hwnd, WM_SETTINGCHANGE, 0, 0));
    EXPECT_TRUE(IsWindow(m_hwnd));
}

} // namespace
} // namespace hosting
