// Hover over the band: the hot picture while the mouse is over it, the leave
// notification asked for once per entry, and style changes while hot.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "window/window_test_support.h"

namespace {

constexpr RECT kTaskbar = {0, 560, 800, 600};
constexpr COLORREF kSentinel = RGB(1, 2, 3);

class HoverTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
    }
    void SetUp() override {
        ASSERT_TRUE(dll.Loaded());
        ASSERT_TRUE(band.Ok());
        // The cursor rests over the band, where the window manager tracks it.
        SetCursorPos(10, 580);
    }
    void TearDown() override { CancelLeaveTracking(); }

    // Which picture the band paints now.
    std::string Shows(WORD id) {
        wt::Picture picture;
        if (!wt::LoadPicture(dll.Get(), id, picture)) {
            return "no picture " + std::to_string(id);
        }
        return wt::PictureMismatch(*wt::PrintClient(band.Window(), kSentinel), picture, 0, 4,
                                   wt::FromColorRef(wt::kHostColour));
    }
    bool LeaveTracked() {
        TRACKMOUSEEVENT query = {sizeof(query), TME_QUERY, nullptr, 0};
        TrackMouseEvent(&query);
        return (query.dwFlags & TME_LEAVE) != 0 && query.hwndTrack == band.Window();
    }
    void CancelLeaveTracking() {
        TRACKMOUSEEVENT cancel = {sizeof(cancel), TME_CANCEL | TME_LEAVE, band.Window(), 0};
        TrackMouseEvent(&cancel);
    }
    void Move() { SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(10, 20)); }
    void Leave() { SendMessageW(band.Window(), WM_MOUSELEAVE, 0, 0); }
    void Style(WPARAM style) {
        SendMessageW(band.Window(), RegisterWindowMessageW(L"VantrelChangeRepresentativeIcon"),
                     style, 0);
    }

    ComApartment apartment;
    BandModule dll;
    wt::TestHost host{kTaskbar, true};
    wt::HostedBand band{dll, host.Get()};
};

TEST_F(HoverTest, NormalHotNormalAndTrackingOncePerEntry) {
    EXPECT_EQ("", Shows(109));
    EXPECT_FALSE(LeaveTracked());

    Move();
    EXPECT_EQ("", Shows(110));
    EXPECT_TRUE(LeaveTracked()) << "entering asks for the leave notification";

    // Further moves while hot ask for nothing: with our own cancel in
    // between, no new request appears.
    CancelLeaveTracking();
    ASSERT_FALSE(LeaveTracked());
    Move();
    Move();
    EXPECT_FALSE(LeaveTracked());
    EXPECT_EQ("", Shows(110));

    Leave();
    EXPECT_EQ("", Shows(109));
    Move();
    EXPECT_TRUE(LeaveTracked()) << "each new entry asks again";
    EXPECT_EQ("", Shows(110));

    // A leave while already normal shows the normal picture again.
    Leave();
    Leave();
    EXPECT_EQ("", Shows(109));
}

TEST_F(HoverTest, AStyleMessageWhileHotShowsTheNewStylesNormalPicture) {
    Move();
    ASSERT_EQ("", Shows(110));
    Style(5);
    EXPECT_EQ("", Shows(125));
    // Still hot as far as the band knows: moving changes nothing ...
    Move();
    EXPECT_EQ("", Shows(125));
    // ... until the mouse leaves and comes back.
    Leave();
    EXPECT_EQ("", Shows(125));
    Move();
    EXPECT_EQ("", Shows(126));

    // Out-of-range styles and a 64-bit value whose low half is a style.
    Style(0);
    EXPECT_EQ("", Shows(126));
    Style(9);
    EXPECT_EQ("", Shows(126));
    Style((WPARAM{1} << 32) | 3);
    EXPECT_EQ("", Shows(120));
}

} // namespace
