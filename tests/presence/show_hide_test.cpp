// Showing, restyling and hiding the band from other processes: bandhost.exe
// plays the taskbar (the desk band service, or an older taskbar without it),
// bandctl.exe and this process are the other programs.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "presence/band_host.h"
#include "presence/band_windows.h"
#include "presence/processes.h"
#include "support/com_test.h"

namespace presence {
namespace {

constexpr char kOk[] = "0x00000000";
constexpr char kFalse[] = "0x00000001";

// The band registered (bandctl register) and the style setting at 1 for the
// test; both put back afterwards. No show request pending.
class PresenceTest : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequest();
        m_wasRegistered = !RegisteredServer().empty();
        const ToolResult r = Bandctl(L"register");
        ASSERT_EQ(0u, r.exitCode) << r.err;
        ASSERT_FALSE(RegisteredServer().empty());
        ASSERT_TRUE(BandWindows().empty()) << "a band window is left from elsewhere";
    }
    void TearDown() override {
        if (m_host != nullptr) {
            EXPECT_TRUE(m_host->Close());
            // The taskbar closed its bands as it went.
            EXPECT_EQ(m_host->Events("removed").size(), m_host->Events("hosted").size());
            m_host.reset();
        }
        EXPECT_TRUE(BandWindows().empty());
        if (!m_wasRegistered) {
            Bandctl(L"unregister");
        }
        ClearShowRequest();
    }
    void StartHost(const std::wstring& options = L"") {
        m_host = std::make_unique<BandHost>(options);
        ASSERT_TRUE(m_host->Ready());
    }

    ComApartment m_apartment;
    ScopedIconStyleSetting m_style{L"1"};
    bool m_wasRegistered = false;
    std::unique_ptr<BandHost> m_host;
};

// The one band window there should be: in bandhost, in its taskbar, shown.
void ExpectOneBandWindowIn(const BandHost& host) {
    const std::vector<BandWindow> windows = BandWindows();
    ASSERT_EQ(1u, windows.size());
    EXPECT_EQ(host.Pid(), windows[0].pid);
    EXPECT_EQ(host.Window(), windows[0].parent);
    EXPECT_TRUE(windows[0].visible);
}

using ServiceTaskbar = PresenceTest;

TEST_F(ServiceTaskbar, ShowFromAnotherProcessHostsTheBandOnce) {
    StartHost();
    ToolResult status = Bandctl(L"status");
    EXPECT_EQ(0u, status.exitCode);
    EXPECT_NE(std::string::npos, status.out.find("desk band service: yes")) << status.out;
    EXPECT_NE(std::string::npos, status.out.find("shown: no")) << status.out;

    const size_t start = m_host->LineCount();
    ToolResult show = Bandctl(L"show");
    EXPECT_EQ(0u, show.exitCode) << show.err;
    EXPECT_NE(std::string::npos, show.out.find("ShowBand returned 0x00000000")) << show.out;
    // The handshake: registration re-read, asked whether shown, then shown.
    const auto changed = m_host->Events("DeskBandRegistrationChanged", start);
    ASSERT_EQ(1u, changed.size()) << m_host->LogText();
    EXPECT_EQ(kOk, changed[0].Get("hr"));
    EXPECT_NE("0", changed[0].Get("desk-bands"));
    const auto asked = m_host->Events("IsDeskBandShown", start);
    ASSERT_EQ(1u, asked.size());
    EXPECT_EQ(kFalse, asked[0].Get("hr"));
    const auto shown = m_host->Events("ShowDeskBand");
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(kOk, shown[0].Get("hr"));
    // Hosted: sited, band information asked with an id, shown.
    const auto added = m_host->Events("AddBand");
    ASSERT_EQ(1u, added.size());
    EXPECT_EQ("0", added[0].Get("request-pending"));
    const auto hosted = m_host->Events("hosted");
    ASSERT_EQ(1u, hosted.size());
    EXPECT_EQ("1", hosted[0].Get("id"));
    EXPECT_EQ(kOk, hosted[0].Get("setsite"));
    EXPECT_EQ(kOk, hosted[0].Get("bandinfo"));
    EXPECT_EQ("1", hosted[0].Get("visible"));
    EXPECT_EQ("32x40", hosted[0].Get("size"));
    ExpectOneBandWindowIn(*m_host);

    // A second show finds it shown and adds nothing.
    const size_t mark = m_host->LineCount();
    show = Bandctl(L"show");
    EXPECT_EQ(0u, show.exitCode) << show.err;
    const auto askedAgain = m_host->Events("IsDeskBandShown", mark);
    ASSERT_EQ(1u, askedAgain.size()) << m_host->LogText();
    EXPECT_EQ(kOk, askedAgain[0].Get("hr"));
    EXPECT_TRUE(m_host->Events("ShowDeskBand", mark).empty());
    EXPECT_TRUE(m_host->Events("AddBand", mark).empty());
    ExpectOneBandWindowIn(*m_host);

    status = Bandctl(L"status");
    EXPECT_NE(std::string::npos, status.out.find("shown: yes")) << status.out;
    EXPECT_NE(std::string::npos, status.out.find("band windows: 1")) << status.out;
}

