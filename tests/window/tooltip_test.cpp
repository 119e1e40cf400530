// The support text in the band's balloon tip, and the tip control itself.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/settings_key.h"
#include "window/window_test_support.h"

namespace {

const std::wstring kDefaultText =
    L"Click here for instant access to technical support from the Vantrel Help";
constexpr RECT kTaskbar = {0, 560, 800, 600};
constexpr wchar_t kValue[] = L"TECHSUPPORT_TEXT";

// Text whose every position is recognisable, so a cut shows.
std::wstring Pattern(size_t length) {
    std::wstring text;
    for (size_t i = 0; i < length; ++i) {
        text += static_cast<wchar_t>(L'A' + i % 26);
    }
    return text;
}

struct ThreadTooltips {
    HWND owner;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTooltip(HWND hwnd, LPARAM lParam) {
    auto* tips = reinterpret_cast<ThreadTooltips*>(lParam);
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0 && GetWindow(hwnd, GW_OWNER) == tips->owner) {
        tips->found.push_back(hwnd);
    }
    return TRUE;
}

// The tooltips owned by the host: a tip made with the band window as owner
// is owned by the band window's top-level ancestor.
std::vector<HWND> TooltipsOf(HWND host) {
    ThreadTooltips tips = {host, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectTooltip, reinterpret_cast<LPARAM>(&tips));
    return tips.found;
}

struct ToolText {
    bool found = false;
    std::wstring byToolInfo;
    std::wstring byGetText;
};

ToolText ReadToolText(HWND tip, HWND band) {
    ToolText result;
    std::vector<wchar_t> buffer(4096, L'\0');
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = band;
    ti.uId = 0;
    ti.lpszText = buffer.data();
    result.found = SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)) != 0;
    result.byToolInfo = buffer.data();

    std::fill(buffer.begin(), buffer.end(), L'\0');
    ti.lpszText = buffer.data();
    SendMessageW(tip, TTM_GETTEXTW, buffer.size(), reinterpret_cast<LPARAM>(&ti));
    result.byGetText = buffer.data();
    return result;
}

class TooltipTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
        InitCommonControlsEx(&icc);
    }
    void SetUp() override {
        ASSERT_TRUE(dll.Loaded());
        ASSERT_NE(nullptr, host.Get());
    }

    // The text of the tip that the first mouse move over a new band makes.
    std::wstring TipTextOfNewBand() {
        wt::HostedBand band(dll, host.Get());
        EXPECT_TRUE(band.Ok());
        EXPECT_TRUE(TooltipsOf(host.Get()).empty());
        SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
        const std::vector<HWND> tips = TooltipsOf(host.Get());
        if (tips.size() != 1) {
            ADD_FAILURE() << tips.size() << " tooltips after the first move";
            return L"<no tip>";
        }
        const ToolText text = ReadToolText(tips[0], band.Window());
        EXPECT_TRUE(text.found);
        EXPECT_EQ(text.byToolInfo, text.byGetText);
        return text.byToolInfo;
    }

    ComApartment apartment;
    BandModule dll;
    ScopedSettingsKey settings;
    wt::TestHost host{kTaskbar, true};
};

struct TextCase {
    const char* name;
    // Puts the value in place (the key starts absent).
    void (*store)(ScopedSettingsKey&);
    std::wstring expected;
};

void StoreString(ScopedSettingsKey& key, const std::wstring& text, bool terminated) {
    // The registry counts a terminator that follows unterminated string data
    // in memory, so an unterminated value is written from a buffer that goes
    // on with something else.
    const std::wstring data = terminated ? text : text + L"#";
    const DWORD cb = static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    ASSERT_EQ(ERROR_SUCCESS, key.SetRaw(kValue, REG_SZ, data.c_str(), cb));
}

