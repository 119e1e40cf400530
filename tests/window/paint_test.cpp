// The band's pixels: each style's picture, normal and hot, blended over what
// lies behind the band, in the square the layout gives it.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "window/window_test_support.h"

namespace {

using wt::Dib;
using wt::Rgb;

constexpr Rgb kGrey = {192, 192, 192}; // the stock light grey fill
constexpr COLORREF kSentinel = RGB(1, 2, 3);
constexpr RECT kTaskbar = {0, 560, 800, 600};

struct StyleIds {
    int style;
    WORD normal;
    WORD hot;
};
// The 32-bit display's pictures of each style; style 3 is stored reversed.
constexpr StyleIds kStyleIds[] = {{1, 109, 110}, {2, 113, 114}, {3, 120, 119}, {4, 121, 122},
                                  {5, 125, 126}, {6, 129, 130}, {7, 133, 134}, {8, 137, 138}};

UINT ChangeIconMessage() {
    return RegisterWindowMessageW(L"VantrelChangeRepresentativeIcon");
}

void ExpectPicture(const Dib& dib, const wt::Picture& picture, int x0, int y0, Rgb background,
                   const char* what) {
    EXPECT_EQ("", wt::PictureMismatch(dib, picture, x0, y0, background)) << what;
}

class PaintTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
    }
    void SetUp() override { ASSERT_TRUE(dll.Loaded()); }

    ComApartment apartment;
    BandModule dll;
};

TEST_F(PaintTest, EveryStyleNormalAndHotOverTheGreyFill) {
    // A host that paints nothing of its own leaves the band's grey fill.
    wt::TestHost host(kTaskbar, false);
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    RECT rc = {};
    GetClientRect(band.Window(), &rc);
    ASSERT_EQ(32, rc.right);
    ASSERT_EQ(40, rc.bottom);

    for (const StyleIds& ids : kStyleIds) {
        SCOPED_TRACE(testing::Message() << "style " << ids.style);
        wt::Picture normal, hot;
        ASSERT_TRUE(wt::LoadPicture(dll.Get(), ids.normal, normal));
        ASSERT_TRUE(wt::LoadPicture(dll.Get(), ids.hot, hot));
        SendMessageW(band.Window(), ChangeIconMessage(), ids.style, 0);
        ExpectPicture(*wt::PrintClient(band.Window(), kSentinel), normal, 0, 4, kGrey, "normal");

        SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        ExpectPicture(*wt::PrintClient(band.Window(), kSentinel), hot, 0, 4, kGrey, "hot");

        SendMessageW(band.Window(), WM_MOUSELEAVE, 0, 0);
        ExpectPicture(*wt::PrintClient(band.Window(), kSentinel), normal, 0, 4, kGrey,
                      "normal again");
    }
}

TEST_F(PaintTest, TheTaskbarsOwnBackgroundShowsThroughTheIcon) {
    wt::TestHost host(kTaskbar, true);
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    wt::Picture normal, hot;
    ASSERT_TRUE(wt::LoadPicture(dll.Get(), 109, normal));
    ASSERT_TRUE(wt::LoadPicture(dll.Get(), 110, hot));
    const Rgb taskbar = wt::FromColorRef(wt::kHostColour);

    ExpectPicture(*wt::PrintClient(band.Window(), kSentinel), normal, 0, 4, taskbar, "normal");
    SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    ExpectPicture(*wt::PrintClient(band.Window(), kSentinel), hot, 0, 4, taskbar, "hot");
}

struct SquareCase {
    int width;
    int height;
    int side;
    int x;
    int y;
};