TEST_F(ServiceTaskbar, StyleFromAnotherProcessRestylesTheHostedBand) {
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    // What bands of style 1 and 5 paint, made here before anything is shown
    // (bandctl would find these bands too).
    const shell::Picture style1 = PaintedInThisProcess(dll, 1);
    const shell::Picture style5 = PaintedInThisProcess(dll, 5);
    ASSERT_EQ(32, style1.width);
    ASSERT_NE(style1, style5) << "the two styles must look different for this test to tell";

    StartHost();
    ASSERT_EQ(0u, Bandctl(L"show").exitCode);
    const std::wstring before = TempFile(L"bmp");
    const std::wstring after = TempFile(L"bmp");
    shell::Picture picture;
    ASSERT_EQ(S_OK, m_host->Command(L"snapshot " + before));
    ASSERT_TRUE(shell::ReadBmp(before, &picture));
    EXPECT_TRUE(picture == style1) << "the hosted band starts with the setting's style";

    const ToolResult style = Bandctl(L"style 5");
    EXPECT_EQ(0u, style.exitCode) << style.err;
    EXPECT_NE(std::string::npos, style.out.find("replied 0")) << style.out;
    ASSERT_EQ(S_OK, m_host->Command(L"snapshot " + after));
    ASSERT_TRUE(shell::ReadBmp(after, &picture));
    EXPECT_TRUE(picture == style5) << "the hosted band paints style 5";
    // Restyling is no show or hide.
    EXPECT_EQ(1u, m_host->Events("AddBand").size());
    EXPECT_TRUE(m_host->Events("RemoveBand").empty());
    DeleteFileW(before.c_str());
    DeleteFileW(after.c_str());
}

TEST_F(ServiceTaskbar, HideFromAnotherProcessRemovesTheBandAndShowWorksAgain) {
    StartHost();
    ASSERT_EQ(0u, Bandctl(L"show").exitCode);
    const auto hosted = m_host->Events("hosted");
    ASSERT_EQ(1u, hosted.size());

    const ToolResult hide = Bandctl(L"hide");
    EXPECT_EQ(0u, hide.exitCode) << hide.err;
    EXPECT_NE(std::string::npos, hide.out.find("replied 0")) << hide.out;
    // The band asked with the id it was given; the taskbar closed it and let
    // go of the last reference, and its window went with it.
    const auto remove = m_host->Events("RemoveBand");
    ASSERT_EQ(1u, remove.size()) << m_host->LogText();
    EXPECT_EQ(hosted[0].Get("id"), remove[0].Get("id"));
    const auto removed = m_host->Events("removed");
    ASSERT_EQ(1u, removed.size());
    EXPECT_EQ("0", removed[0].Get("window-left"));
    EXPECT_EQ("0", removed[0].Get("refs-left"));
    EXPECT_TRUE(BandWindows().empty());
    const ToolResult status = Bandctl(L"status");
    EXPECT_NE(std::string::npos, status.out.find("shown: no")) << status.out;

    // Shown again: a new band object, a new id.
    const size_t mark = m_host->LineCount();
    EXPECT_EQ(0u, Bandctl(L"show").exitCode);
    const auto again = m_host->Events("hosted", mark);
    ASSERT_EQ(1u, again.size()) << m_host->LogText();
    EXPECT_EQ("2", again[0].Get("id"));
    EXPECT_EQ(kOk, again[0].Get("bandinfo"));
    ExpectOneBandWindowIn(*m_host);
}

// The taskbar hosts what is registered as a desk band, as it last read it;
// ShowBand has it read the registration again first.
TEST_F(ServiceTaskbar, ShowFollowsTheRegistration) {
    StartHost();
    ASSERT_EQ(0u, Bandctl(L"unregister").exitCode);
    ToolResult show = Bandctl(L"show");
    EXPECT_EQ(1u, show.exitCode);
    EXPECT_NE(std::string::npos, show.err.find("ShowBand failed")) << show.err;
    EXPECT_TRUE(m_host->Events("AddBand").empty());
    EXPECT_TRUE(BandWindows().empty());

    ASSERT_EQ(0u, Bandctl(L"register").exitCode);
    show = Bandctl(L"show");
    EXPECT_EQ(0u, show.exitCode) << show.err;
    EXPECT_EQ(1u, m_host->Events("hosted").size()) << m_host->LogText();
    ExpectOneBandWindowIn(*m_host);
}

