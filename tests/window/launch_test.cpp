// A click on the band starts the companion stand-in beside the DLL with the
// anchor point and quadrant on its command line, and writes that command
// line to the debugger output first.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_paths.h"
#include "window/window_test_support.h"
#include "support/directory_of_length.h"

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

class LaunchTest : public ::testing::Test {
  protected:
    // The worked examples assume one 800 x 600 monitor at the origin.
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
        DEVMODEW mode = {};
        mode.dmSize = sizeof(mode);
        mode.dmPelsWidth = 800;
        mode.dmPelsHeight = 600;
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        s_modeResult = ChangeDisplaySettingsExW(nullptr, &mode, nullptr, CDS_FULLSCREEN, nullptr);
    }
    static void TearDownTestSuite() {
        ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr);
    }
    void SetUp() override {
        ASSERT_EQ(DISP_CHANGE_SUCCESSFUL, s_modeResult);
        ASSERT_EQ(800, GetSystemMetrics(SM_CXSCREEN));
        ASSERT_EQ(600, GetSystemMetrics(SM_CYSCREEN));
        ASSERT_TRUE(dll.Loaded());
    }

    // Press and release at screen points, as the window manager would
    // deliver them to the band window.
    static void Click(HWND hwnd, POINT down, POINT up) {
        SetCursorPos(down.x, down.y);
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
        SetCursorPos(up.x, up.y);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, 0);
    }

    static inline LONG s_modeResult = DISP_CHANGE_FAILED;
    ComApartment apartment;
    BandModule dll;
    wt::DebugOutputCapture debugOutput;
    wt::CompanionLog companions;
};

struct Example {
    RECT taskbar;
    RECT band;
    POINT release;
    const wchar_t* args;
};

TEST_F(LaunchTest, WorkedExamplesStartTheCompanionWithTheirCommandLines) {
    const Example examples[] = {
        {{0, 560, 800, 600}, {700, 560, 740, 600}, {720, 580}, L"/DISPLAYUI 740 558 2"},
        {{0, 560, 800, 600}, {100, 560, 140, 600}, {120, 580}, L"/DISPLAYUI 100 558 3"},
        {{0, 0, 800, 40}, {100, 0, 140, 40}, {120, 20}, L"/DISPLAYUI 100 42 0"},
        {{0, 0, 60, 600}, {10, 100, 50, 140}, {30, 120}, L"/DISPLAYUI 52 100 0"},
        {{740, 0, 800, 600}, {750, 460, 790, 500}, {770, 480}, L"/DISPLAYUI 748 500 2"},
    };
    size_t started = 0;
    for (const Example& e : examples) {
        SCOPED_TRACE(testing::Message() << "release at " << e.release.x << "," << e.release.y);
        wt::TestHost host(e.taskbar, true);
        wt::HostedBand band(dll, host.Get());
        ASSERT_TRUE(band.Ok());
        MoveWindow(band.Window(), e.band.left - e.taskbar.left, e.band.top - e.taskbar.top,
                   e.band.right - e.band.left, e.band.bottom - e.band.top, TRUE);
        RECT placed = {};
        GetWindowRect(band.Window(), &placed);
        ASSERT_TRUE(EqualRect(&placed, &e.band));

        debugOutput.Clear();
        Click(band.Window(), e.release, e.release);
        EXPECT_EQ(std::vector<std::wstring>{e.args}, debugOutput.Lines());

        const std::vector<wt::CompanionRecord> records = companions.WaitFor(++started);
        ASSERT_EQ(started, records.size());
        EXPECT_TRUE(records.back().args == e.args)
            << "started with " << testing::PrintToString(records.back().cmdline);
        EXPECT_TRUE(SamePath(BinDirectory() + L"AppVantrelHelp.exe", records.back().exe));
    }
}

struct Travel {
    int dx;
    int dy;
    bool starts;
};