// Smaller squares are the whole picture scaled down; compare with the same
// picture blended by the system into the expected square.
TEST_F(PaintTest, IconLandsInTheLayoutsSquareScaledBelow32) {
    const SquareCase cases[] = {
        {20, 40, 20, 0, 10}, {40, 31, 31, 4, 0}, {33, 33, 32, 0, 0}, {32, 40, 32, 0, 4}};
    wt::TestHost host(kTaskbar, false);
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    wt::Picture normal;
    ASSERT_TRUE(wt::LoadPicture(dll.Get(), 109, normal));

    // The picture as a premultiplied 32-bit DIB section, to blend it ourselves.
    Dib source(32, 32);
    BITMAPINFO bmi = {};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, -32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    SetDIBits(source.Dc(), static_cast<HBITMAP>(GetCurrentObject(source.Dc(), OBJ_BITMAP)), 0, 32,
              normal.pixels.data(), &bmi, DIB_RGB_COLORS);

    for (const SquareCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
        MoveWindow(band.Window(), 0, 0, c.width, c.height, FALSE);
        auto painted = wt::PrintClient(band.Window(), kSentinel);

        Dib expected(c.width, c.height);
        expected.Fill(RGB(kGrey.r, kGrey.g, kGrey.b));
        const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ASSERT_TRUE(
            AlphaBlend(expected.Dc(), c.x, c.y, c.side, c.side, source.Dc(), 0, 0, 32, 32, blend));

        int differing = 0;
        int iconPixels = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                const Rgb got = painted->At(x, y);
                const Rgb want = expected.At(x, y);
                const bool inside = x >= c.x && x < c.x + c.side && y >= c.y && y < c.y + c.side;
                if (!inside) {
                    EXPECT_TRUE(got.r == kGrey.r && got.g == kGrey.g && got.b == kGrey.b)
                        << "outside the square at (" << x << "," << y << ")";
                }
                if (std::abs(got.r - want.r) > 3 || std::abs(got.g - want.g) > 3 ||
                    std::abs(got.b - want.b) > 3) {
                    ++differing;
                }
                if (inside && (got.r != kGrey.r || got.g != kGrey.g || got.b != kGrey.b)) {
                    ++iconPixels;
                }
            }
        }
        EXPECT_EQ(0, differing);
        EXPECT_GT(iconPixels, c.side * c.side / 4) << "the picture is missing from the square";
    }
}

// The erase paints background and icon unless the taskbar composites; then
// it paints nothing and the paint itself draws everything.
TEST_F(PaintTest, CompositionMovesAllDrawingFromTheEraseToThePaint) {
    wt::TestHost host(kTaskbar, false);
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    wt::Picture normal;
    ASSERT_TRUE(wt::LoadPicture(dll.Get(), 109, normal));

    Dib erased(32, 40);
    erased.Fill(kSentinel);
    EXPECT_EQ(1,
              SendMessageW(band.Window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(erased.Dc()), 0));
    ExpectPicture(erased, normal, 0, 4, kGrey, "erase without composition");

    band.SetComposition(TRUE);
    erased.Fill(kSentinel);
    EXPECT_EQ(1,
              SendMessageW(band.Window(), WM_ERASEBKGND, reinterpret_cast<WPARAM>(erased.Dc()), 0));
    EXPECT_EQ("", wt::FirstMismatch(erased, {0, 0, 32, 40}, wt::FromColorRef(kSentinel), 0))
        << "the erase drew while composited";
    ExpectPicture(*wt::PrintClient(band.Window(), kSentinel), normal, 0, 4, kGrey,
                  "paint while composited");
}

} // namespace

namespace {

// The window's own paint, read back from the window's DC.
std::unique_ptr<Dib> PaintAndReadBack(HWND hwnd) {
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    InvalidateRect(hwnd, nullptr, TRUE);
    UpdateWindow(hwnd);
    auto dib = std::make_unique<Dib>(rc.right, rc.bottom);
    dib->Fill(kSentinel);
    HDC hdc = GetDC(hwnd);
    BitBlt(dib->Dc(), 0, 0, rc.right, rc.bottom, hdc, 0, 0, SRCCOPY);
    ReleaseDC(hwnd, hdc);
    return dib;
}

TEST_F(PaintTest, RealPaintShowsNormalAndHotWithAndWithoutComposition) {
    wt::TestHost host(kTaskbar, true);
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    wt::Picture normal, hot;
    ASSERT_TRUE(wt::LoadPicture(dll.Get(), 109, normal));
    ASSERT_TRUE(wt::LoadPicture(dll.Get(), 110, hot));
    const Rgb taskbar = wt::FromColorRef(wt::kHostColour);

    for (BOOL composited : {FALSE, TRUE}) {
        SCOPED_TRACE(composited ? "composited" : "not composited");
        band.SetComposition(composited);
        ExpectPicture(*PaintAndReadBack(band.Window()), normal, 0, 4, taskbar, "normal");
        SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        ExpectPicture(*PaintAndReadBack(band.Window()), hot, 0, 4, taskbar, "hot");
        SendMessageW(band.Window(), WM_MOUSELEAVE, 0, 0);
    }
}

} // namespace
