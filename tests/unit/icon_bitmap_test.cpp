// The band's one icon bitmap and its memory DC across paints, hover and
// style changes: the right picture is held, and every one replaced is gone.
#include <windows.h>

#include <gtest/gtest.h>

#include "shell/site.h"
#include "unit/band_window_fixture.h"
#include "window/window_test_support.h"

namespace {

class IconBitmapTest : public HostedBandFixture {
  protected:
    void Paint() {
        wt::Dib dib(32, 40);
        Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Dc()), PRF_CLIENT);
    }
    HBITMAP Bitmap() { return Access::m_hbmIcon(Band()); }
    HDC MemoryDc() { return Access::m_hdcMem(Band()); }
    // The held bitmap is the one the memory DC draws from.
    void ExpectSelected() {
        ASSERT_NE(nullptr, MemoryDc());
        EXPECT_EQ(static_cast<HGDIOBJ>(Bitmap()), GetCurrentObject(MemoryDc(), OBJ_BITMAP));
    }
    UINT ChangeIconMessage() { return RegisterWindowMessageW(L"VantrelChangeRepresentativeIcon"); }
};

// A band sited but not yet shown has never painted.
TEST(IconBitmapBeforePaint, AMoveBeforeTheFirstPaintLoadsTheHotPictureWithoutADc) {
    using Access = CDeskBandTestAccess;
    ComApartment apartment;
    ScopedSettingsKey settings;
    shell::HostWindow host({0, 560, 800, 600}, true);
    CDeskBand* pBand = new (std::nothrow) CDeskBand();
    ASSERT_NE(nullptr, pBand);
    shell::Site* pSite = new shell::Site(host.Get());
    ASSERT_EQ(S_OK, static_cast<IObjectWithSite*>(pBand)->SetSite(static_cast<IOleWindow*>(pSite)));
    HWND hwnd = Access::m_hwnd(*pBand);
    ASSERT_TRUE(IsWindow(hwnd));
    MoveWindow(hwnd, 0, 0, 32, 40, FALSE);

    ASSERT_EQ(nullptr, Access::m_hdcMem(*pBand));
    ASSERT_EQ(nullptr, Access::m_hbmIcon(*pBand));
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(110, PictureIdOf(Access::m_hbmIcon(*pBand))) << "the hot picture, for 32 bits";
    EXPECT_EQ(nullptr, Access::m_hdcMem(*pBand));
    EXPECT_TRUE(Access::m_fHot(*pBand));

    const HBITMAP hot = Access::m_hbmIcon(*pBand);
    {
        wt::Dib dib(32, 40);
        SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Dc()), PRF_CLIENT);
    }
    ASSERT_NE(nullptr, Access::m_hdcMem(*pBand));
    EXPECT_EQ(static_cast<HGDIOBJ>(Access::m_hbmIcon(*pBand)),
              GetCurrentObject(Access::m_hdcMem(*pBand), OBJ_BITMAP));
    EXPECT_EQ(109, PictureIdOf(Access::m_hbmIcon(*pBand)))
        << "the first paint builds with the normal picture";
    EXPECT_EQ(0u, GetObjectType(hot)) << "the hot bitmap was not deleted";
    EXPECT_EQ(32, Access::m_nBppCached(*pBand));

    EXPECT_EQ(S_OK, pBand->CloseDW(0));
    EXPECT_EQ(S_OK, static_cast<IObjectWithSite*>(pBand)->SetSite(nullptr));
    EXPECT_EQ(0u, pSite->Release());
    EXPECT_EQ(0u, pBand->Release());
}

TEST_F(IconBitmapTest, ADepthChangeWhileHotRebuildsWithTheNormalPicture) {
    Paint();
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    ASSERT_EQ(110, PictureIdOf(Bitmap()));
    const HDC oldDc = MemoryDc();
    const HBITMAP oldBitmap = Bitmap();

    // As if the memory DC had been built for another depth than this paint's.
    Access::m_nBppCached(Band()) = 16;
    Paint();
    ExpectSelected();
    EXPECT_NE(oldDc, MemoryDc());
    EXPECT_EQ(0u, GetObjectType(oldDc)) << "the old memory DC was not deleted";
    EXPECT_EQ(0u, GetObjectType(oldBitmap)) << "the old bitmap was not deleted";
    EXPECT_EQ(109, PictureIdOf(Bitmap()));
    EXPECT_EQ(32, Access::m_nBppCached(Band()));
    EXPECT_TRUE(Access::m_fHot(Band()));

    // The hot picture comes back only after leaving and entering again.
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(109, PictureIdOf(Bitmap()));
    Send(WM_MOUSELEAVE);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(110, PictureIdOf(Bitmap()));
    ExpectSelected();
}

// Thousands of hover and style switches: the memory DC is kept, each
// replaced bitmap is deleted, and the held one is always the selected one.
TEST_F(IconBitmapTest, HoverAndStyleCyclesLeakNoBitmap) {
    Paint();
    const HDC dc = MemoryDc();
    ASSERT_NE(nullptr, dc);
    for (int i = 0; i < 3000; ++i) {
        const HBITMAP before = Bitmap();
        switch (i % 4) {
        case 0:
            Send(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4)); // enter: hot
            break;
        case 1:
            Send(ChangeIconMessage(), 1 + (i / 4) % 8); // normal form while hot
            break;
        case 2:
            Send(WM_MOUSELEAVE);
            break;
        case 3:
            Send(WM_MOUSELEAVE); // already normal: loaded again
            break;
        }
        ASSERT_NE(before, Bitmap()) << "step " << i << " switched no bitmap";
        ASSERT_EQ(0u, GetObjectType(before)) << "step " << i << " kept the replaced bitmap";
        ASSERT_EQ(dc, MemoryDc()) << "step " << i;
        ASSERT_EQ(static_cast<HGDIOBJ>(Bitmap()), GetCurrentObject(dc, OBJ_BITMAP)) << "step " << i;
        if (i % 100 == 99) {
            Paint();
            ASSERT_EQ(dc, MemoryDc());
        }
    }
    EXPECT_EQ(1 + (2999 / 4) % 8, Access::m_nRepresentativeIcon(Band()));
}

} // namespace
