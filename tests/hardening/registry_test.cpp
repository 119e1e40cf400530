// Bad settings data, met by the built DLL: whatever the registry holds under
// REPRESENTATIVE_ICON and TECHSUPPORT_TEXT, a band constructs with a style
// 1..8 (seen in the picture it paints) and its tooltip holds at most 1023
// characters, exactly the ones that fit.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "hardening/band_windows.h"
#include "hardening/hardening.h"
#include "hardening/picture.h"
#include "hardening/registry_values.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_module.h"
#include "support/com_test.h"
#include "support/settings_key.h"

namespace hardening {
namespace {

constexpr wchar_t kDefaultTip[] =
    L"Click here for instant access to technical support from the Vantrel Help";

class BadSettings : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dll.Loaded());
        m_pSite = new shell::BandSite(m_host.Get());
    }
    void TearDown() override {
        EXPECT_EQ(0u, m_pSite->Release());
        EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    }

    struct Seen {
        int style = 0; // 0: no style's picture matched
        std::wstring tip;
        bool fTip = false;
    };

    // Hosts one band with the settings as they stand, paints it, hovers it
    // and reads its tooltip; then removes and releases it.
    Seen HostOnce(bool fExpectStyle, int expectedStyle) {
        Seen seen;
        IDeskBand* pBand = nullptr;
        EXPECT_EQ(S_OK, m_dll.CreateBand(IID_IDeskBand, &pBand));
        if (pBand == nullptr) {
            return seen;
        }
        EXPECT_TRUE(SUCCEEDED(m_pSite->AddBand(pBand)));
        const DWORD id = m_pSite->Bands().empty() ? 0 : m_pSite->Bands().back().dwBandID;
        HWND hwnd = nullptr;
        pBand->GetWindow(&hwnd);
        if (fExpectStyle) {
            const std::string diff = CheckPaintedIcon(hwnd, m_dll.Get(), expectedStyle, false);
            seen.style = diff.empty() ? expectedStyle : 0;
            EXPECT_EQ("", diff);
        } else {
            for (int style = 1; style <= 8 && seen.style == 0; ++style) {
                if (CheckPaintedIcon(hwnd, m_dll.Get(), style, false).empty()) {
                    seen.style = style;
                }
            }
        }
        SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
        const std::vector<HWND> tips = TooltipsOwnedBy(m_host.Get());
        EXPECT_EQ(1u, tips.size());
        if (tips.size() == 1) {
            // Far more room than any tip may hold, so a longer one would show.
            std::vector<wchar_t> text(8192, L'#');
            TOOLINFOW ti = {};
            ti.cbSize = sizeof(ti);
            ti.hwnd = hwnd;
            ti.uId = 0;
            ti.lpszText = text.data();
            SendMessageW(tips[0], TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&ti));
            seen.tip.assign(text.data(), wcsnlen(text.data(), text.size()));
            seen.fTip = true;
        }
        m_pSite->RemoveBand(id);
        EXPECT_EQ(0u, pBand->Release());
        return seen;
    }

    // Stores the value under both names and checks what one band makes of it.
    void Check(const RawValue& value) {
        SCOPED_TRACE(Describe(value));
        m_key.RemoveKey();
        std::vector<BYTE> stored;
        for (const wchar_t* name : {L"REPRESENTATIVE_ICON", L"TECHSUPPORT_TEXT"}) {
            ASSERT_TRUE(StoreValue(name, value, stored));
        }
        const ReadBack read = ReferenceRead(stored);
        const bool fKnown = !read.fits || ReferenceKnows(read.text);
        const int expected = read.fits ? ReferenceStyle(read.text) : 1;
        const Seen seen = HostOnce(fKnown, expected);
        EXPECT_GE(seen.style, 1) << "the band painted no style's picture";
        EXPECT_LE(seen.style, 8);
        ASSERT_TRUE(seen.fTip);
        EXPECT_LE(seen.tip.size(), 1023u);
        EXPECT_TRUE(seen.tip == (read.fits ? read.text : std::wstring(kDefaultTip)))
            << "tip of " << seen.tip.size() << " characters, expected "
            << (read.fits ? read.text.size() : wcslen(kDefaultTip));
        ++m_checked;
    }

    ComApartment m_apartment;
    ScopedSettingsKey m_key;
    BandModule m_dll;
    shell::HostWindow m_host{RECT{0, 560, 800, 600}};
    shell::BandSite* m_pSite = nullptr;
    int m_checked = 0;
};

TEST_F(BadSettings, EveryTypeTerminatorAndLengthGivesAStyleAndABoundedTip) {
    for (const RawValue& value : FixedRegistryCases()) {
        Check(value);
        if (HasFatalFailure()) {
            return;
        }
    }
    std::printf("[ counts ] bad settings: %d fixed values hosted\n", m_checked);
}

TEST_F(BadSettings, SeededRandomBytesGiveAStyleAndABoundedTip) {
    Rng rng = Rng::ForTest("BadSettings.SeededRandomBytes");
    Budget budget(150, 60000);
    while (budget.More()) {
        Check(RandomRegistryValue(rng));
        if (HasFatalFailure()) {
            return;
        }
    }
    std::printf("[ counts ] bad settings: %d random values hosted\n", m_checked);
}

TEST_F(BadSettings, MissingKeyAndMissingValuesGiveStyleOneAndTheDefaultTip) {
    const Seen noKey = HostOnce(true, 1);
    EXPECT_EQ(1, noKey.style);
    EXPECT_TRUE(noKey.tip == kDefaultTip);
    m_key.CreateEmpty();
    const Seen noValues = HostOnce(true, 1);
    EXPECT_EQ(1, noValues.style);
    EXPECT_TRUE(noValues.tip == kDefaultTip);
}

} // namespace
} // namespace hardening