TEST_F(TooltipTest, TextComesFromTheSettingsOrTheDefault) {
    const TextCase cases[] = {
        {"no key", [](ScopedSettingsKey&) {}, kDefaultText},
        {"no value", [](ScopedSettingsKey& key) { key.CreateEmpty(); }, kDefaultText},
        {"1022 characters and terminator",
         [](ScopedSettingsKey& key) { StoreString(key, Pattern(1022), true); }, Pattern(1022)},
        {"1023 characters and terminator",
         [](ScopedSettingsKey& key) { StoreString(key, Pattern(1023), true); }, kDefaultText},
        {"1023 characters without terminator",
         [](ScopedSettingsKey& key) { StoreString(key, Pattern(1023), false); }, Pattern(1023)},
        {"empty string", [](ScopedSettingsKey& key) { StoreString(key, L"", true); }, L""},
        {"binary holding UTF-16 text",
         [](ScopedSettingsKey& key) {
             const std::wstring text = L"Call the desk: 555-0134";
             ASSERT_EQ(ERROR_SUCCESS, key.SetRaw(kValue, REG_BINARY, text.data(),
                                                 static_cast<DWORD>(text.size() * 2)));
         },
         L"Call the desk: 555-0134"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        settings.RemoveKey();
        c.store(settings);
        const std::wstring text = TipTextOfNewBand();
        EXPECT_EQ(c.expected.size(), text.size());
        EXPECT_TRUE(c.expected == text);
    }
}

TEST_F(TooltipTest, OneBalloonToolOverTheTopLeftOfTheBand) {
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(6, 6));
    const std::vector<HWND> tips = TooltipsOf(host.Get());
    ASSERT_EQ(1u, tips.size()) << "one tip, made by the first move only";
    HWND tip = tips[0];

    EXPECT_EQ(1, SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
    wchar_t text[1024] = {};
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = band.Window();
    ti.uId = 0;
    ti.lpszText = text;
    ASSERT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti)));
    EXPECT_EQ(static_cast<UINT>(TTF_SUBCLASS), ti.uFlags);
    EXPECT_EQ(band.Window(), ti.hwnd);
    EXPECT_EQ(0u, ti.uId);
    EXPECT_EQ(0, ti.rect.left);
    EXPECT_EQ(0, ti.rect.top);
    EXPECT_EQ(100, ti.rect.right);
    EXPECT_EQ(100, ti.rect.bottom);
    EXPECT_EQ(dll.Get(), ti.hinst);
    EXPECT_EQ(0, ti.lParam);

    EXPECT_EQ(1000, SendMessageW(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));

    const LONG style = GetWindowLongW(tip, GWL_STYLE);
    const LONG wanted = WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX | TTS_BALLOON;
    EXPECT_EQ(wanted, style & wanted) << std::hex << style;
    EXPECT_TRUE(GetWindowLongW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(host.Get(), GetWindow(tip, GW_OWNER));
    // Made topmost without taking the activation from the taskbar.
    EXPECT_NE(tip, GetActiveWindow());

    band.Remove();
    EXPECT_FALSE(IsWindow(tip)) << "closing the band takes its tip along";
}

TEST_F(TooltipTest, ABandShownAgainReadsTheSettingsAgain) {
    ASSERT_EQ(ERROR_SUCCESS, settings.SetString(kValue, L"first text"));
    wt::HostedBand band(dll, host.Get());
    ASSERT_TRUE(band.Ok());
    SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    ASSERT_EQ(1u, TooltipsOf(host.Get()).size());
    EXPECT_EQ(L"first text", ReadToolText(TooltipsOf(host.Get())[0], band.Window()).byToolInfo);

    // A changed text shows only in a tip made later.
    ASSERT_EQ(ERROR_SUCCESS, settings.SetString(kValue, L"second text"));
    SendMessageW(band.Window(), WM_MOUSEMOVE, 0, MAKELPARAM(8, 8));
    EXPECT_EQ(L"first text", ReadToolText(TooltipsOf(host.Get())[0], band.Window()).byToolInfo);

    band.Remove();
    ASSERT_TRUE(TooltipsOf(host.Get()).empty());
    ASSERT_TRUE(SUCCEEDED(band.Site()->AddBand(band.Band())));
    HWND hwndAgain = band.Site()->Bands().back().hwnd;
    ASSERT_TRUE(IsWindow(hwndAgain));
    SendMessageW(hwndAgain, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    const std::vector<HWND> tips = TooltipsOf(host.Get());
    ASSERT_EQ(1u, tips.size());
    EXPECT_EQ(L"second text", ReadToolText(tips[0], hwndAgain).byToolInfo);
}

} // namespace
