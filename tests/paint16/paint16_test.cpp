// On a display of 16 bits per pixel the band draws its colour-keyed pictures:
// the key colour never reaches the screen, and a change of depth while the
// mouse is over the band rebuilds the memory DC with the normal picture.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "server/module.h"
#include "unit/band_window_fixture.h"
#include "window/window_test_support.h"

namespace {

struct KeyedIds {
    int style;
    WORD normal;
    WORD hot;
};
// The pictures for displays other than 32 bits; style 3 is stored reversed.
constexpr KeyedIds kKeyedIds[] = {{1, 111, 112}, {2, 115, 116}, {3, 118, 117}, {4, 123, 124},
                                  {5, 127, 128}, {6, 131, 132}, {7, 135, 136}, {8, 139, 140}};

// 16-bit colour keeps 5 or 6 bits a channel.
constexpr int kTolerance = 8;

bool NearMagenta(wt::Rgb c) {
    return c.r >= 240 && c.g <= 8 && c.b >= 240;
}

class Paint16Test : public HostedBandFixture {
  protected:
    void SetUp() override {
        HDC screen = GetDC(nullptr);
        const int depth = GetDeviceCaps(screen, BITSPIXEL);
        ReleaseDC(nullptr, screen);
        ASSERT_EQ(16, depth) << "run on a 16-bit display (tests/paint16/run.sh)";
        HostedBandFixture::SetUp();
    }

    // The band's own paint, as it reached the screen.
    std::unique_ptr<wt::Dib> PaintOnScreen() {
        RECT rc = {};
        GetClientRect(Window(), &rc);
        InvalidateRect(Window(), nullptr, TRUE);
        UpdateWindow(Window());
        auto dib = std::make_unique<wt::Dib>(rc.right, rc.bottom);
        dib->Fill(RGB(1, 2, 3));
        HDC hdc = GetDC(Window());
        BitBlt(dib->Dc(), 0, 0, rc.right, rc.bottom, hdc, 0, 0, SRCCOPY);
        ReleaseDC(Window(), hdc);
        return dib;
    }

    // No key colour anywhere; the figure's pixels where the picture has them,
    // the taskbar's colour everywhere else.
    void ExpectKeyedPicture(const wt::Dib& screen, WORD id) {
        wt::Picture picture;
        ASSERT_TRUE(wt::LoadPicture(g_hInstance, id, picture));
        int failures = 0;
        for (int y = 0; y < screen.Height() && failures < 5; ++y) {
            for (int x = 0; x < screen.Width() && failures < 5; ++x) {
                const wt::Rgb got = screen.At(x, y);
                if (NearMagenta(got)) {
                    ADD_FAILURE() << "key colour on screen at (" << x << "," << y << ")";
                    ++failures;
                    continue;
                }
                const int px = x - Access::m_xIcon(Band());
                const int py = y - Access::m_yIcon(Band());
                wt::Rgb want = background;
                if (px >= 0 && px < 32 && py >= 0 && py < 32) {
                    const RGBQUAD& q = picture.At(px, py);
                    if (!(q.rgbRed == 255 && q.rgbGreen == 0 && q.rgbBlue == 255)) {
                        want = {q.rgbRed, q.rgbGreen, q.rgbBlue};
                    }
                }
                if (std::abs(got.r - want.r) > kTolerance ||
                    std::abs(got.g - want.g) > kTolerance ||
                    std::abs(got.b - want.b) > kTolerance) {
                    ADD_FAILURE() << "(" << x << "," << y << ") is " << got.r << "," << got.g << ","
                                  << got.b << ", expected " << want.r << "," << want.g << ","
                                  << want.b;
                    ++failures;
                }
            }
        }
    }
    UINT ChangeIconMessage() { return RegisterWindowMessageW(L"VantrelChangeRepresentativeIcon"); }

    // The stand-in taskbar's colour as the 16-bit screen shows it.
    wt::Rgb background = {32, 40, 52};
};

TEST_F(Paint16Test, EveryStyleNormalAndHotWithoutTheKeyColour) {
    for (const KeyedIds& ids : kKeyedIds) {
        SCOPED_TRACE(testing::Message() << "style " << ids.style);
        Send(ChangeIconMessage(), ids.style);
        auto normal = PaintOnScreen();
        EXPECT_EQ(16, Access::m_nBpp(Band()));
        EXPECT_EQ(ids.normal, PictureIdOf(Access::m_hbmIcon(Band())));
        ExpectKeyedPicture(*normal, ids.normal);

        Send(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
        auto hot = PaintOnScreen();
        EXPECT_EQ(ids.hot, PictureIdOf(Access::m_hbmIcon(Band())));
        ExpectKeyedPicture(*hot, ids.hot);
        Send(WM_MOUSELEAVE);
    }
}

TEST_F(Paint16Test, ADepthChangeWhileHotRebuildsWithTheNormalPicture) {
    PaintOnScreen();
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    ASSERT_EQ(112, PictureIdOf(Access::m_hbmIcon(Band())));
    const HDC oldDc = Access::m_hdcMem(Band());
    const HBITMAP oldBitmap = Access::m_hbmIcon(Band());

    // As if the memory DC had been built while the display was 32 bits deep.
    Access::m_nBppCached(Band()) = 32;
    auto screen = PaintOnScreen();
    EXPECT_EQ(0u, GetObjectType(oldDc));
    EXPECT_EQ(0u, GetObjectType(oldBitmap));
    EXPECT_EQ(111, PictureIdOf(Access::m_hbmIcon(Band())));
    EXPECT_EQ(static_cast<HGDIOBJ>(Access::m_hbmIcon(Band())),
              GetCurrentObject(Access::m_hdcMem(Band()), OBJ_BITMAP));
    EXPECT_EQ(16, Access::m_nBppCached(Band()));
    ExpectKeyedPicture(*screen, 111);

    Send(WM_MOUSELEAVE);
    Send(WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    ExpectKeyedPicture(*PaintOnScreen(), 112);
}

} // namespace

int main(int argc, char** argv) {
    // The band's code is linked in: its resources are this executable's.
    g_hInstance = GetModuleHandleW(nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
