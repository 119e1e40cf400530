// The settings reader and the style parse against bad registry data: the
// reader never touches memory outside its buffer (canaries on both sides),
// always leaves a terminator, holds exactly the bytes that fit; every band
// constructs with a style 1..8.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "band/desk_band.h"
#include "band/settings.h"
#include "hardening/hardening.h"
#include "hardening/registry_values.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"
#include "support/settings_key.h"

namespace hardening {
namespace {

constexpr unsigned char kCanary = 0xA5;
constexpr size_t kCanaryBytes = 256;

// The reader's buffer between two fenced-off areas.
struct Fenced {
    unsigned char before[kCanaryBytes];
    SettingText text;
    unsigned char after[kCanaryBytes];

    Fenced() {
        std::memset(before, kCanary, sizeof(before));
        std::memset(text, 0x5A, sizeof(text)); // the reader must clear it itself
        std::memset(after, kCanary, sizeof(after));
    }
    bool FencesIntact() const {
        for (size_t i = 0; i < kCanaryBytes; ++i) {
            if (before[i] != kCanary || after[i] != kCanary) {
                return false;
            }
        }
        return true;
    }
    bool AllZero() const {
        for (wchar_t c : text) {
            if (c != 0) {
                return false;
            }
        }
        return true;
    }
};

class SettingsBounds : public testing::Test {
  protected:
    // Reads the value back through the band's reader and through a band's
    // construction, and compares both with the reference.
    void Check(const RawValue& value) {
        SCOPED_TRACE(Describe(value));
        m_key.RemoveKey();
        std::vector<BYTE> stored;
        for (const wchar_t* name : {L"REPRESENTATIVE_ICON", L"TECHSUPPORT_TEXT"}) {
            ASSERT_TRUE(StoreValue(name, value, stored));
        }
        const ReadBack want = ReferenceRead(stored);
        for (const wchar_t* name : {L"REPRESENTATIVE_ICON", L"TECHSUPPORT_TEXT"}) {
            Fenced fenced;
            const bool fRead = ReadSettingText(name, fenced.text);
            EXPECT_TRUE(fenced.FencesIntact()) << "the reader wrote outside its buffer";
            EXPECT_EQ(0, fenced.text[names::kSettingTextChars - 1]) << "no terminator";
            EXPECT_EQ(want.fits, fRead);
            if (want.fits) {
                // Exactly the stored bytes, and zeros after them.
                EXPECT_EQ(0, std::memcmp(fenced.text, stored.data(), stored.size()));
                const BYTE* rest = reinterpret_cast<const BYTE*>(fenced.text) + stored.size();
                for (size_t i = stored.size(); i < sizeof(fenced.text); ++i, ++rest) {
                    if (*rest != 0) {
                        ADD_FAILURE() << "byte " << i << " after the value is not zero";
                        break;
                    }
                }
            } else {
                EXPECT_TRUE(fenced.AllZero()) << "a value that does not fit left a part behind";
            }
        }

        CDeskBand* pBand = new CDeskBand();
        const int style = CDeskBandTestAccess::m_nRepresentativeIcon(*pBand);
        EXPECT_GE(style, 1);
        EXPECT_LE(style, 8);
        if (!want.fits) {
            EXPECT_EQ(1, style);
        } else if (ReferenceKnows(want.text)) {
            EXPECT_EQ(ReferenceStyle(want.text), style);
        }
        EXPECT_GE(pBand->GetIconResourceId(false), 109);
        EXPECT_LE(pBand->GetIconResourceId(true), 140);
        EXPECT_EQ(0u, pBand->Release());
        ++m_checked;
    }

    ComApartment m_apartment;
    ScopedSettingsKey m_key;
    int m_checked = 0;
};

TEST_F(SettingsBounds, FixedBadValuesStayInsideTheBuffer) {
    for (const RawValue& value : FixedRegistryCases()) {
        Check(value);
        if (HasFatalFailure() || HasFailure()) {
            break;
        }
    }
    std::printf("[ counts ] settings reader: %d fixed values\n", m_checked);
}

TEST_F(SettingsBounds, SeededRandomValuesStayInsideTheBuffer) {
    Rng rng = Rng::ForTest("SettingsBounds.SeededRandom");
    Budget budget(1500, 60000);
    while (budget.More()) {
        Check(RandomRegistryValue(rng));
        if (HasFatalFailure() || HasFailure()) {
            break;
        }
    }
    std::printf("[ counts ] settings reader: %d random values\n", m_checked);
}

TEST_F(SettingsBounds, MissingKeyOrValueReadsNothing) {
    for (int step = 0; step < 2; ++step) {
        if (step == 1) {
            m_key.CreateEmpty();
        }
        Fenced fenced;
        EXPECT_FALSE(ReadSettingText(L"TECHSUPPORT_TEXT", fenced.text));
        EXPECT_TRUE(fenced.FencesIntact());
        EXPECT_TRUE(fenced.AllZero());
    }
}

} // namespace
} // namespace hardening
