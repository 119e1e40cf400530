#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "server/format.h"

namespace {

constexpr HRESULT kInsufficientBuffer = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
constexpr wchar_t kFill = L'#';

TEST(FormatToBuffer, RejectsCapacityZeroAndAboveIntMaxWithoutWriting) {
    wchar_t buffer[4] = {kFill, kFill, kFill, kFill};
    EXPECT_EQ(E_INVALIDARG, FormatToBuffer(buffer, 0, L"x"));
    EXPECT_EQ(E_INVALIDARG, FormatToBuffer(buffer, size_t{0x80000000}, L"x"));
    for (wchar_t c : buffer) {
        EXPECT_EQ(kFill, c);
    }
}

struct FormatCase {
    size_t capacity;
    const wchar_t* format;
    int argument;
    HRESULT expected;
    const wchar_t* text;
};

class FormatToBufferCases : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatToBufferCases, WritesWithinCapacityAndTerminates) {
    const FormatCase& c = GetParam();
    wchar_t buffer[16];
    wmemset(buffer, kFill, 16);
    EXPECT_EQ(c.expected, FormatToBuffer(buffer, c.capacity, c.format, c.argument));
    EXPECT_STREQ(c.text, buffer);
    for (size_t i = c.capacity; i < 16; ++i) {
        EXPECT_EQ(kFill, buffer[i]) << "written past the end at " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatToBufferCases,
    testing::Values(FormatCase{8, L"n=%d", 42, S_OK, L"n=42"},               // fits with room
                    FormatCase{5, L"n=%d", 42, S_OK, L"n=42"},               // exactly capacity - 1
                    FormatCase{4, L"n=%d", 42, kInsufficientBuffer, L"n=4"}, // one too long
                    FormatCase{1, L"n=%d", 42, kInsufficientBuffer, L""},    // room for nothing
                    FormatCase{12, L"%d", -2147483647 - 1, S_OK, L"-2147483648"}));

TEST(FormatToBuffer, FormatsWideStringArguments) {
    wchar_t buffer[64];
    EXPECT_EQ(S_OK, FormatToBuffer(buffer, 64, L"CLSID\\%s\\InprocServer32", L"{ABC}"));
    EXPECT_STREQ(L"CLSID\\{ABC}\\InprocServer32", buffer);
}

} // namespace