TEST_F(LaunchTest, OnlyAReleaseWithinOnePixelOfThePressStarts) {
    const Travel travels[] = {{0, 0, true},  {1, 1, true},   {-1, -1, true}, {1, -1, true},
                              {2, 0, false}, {0, 2, false},  {-2, 0, false}, {0, -2, false},
                              {2, 2, false}, {-2, 1, false}, {40, 0, false}};
    wt::TestHost host({0, 560, 800, 600}, true);
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    const POINT down = {16, 580};
    size_t expected = 0;
    for (const Travel& t : travels) {
        SCOPED_TRACE(testing::Message() << "moved " << t.dx << "," << t.dy);
        debugOutput.Clear();
        Click(band.Window(), down, {down.x + t.dx, down.y + t.dy});
        EXPECT_EQ(t.starts ? 1u : 0u, debugOutput.Lines().size());
        expected += t.starts ? 1 : 0;
    }
    EXPECT_EQ(expected, companions.WaitFor(expected).size());
    // Nothing else turns up later.
    wt::PumpMessages(1000);
    EXPECT_EQ(expected, companions.Read().size());
}

TEST_F(LaunchTest, AReleaseWithoutAPressStartsNothing) {
    wt::TestHost host({0, 560, 800, 600}, true);
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    const POINT corners[] = {{0, 0}, {16, 580}, {799, 599}};
    for (const POINT& pt : corners) {
        SetCursorPos(pt.x, pt.y);
        SendMessageW(band.Window(), WM_LBUTTONUP, 0, 0);
    }
    EXPECT_TRUE(debugOutput.Lines().empty());

    // A press elsewhere followed by a release over the band is measured
    // against that press.
    SetCursorPos(300, 300);
    SendMessageW(band.Window(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
    SetCursorPos(16, 580);
    SendMessageW(band.Window(), WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(debugOutput.Lines().empty());

    wt::PumpMessages(1000);
    EXPECT_TRUE(companions.Read().empty());
}

struct DeepCase {
    size_t dirLength;
    bool starts;
};

// The companion's path is the module's directory, a backslash and its 18
// character name. It must fit in 259 characters; a path cut short must never
// be started, not even when a program lies at the cut-short name.
TEST_F(LaunchTest, TheCompanionPathMustFitBesideTheModule) {
    const std::wstring companion = L"AppVantrelHelp.exe";
    const DeepCase cases[] = {{240, true}, {241, false}, {245, false}};
    size_t started = 0;
    for (const DeepCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "directory of " << c.dirLength << " characters");
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        support::DirectoryOfLength dir(
            std::wstring(temp) + L"vdeep" + std::to_wstring(GetCurrentProcessId()), c.dirLength);
        ASSERT_TRUE(dir.Ok());
        // A short module name keeps the module's own path well within limits.
        ASSERT_TRUE(dir.CopyIn(BandDllPath(), L"b.dll"));
        const size_t kept = 259 - c.dirLength - 1;
        if (kept >= companion.size()) {
            ASSERT_TRUE(dir.CopyIn(BinDirectory() + companion, companion));
            ASSERT_EQ(259u, dir.File(companion).size());
        } else {
            // Where a cut-short companion path would lead.
            ASSERT_TRUE(
                dir.CopyIn(BinDirectory() + companion, companion.substr(0, kept) + L".exe"));
        }
        {
            BandModule copy(dir.File(L"b.dll"));
            ASSERT_TRUE(copy.Loaded());
            wt::TestHost host({0, 560, 800, 600}, true);
            wt::HostedBand band(copy, host.Get());
            ASSERT_TRUE(band.Ok());
            debugOutput.Clear();
            Click(band.Window(), {16, 580}, {16, 580});
            EXPECT_EQ(c.starts ? 1u : 0u, debugOutput.Lines().size());
        }
        if (c.starts) {
            const std::vector<wt::CompanionRecord> records = companions.WaitFor(++started);
            ASSERT_EQ(started, records.size());
            EXPECT_TRUE(SamePath(dir.File(companion), records.back().exe));
            EXPECT_TRUE(records.back().args == L"/DISPLAYUI 0 558 3");
        }
    }
    wt::PumpMessages(1000);
    EXPECT_EQ(started, companions.Read().size());
}

} // namespace