// ShowBand called here, on threads that never used COM, speaks to bandhost's
// desk band service; each thread stays in its apartment afterwards, whether
// the band was shown by the call or found shown.
TEST_F(ServiceTaskbar, ShowBandLeavesItsThreadInCom) {
    BandModule dll;
    ASSERT_TRUE(dll.Loaded());
    StartHost();
    for (const char* path : {"not shown yet", "already shown"}) {
        SCOPED_TRACE(path);
        HRESULT hrShow = E_FAIL;
        HRESULT hrAfter = E_FAIL;
        std::thread caller([&] {
            hrShow = dll.ShowBand();
            hrAfter = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(hrAfter)) {
                CoUninitialize();
            }
            CoUninitialize(); // ShowBand's own
        });
        caller.join();
        EXPECT_EQ(S_OK, hrShow);
        EXPECT_EQ(S_FALSE, hrAfter) << "the thread must still be in its apartment";
    }
    EXPECT_EQ(1u, m_host->Events("hosted").size()) << m_host->LogText();
    EXPECT_EQ(2u, m_host->Events("IsDeskBandShown").size());
}

// An older taskbar: no desk band service. ShowBand leaves the request (the
// atom) and has the shell load the band, which then adds itself; bandhost
// serves such requests made in its own process.
using OlderTaskbar = PresenceTest;

TEST_F(OlderTaskbar, ShowInTheHostProcessAddsTheBandOnce) {
    StartHost(L"--older");
    const ToolResult status = Bandctl(L"status");
    EXPECT_NE(std::string::npos, status.out.find("desk band service: no")) << status.out;

    EXPECT_EQ(S_OK, m_host->Command(L"show"));
    const auto added = m_host->Events("AddBand");
    ASSERT_EQ(1u, added.size()) << m_host->LogText();
    EXPECT_EQ("0", added[0].Get("request-pending")) << "the band deletes the request first";
    const auto hosted = m_host->Events("hosted");
    ASSERT_EQ(1u, hosted.size());
    EXPECT_EQ(kOk, hosted[0].Get("bandinfo"));
    const auto shown = m_host->Events("ShowBand");
    ASSERT_EQ(1u, shown.size());
    EXPECT_EQ(kOk, shown[0].Get("hr"));
    EXPECT_EQ("0", shown[0].Get("request-pending"));
    EXPECT_FALSE(ShowRequestPending()) << "added once, so one deletion took it away";
    ExpectOneBandWindowIn(*m_host);

    // Queried again, the band finds no request and adds nothing.
    EXPECT_EQ(S_OK, m_host->Command(L"query"));
    EXPECT_EQ(1u, m_host->Events("query").size());
    EXPECT_EQ(1u, m_host->Events("AddBand").size());

    // Hidden from another process as on any taskbar.
    EXPECT_EQ(0u, Bandctl(L"hide").exitCode);
    const auto removed = m_host->Events("removed");
    ASSERT_EQ(1u, removed.size()) << m_host->LogText();
    EXPECT_EQ(hosted[0].Get("id"), removed[0].Get("id"));
    EXPECT_EQ("0", removed[0].Get("refs-left"));
    EXPECT_TRUE(BandWindows().empty());
}

TEST_F(OlderTaskbar, APendingRequestIsNotAddedAgainAndTheShellIsAskedAgain) {
    StartHost(L"--older");
    // Unregistered, the shell loads nothing and the request stays pending.
    ASSERT_EQ(0u, Bandctl(L"unregister").exitCode);
    const HRESULT first = m_host->Command(L"show");
    EXPECT_TRUE(FAILED(first));
    EXPECT_TRUE(ShowRequestPending());
    const HRESULT second = m_host->Command(L"show");
    EXPECT_EQ(first, second) << "the second call asks the shell again";
    EXPECT_TRUE(ShowRequestPending());
    EXPECT_TRUE(m_host->Events("AddBand").empty());

    // Registered, the next ShowBand finds the request pending, adds nothing,
    // and the band the shell now loads serves it, deleting it before AddBand.
    ASSERT_EQ(0u, Bandctl(L"register").exitCode);
    EXPECT_EQ(S_OK, m_host->Command(L"show"));
    const auto added = m_host->Events("AddBand");
    ASSERT_EQ(1u, added.size()) << m_host->LogText();
    EXPECT_EQ("0", added[0].Get("request-pending"));
    EXPECT_FALSE(ShowRequestPending()) << "three ShowBand calls, one atom reference";
    ExpectOneBandWindowIn(*m_host);
}

// A request left by another process is served by the next band object the
// host creates (what a shell does after SHLoadInProc).
TEST_F(OlderTaskbar, ABandCreatedInTheHostServesAPendingRequestOnce) {
    StartHost(L"--older");
    ASSERT_NE(0, GlobalAddAtomW(ShowRequestName().c_str()));
    EXPECT_EQ(S_OK, m_host->Command(L"load"));
    const auto added = m_host->Events("AddBand");
    ASSERT_EQ(1u, added.size()) << m_host->LogText();
    EXPECT_EQ("0", added[0].Get("request-pending"));
    EXPECT_FALSE(ShowRequestPending());
    ExpectOneBandWindowIn(*m_host);

    // With no request, a band object created and queried adds nothing.
    EXPECT_EQ(S_OK, m_host->Command(L"load"));
    EXPECT_EQ(1u, m_host->Events("AddBand").size());
    EXPECT_EQ(1u, BandWindows().size());
}

} // namespace
} // namespace presence
