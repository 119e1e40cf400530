// GetBandInfo as the host sees it, its cases as one table,
// with every member the band must leave alone prefilled with a sentinel.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "hosting/hosting_harness.h"

namespace hosting {
namespace {

constexpr DWORD kAllFlags = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                            DBIM_MODEFLAGS | DBIM_BKCOLOR;
constexpr LONG kSentinel = 0x5A5A;
constexpr COLORREF kSentinelColour = RGB(1, 2, 3);
constexpr wchar_t kSentinelTitle[] = L"host's own title";
// A flag that is none of the seven: it stays set and nothing is written for it.
constexpr DWORD kForeignFlag = 0x1000;

DESKBANDINFO Prefilled(DWORD dwMask) {
    DESKBANDINFO dbi = {};
    dbi.dwMask = dwMask;
    dbi.ptMinSize = {kSentinel, kSentinel};
    dbi.ptMaxSize = {kSentinel, kSentinel};
    dbi.ptIntegral = {kSentinel, kSentinel};
    dbi.ptActual = {kSentinel, kSentinel};
    lstrcpynW(dbi.wszTitle, kSentinelTitle, 256);
    dbi.dwModeFlags = 0xA5A5;
    dbi.crBkgnd = kSentinelColour;
    return dbi;
}

struct BandInfoCase {
    const char* name;
    bool fParent; // sited on a host window of the size below
    int cxParent;
    int cyParent;
    DWORD dwMask;
    bool fNullPointer;
    // What the host must find afterwards.
    HRESULT hr;
    LONG size; // ptMinSize.x and ptActual.x
};
void PrintTo(const BandInfoCase& c, std::ostream* os) {
    *os << c.name;
}

const BandInfoCase kCases[] = {
    {"NoParent", false, 0, 0, kAllFlags | kForeignFlag, false, S_OK, 0},
    {"Parent800x40", true, 800, 40, kAllFlags | kForeignFlag, false, S_OK, 32},
    {"Parent60x600", true, 60, 600, kAllFlags | kForeignFlag, false, S_OK, 32},
    {"Parent50x50", true, 50, 50, kAllFlags | kForeignFlag, false, S_OK, 32},
    {"MaskZero", true, 800, 40, 0, false, S_OK, 32},
    {"NullPointerWithParent", true, 800, 40, kAllFlags, true, E_INVALIDARG, 32},
};

class GetBandInfoTable : public HostedBandTest,
                         public ::testing::WithParamInterface<BandInfoCase> {};

TEST_P(GetBandInfoTable, AnswersAsThePartSays) {
    const BandInfoCase& c = GetParam();
    ScriptedBandSite bandSite; // sees the hide request, so the stored id can be read
    ASSERT_EQ(S_OK, bandSite.Registration());
    if (c.fParent) {
        m_host.Move({0, 0, c.cxParent, c.cyParent});
        RECT rc = {};
        GetClientRect(m_host.Get(), &rc);
        ASSERT_EQ(c.cxParent, rc.right);
        ASSERT_EQ(c.cyParent, rc.bottom);
        ASSERT_EQ(S_OK, Site());
    }

    // A first call with an id the case's call must replace (or, for the
    // null pointer, keep).
    DESKBANDINFO first = Prefilled(0);
    ASSERT_EQ(S_OK, m_pBand->GetBandInfo(5, DBIF_VIEWMODE_NORMAL, &first));

    DESKBANDINFO dbi = Prefilled(c.dwMask);
    const HRESULT hr =
        m_pBand->GetBandInfo(77, DBIF_VIEWMODE_VERTICAL, c.fNullPointer ? nullptr : &dbi);
    EXPECT_EQ(c.hr, hr);

    // Which id the band asks the band site to remove is the one it stored.
    if (c.fParent) {
        const UINT uHide = RegisterWindowMessageW(kHideMessage);
        SendMessageW(BandWindow(), uHide, 0, 0);
        ASSERT_EQ(1u, bandSite.Removed().size());
        EXPECT_EQ(c.fNullPointer ? 5u : 77u, bandSite.Removed()[0]);
    }
    if (c.fNullPointer) {
        return;
    }

    const DESKBANDINFO untouched = Prefilled(c.dwMask);
    // Never written, whatever the mask.
    EXPECT_EQ(kSentinel, dbi.ptMaxSize.x);
    EXPECT_EQ(kSentinel, dbi.ptIntegral.x);
    EXPECT_STREQ(kSentinelTitle, dbi.wszTitle);
    EXPECT_EQ(kSentinelColour, dbi.crBkgnd);

    if (c.dwMask == 0) {
        EXPECT_EQ(0, memcmp(&untouched, &dbi, sizeof(dbi))) << "mask 0 wrote something";
        return;
    }
    EXPECT_EQ(kForeignFlag | DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL |
                  DBIM_MODEFLAGS,
              dbi.dwMask)
        << "DBIM_TITLE and DBIM_BKCOLOR are cleared, every other flag stays";
    EXPECT_EQ(c.size, dbi.ptMinSize.x);
    EXPECT_EQ(32, dbi.ptMinSize.y);
    EXPECT_EQ(-1, dbi.ptMaxSize.y);
    EXPECT_EQ(1, dbi.ptIntegral.y);
    EXPECT_EQ(c.size, dbi.ptActual.x);
    EXPECT_EQ(-1, dbi.ptActual.y);
    EXPECT_EQ(static_cast<DWORD>(DBIMF_VARIABLEHEIGHT), dbi.dwModeFlags);
}

INSTANTIATE_TEST_SUITE_P(Part22, GetBandInfoTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BandInfoCase>& info) {
                             return std::string(info.param.name);
                         });

// Each flag alone writes only its own members.
TEST_F(HostedBandTest, GetBandInfoEachFlagAloneWritesOnlyItsMembers) {
    ASSERT_EQ(S_OK, Site());
    struct Flag {
        DWORD flag;
        DWORD maskAfter;
    };
    const Flag flags[] = {{DBIM_MINSIZE, DBIM_MINSIZE},
                          {DBIM_MAXSIZE, DBIM_MAXSIZE},
                          {DBIM_INTEGRAL, DBIM_INTEGRAL},
                          {DBIM_ACTUAL, DBIM_ACTUAL},
                          {DBIM_TITLE, 0},
                          {DBIM_MODEFLAGS, DBIM_MODEFLAGS},
                          {DBIM_BKCOLOR, 0}};
    for (const Flag& f : flags) {
        SCOPED_TRACE(testing::Message() << "flag 0x" << std::hex << f.flag);
        DESKBANDINFO dbi = Prefilled(f.flag);
        DESKBANDINFO expected = Prefilled(f.maskAfter);
        switch (f.flag) {
        case DBIM_MINSIZE:
            expected.ptMinSize = {32, 32};
            break;
        case DBIM_MAXSIZE:
            expected.ptMaxSize.y = -1;
            break;
        case DBIM_INTEGRAL:
            expected.ptIntegral.y = 1;
            break;
        case DBIM_ACTUAL:
            expected.ptActual = {32, -1};
            break;
        case DBIM_MODEFLAGS:
            expected.dwModeFlags = DBIMF_VARIABLEHEIGHT;
            break;
        default:
            break;
        }
        ASSERT_EQ(S_OK, m_pBand->GetBandInfo(3, DBIF_VIEWMODE_NORMAL, &dbi));
        EXPECT_EQ(0, memcmp(&expected, &dbi, sizeof(dbi)));
    }
}

} // namespace
} // namespace hosting
