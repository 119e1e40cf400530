// bandctl refuses bad input with its own message and exit code, and then
// has changed nothing: no band shown, hidden or restyled, no registration
// written or removed.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "presence/band_host.h"
#include "presence/band_windows.h"
#include "presence/processes.h"
#include "support/com_test.h"

namespace presence {
namespace {

constexpr DWORD kUsage = 2;
constexpr DWORD kBadStyle = 3;
constexpr DWORD kModuleMissing = 4;
constexpr DWORD kForeignModule = 5;
constexpr DWORD kNoBandWindow = 6;

struct BadInput {
    const wchar_t* args;
    DWORD exitCode;
    const char* message; // part of what stderr must say
};

void ExpectRefused(const BadInput& input) {
    SCOPED_TRACE(std::string(input.args, input.args + lstrlenW(input.args)));
    const ToolResult r = Bandctl(input.args);
    ASSERT_TRUE(r.finished);
    EXPECT_EQ(input.exitCode, r.exitCode) << r.err;
    EXPECT_NE(std::string::npos, r.err.find(input.message)) << r.err;
    EXPECT_EQ("", r.out) << "nothing is reported as done";
}

class BandctlErrors : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequest();
        m_wasRegistered = !RegisteredServer().empty();
        ASSERT_EQ(0u, Bandctl(L"register").exitCode);
        m_registered = RegisteredServer();
    }
    void TearDown() override {
        m_host.reset();
        if (!m_wasRegistered) {
            Bandctl(L"unregister");
        }
        ClearShowRequest();
    }

    ComApartment m_apartment;
    ScopedIconStyleSetting m_style{L"1"};
    bool m_wasRegistered = false;
    std::wstring m_registered;
    std::unique_ptr<BandHost> m_host;
};

TEST_F(BandctlErrors, NothingToSendToWithoutABandWindow) {
    m_host = std::make_unique<BandHost>();
    ASSERT_TRUE(m_host->Ready());
    ASSERT_TRUE(BandWindows().empty());
    const BadInput inputs[] = {
        {L"hide", kNoBandWindow, "no band window"},
        {L"style 3", kNoBandWindow, "no band window"},
    };
    for (const BadInput& input : inputs) {
        ExpectRefused(input);
    }
    EXPECT_TRUE(m_host->Events("AddBand").empty());
}

TEST_F(BandctlErrors, BadInputChangesNothing) {
    m_host = std::make_unique<BandHost>();
    ASSERT_TRUE(m_host->Ready());
    ASSERT_EQ(0u, Bandctl(L"show").exitCode);
    ASSERT_EQ(1u, BandWindows().size());
    const std::wstring proxy = ProxyStubClsid();
    ASSERT_FALSE(proxy.empty());
    const std::wstring before = TempFile(L"bmp");
    ASSERT_EQ(S_OK, m_host->Command(L"snapshot " + before));
    const size_t mark = m_host->LineCount();

    // The proxy/stub module has DllRegisterServer and DllUnregisterServer
    // but is not the band's: bandctl must not call either.
    const BadInput inputs[] = {
        {L"style 12abc", kBadStyle, "bad style"},
        {L"style \"\"", kBadStyle, "bad style"},
        {L"style -1", kBadStyle, "bad style"},
        {L"style 0", kBadStyle, "bad style"},
        {L"style 9", kBadStyle, "bad style"},
        {L"style \" 5\"", kBadStyle, "bad style"},
        {L"style 99999999999999999999", kBadStyle, "bad style"},
        {L"style", kUsage, "style needs"},
        {L"style 2 3", kUsage, "style needs"},
        {L"hide now", kUsage, "takes no argument"},
        {L"", kUsage, "no command"},
        {L"frobnicate", kUsage, "unknown command"},
        {L"SHOW", kUsage, "unknown command"},
        {L"--dll", kUsage, "--dll needs a path"},
        {L"--dll missing\\VantrelDeskBand.dll show", kModuleMissing, "cannot load"},
        {L"--dll missing\\VantrelDeskBand.dll register", kModuleMissing, "cannot load"},
        {L"--dll missing\\VantrelDeskBand.dll unregister", kModuleMissing, "cannot load"},
        {L"--dll VantrelTrayPS.dll show", kForeignModule, "not the band module"},
        {L"--dll VantrelTrayPS.dll register", kForeignModule, "not the band module"},
        {L"--dll VantrelTrayPS.dll unregister", kForeignModule, "not the band module"},
        {L"--dll bandctl.exe unregister", kForeignModule, "not the band module"},
    };
    for (const BadInput& input : inputs) {
        ExpectRefused(input);
    }

    // Nothing happened to the band, its registration or the proxy's.
    const size_t lines = m_host->LineCount();
    EXPECT_EQ(mark, lines) << m_host->LogText();
    EXPECT_EQ(1u, BandWindows().size());
    const std::wstring after = TempFile(L"bmp");
    ASSERT_EQ(S_OK, m_host->Command(L"snapshot " + after));
    shell::Picture pictureBefore, pictureAfter;
    ASSERT_TRUE(shell::ReadBmp(before, &pictureBefore));
    ASSERT_TRUE(shell::ReadBmp(after, &pictureAfter));
    EXPECT_TRUE(pictureBefore == pictureAfter) << "the style is unchanged";
    EXPECT_EQ(m_registered, RegisteredServer());
    EXPECT_EQ(proxy, ProxyStubClsid());
    EXPECT_FALSE(ShowRequestPending());
    DeleteFileW(before.c_str());
    DeleteFileW(after.c_str());
}

} // namespace
} // namespace presence
