// The icon style a band object reads at construction from
// HKCU\Software\VantrelHELP "REPRESENTATIVE_ICON".
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "band/settings.h"
#include "server/module.h"
#include "support/desk_band_access.h"
#include "support/settings_key.h"

namespace {

constexpr wchar_t kValue[] = L"REPRESENTATIVE_ICON";

// The style a freshly constructed band object took.
int ConstructedStyle() {
    CDeskBand* pBand = new CDeskBand();
    const int style = CDeskBandTestAccess::m_nRepresentativeIcon(*pBand);
    EXPECT_EQ(0u, pBand->Release());
    return style;
}

std::vector<BYTE> Utf16Bytes(const std::wstring& text, bool fTerminator) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + (fTerminator ? 1 : 0)) * sizeof(wchar_t));
}

TEST(IconStyle, KeyMissingGivesOne) {
    ScopedSettingsKey settings;
    EXPECT_EQ(1, ConstructedStyle());
}

TEST(IconStyle, ValueMissingGivesOne) {
    ScopedSettingsKey settings;
    settings.CreateEmpty();
    ASSERT_EQ(ERROR_SUCCESS, settings.SetString(L"TECHSUPPORT_TEXT", L"7"));
    EXPECT_EQ(1, ConstructedStyle());
}

struct StyleCase {
    const char* name;
    DWORD type;
    std::vector<BYTE> data;
    int expected;
};

void PrintTo(const StyleCase& c, std::ostream* os) {
    *os << c.name;
}

class IconStyleCases : public testing::TestWithParam<StyleCase> {};

TEST_P(IconStyleCases, ConstructionReadsTheStyle) {
    const StyleCase& c = GetParam();
    ScopedSettingsKey settings;
    ASSERT_EQ(ERROR_SUCCESS,
              settings.SetRaw(kValue, c.type, c.data.data(), static_cast<DWORD>(c.data.size())));
    EXPECT_EQ(c.expected, ConstructedStyle());
}

StyleCase Sz(const char* name, const std::wstring& text, int expected) {
    return {name, REG_SZ, Utf16Bytes(text, true), expected};
}

// 1023 characters fill the 2046-byte limit exactly; one more does not fit.
const std::wstring kFillsLimit = L"7" + std::wstring(1022, L'x');
const std::wstring kOverLimit = L"7" + std::wstring(1023, L'x');

INSTANTIATE_TEST_SUITE_P(
    Table, IconStyleCases,
    testing::Values(
        Sz("one", L"1", 1), Sz("three", L"3", 3), Sz("eight", L"8", 8), Sz("nine", L"9", 1),
        Sz("zero", L"0", 1), Sz("negative", L"-3", 1), Sz("plus_sign", L"+4", 4),
        Sz("empty", L"", 1), Sz("leading_blanks", L"   3", 3),
        Sz("leading_tab_and_newline", L"\t\n 6", 6), Sz("trailing_letters", L"5abc", 5),
        Sz("letters_first", L"x5", 1), Sz("blank_then_letter", L" a2", 1),
        Sz("sign_then_blank", L"- 2", 1), Sz("leading_zeros", L"0002", 2),
        // Over 32 bits: cut to 32 bits these would read 5 and 2, clamped they
        // are out of range.
        Sz("over_32_bits", L"4294967301", 1), Sz("below_32_bits", L"-4294967294", 1),
        Sz("int_max", L"2147483647", 1),
        // No terminator stored: the zero-filled buffer ends the text.
        StyleCase{"sz_without_terminator", REG_SZ, Utf16Bytes(L"6", false), 6},
        // Exactly the byte limit: read; one character more: not read at all.
        StyleCase{"fills_byte_limit_unterminated", REG_SZ, Utf16Bytes(kFillsLimit, false), 7},
        Sz("fills_byte_limit_with_terminator", kFillsLimit.substr(0, 1022), 7),
        Sz("longer_than_byte_limit", kOverLimit.substr(0, 1023), 1),
        StyleCase{"longer_than_byte_limit_unterminated", REG_SZ, Utf16Bytes(kOverLimit, false), 1},
        // The type is not looked at: the bytes are taken as UTF-16 text.
        StyleCase{"binary_holding_text", REG_BINARY, Utf16Bytes(L"6", true), 6},
        StyleCase{"dword_holding_text", REG_DWORD, Utf16Bytes(L"4", true), 4},
        StyleCase{"expand_sz", REG_EXPAND_SZ, Utf16Bytes(L"2", true), 2},
        StyleCase{"multi_sz", REG_MULTI_SZ, {'3', 0, 0, 0, 0, 0}, 3},
        // A DWORD 6 is the character U+0006, not a digit.
        StyleCase{"dword_number", REG_DWORD, {6, 0, 0, 0}, 1},
        // Narrow text is one character followed by a terminator in UTF-16.
        StyleCase{"narrow_text", REG_BINARY, {'7', '8', 0, 0}, 1}),
    [](const testing::TestParamInfo<StyleCase>& info) { return std::string(info.param.name); });

TEST(IconStyle, ReadOncePerObject) {
    ScopedSettingsKey settings;
    ASSERT_EQ(ERROR_SUCCESS, settings.SetString(kValue, L"4"));
    CDeskBand* pBand = new CDeskBand();
    ASSERT_EQ(ERROR_SUCCESS, settings.SetString(kValue, L"6"));
    EXPECT_EQ(4, CDeskBandTestAccess::m_nRepresentativeIcon(*pBand));
    EXPECT_EQ(6, ConstructedStyle());
    EXPECT_EQ(0u, pBand->Release());
}

struct ParseCase {
    const wchar_t* text;
    int expected;
};

class ParseIconStyleCases : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseIconStyleCases, Parses) {
    EXPECT_EQ(GetParam().expected, ParseIconStyle(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Table, ParseIconStyleCases,
                         testing::Values(ParseCase{L"8", 8}, ParseCase{L"9", 1}, ParseCase{L"0", 1},
                                         ParseCase{L"-1", 1}, ParseCase{L" \t3", 3},
                                         ParseCase{L"5x", 5}, ParseCase{L"q5", 1},
                                         ParseCase{L"", 1}, ParseCase{L"99999999999999999999", 1},
                                         ParseCase{L"4294967297", 1},
                                         ParseCase{L"-4294967295", 1}));

} // namespace
