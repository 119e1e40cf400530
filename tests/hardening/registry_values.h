// Settings values as a broken or hostile registry may hold them: every
// registry type, embedded and missing terminators, odd byte counts, empty
// values, values at and around the size limit, far longer ones and seeded
// random bytes. Each case carries the raw bytes; the reference answers below
// say what the band must make of them.
#pragma once

#include <windows.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "hardening/hardening.h"

namespace hardening {

struct RawValue {
    std::string name;
    DWORD type;
    std::vector<BYTE> bytes;
};

// The bytes of UTF-16 text, with or without its terminator.
inline std::vector<BYTE> TextBytes(const std::wstring& text, bool fTerminator) {
    std::vector<BYTE> bytes((text.size() + (fTerminator ? 1 : 0)) * sizeof(wchar_t));
    std::memcpy(bytes.data(), text.c_str(), bytes.size());
    return bytes;
}

// A text of n characters that ends in a digit, so that a cut changes it.
inline std::wstring Filler(size_t n, wchar_t first) {
    std::wstring text(n, L'x');
    for (size_t i = 0; i < n; ++i) {
        text[i] = static_cast<wchar_t>(L'a' + (i + first) % 26);
    }
    if (n > 0) {
        text[0] = first;
    }
    return text;
}

// The fixed cases, shared by both values.
inline std::vector<RawValue> FixedRegistryCases() {
    static const DWORD kTypes[] = {REG_NONE,
                                   REG_SZ,
                                   REG_EXPAND_SZ,
                                   REG_BINARY,
                                   REG_DWORD,
                                   REG_DWORD_BIG_ENDIAN,
                                   REG_LINK,
                                   REG_MULTI_SZ,
                                   REG_RESOURCE_LIST,
                                   REG_FULL_RESOURCE_DESCRIPTOR,
                                   REG_RESOURCE_REQUIREMENTS_LIST,
                                   REG_QWORD,
                                   0x7FFF,
                                   0xFFFFFFFF};
    std::vector<RawValue> cases;
    auto add = [&](const std::string& name, DWORD type, std::vector<BYTE> bytes) {
        cases.push_back({name, type, std::move(bytes)});
    };
    for (DWORD type : kTypes) {
        const std::string t = "type " + std::to_string(type) + ": ";
        add(t + "\"5\" terminated", type, TextBytes(L"5", true));
        add(t + "\"7\" unterminated", type, TextBytes(L"7", false));
        add(t + "empty", type, {});
        add(t + "one byte", type, {'6'});
        const DWORD dword = 4;
        add(t + "DWORD 4", type,
            std::vector<BYTE>(reinterpret_cast<const BYTE*>(&dword),
                              reinterpret_cast<const BYTE*>(&dword) + 4));
        add(t + "\"3\" then a terminator then \"99\"", type,
            TextBytes(std::wstring(L"3\0"
                                   L"99",
                                   4),
                      true));
        add(t + "multi-string \"2\",\"8\"", type,
            TextBytes(std::wstring(L"2\0"
                                   L"8\0",
                                   4),
                      true));
    }
    // Odd byte counts: the last character is half there.
    for (size_t cb : {1u, 3u, 5u, 2045u, 2047u, 2049u}) {
        std::vector<BYTE> bytes = TextBytes(L"6" + Filler(1100, L'q'), false);
        bytes.resize(cb);
        add("odd count " + std::to_string(cb), REG_SZ, bytes);
    }
    // Around the limit of 2046 bytes (1023 characters).
    for (size_t cb : {2044u, 2045u, 2046u, 2047u, 2048u, 2050u}) {
        std::vector<BYTE> bytes = TextBytes(L"8" + Filler(1100, L'k'), false);
        bytes.resize(cb);
        add("text of " + std::to_string(cb) + " bytes, no terminator", REG_SZ, bytes);
        std::vector<BYTE> terminated = bytes;
        if (cb >= 2) {
            terminated[cb - 2] = terminated[cb - 1] = 0;
        }
        add("text of " + std::to_string(cb) + " bytes, terminated", REG_SZ, terminated);
    }
    add("1022 characters and a terminator", REG_SZ, TextBytes(L"2" + Filler(1021, L'b'), true));
    add("1023 characters and a terminator", REG_SZ, TextBytes(L"2" + Filler(1022, L'b'), true));
    add("1023 characters, no terminator", REG_SZ, TextBytes(L"3" + Filler(1022, L'c'), false));
    for (size_t n : {4096u, 65536u, 1000000u}) {
        add(std::to_string(n) + " characters", REG_SZ, TextBytes(L"4" + Filler(n - 1, L'd'), true));
    }
    // Numbers as the style parse meets them.
    for (const wchar_t* text : {L"0",
                                L"9",
                                L"-3",
                                L"+4",
                                L"  \t 6",
                                L"5abc",
                                L"x5",
                                L"00000000000000000007",
                                L"2147483647",
                                L"2147483648",
                                L"4294967297",
                                L"-2147483648",
                                L"99999999999999999999",
                                L"\x0663",
                                L"\xFF13",
                                L"1 2",
                                L"--2",
                                L"+-2",
                                L" +8 ",
                                L"\n\r\v\f3"}) {
        add("number text", REG_SZ, TextBytes(text, true));
    }
    return cases;
}

// Seeded random values: random types, lengths and bytes, some of them
// made of digit-like characters so that the parse is reached.
inline RawValue RandomRegistryValue(Rng& rng) {
    RawValue value;
    value.type = rng.OneIn(2) ? REG_SZ : static_cast<DWORD>(rng.Below(12));
    size_t cb;
    switch (rng.Below(4)) {
    case 0:
        cb = rng.Below(16);
        break;
    case 1:
        cb = 2040 + rng.Below(12);
        break;
    case 2:
        cb = rng.Below(5000);
        break;
    default:
        cb = rng.Below(64);
        break;
    }
    value.bytes.resize(cb);
    const bool fTextish = rng.OneIn(2);
    static const wchar_t kAlphabet[] = L"0123456789+- \t\nxX\x0660\xFF10\x00A0\x3000";
    for (size_t i = 0; i < cb; ++i) {
        if (fTextish && i % 2 == 0) {
            const wchar_t c = kAlphabet[rng.Below(sizeof(kAlphabet) / sizeof(wchar_t) - 1)];
            value.bytes[i] = static_cast<BYTE>(c & 0xFF);
            if (i + 1 < cb) {
                value.bytes[i + 1] = static_cast<BYTE>(c >> 8);
                ++i;
            }
        } else {
            value.bytes[i] = static_cast<BYTE>(rng.Next());
        }
    }
    value.name = "random type " + std::to_string(value.type) + ", " + std::to_string(cb) + " bytes";
    return value;
}

// What a reader with a 1024-character zero-filled buffer and a 2046-byte
// limit holds afterwards: the value's bytes when they fit, else nothing.
struct ReadBack {
    bool fits;
    std::wstring text; // up to the first terminator
};

inline ReadBack ReferenceRead(const std::vector<BYTE>& bytes) {
    ReadBack r = {bytes.size() <= 2046, L""};
    if (!r.fits) {
        return r;
    }
    wchar_t buffer[1024] = {};
    std::memcpy(buffer, bytes.data(), bytes.size());
    r.text.assign(buffer);
    return r;
}

// The style from a number in text: blanks, one sign, decimal digits; 1..8
// gives itself, everything else 1. Works on 64-bit values with saturation,
// unlike the 32-bit clamping parse it checks.
inline int ReferenceStyle(const std::wstring& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || (text[i] >= L'\t' && text[i] <= L'\r'))) {
        ++i;
    }
    bool fNegative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        fNegative = text[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (value < 1000000000000LL) {
            value = value * 10 + (text[i] - L'0');
        }
    }
    if (fNegative) {
        value = -value;
    }
    return (value >= 1 && value <= 8) ? static_cast<int>(value) : 1;
}

// Only ASCII blanks and digits have an answer here; other scripts' digits
// and spaces are the run-time library's business.
inline bool ReferenceKnows(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c > 0x7F) {
            return false;
        }
    }
    return true;
}

// Stores the value under HKCU\Software\VantrelHELP (which must exist or be
// creatable) and returns the bytes the registry holds afterwards, the truth
// the band meets. Two non-zero bytes follow the data in memory: Wine's
// RegSetValueExW looks one character past the count of a string value and
// counts a terminator it finds there as part of the value.
inline bool StoreValue(const wchar_t* name, const RawValue& value, std::vector<BYTE>& stored) {
    std::vector<BYTE> padded(value.bytes);
    padded.push_back(0xFF);
    padded.push_back(0xFF);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\VantrelHELP", 0, nullptr, 0,
                        KEY_READ | KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = RegSetValueExW(key, name, 0, value.type, padded.data(),
                             static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
    DWORD cb = 0;
    ok = ok && RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &cb) == ERROR_SUCCESS;
    stored.assign(cb, 0);
    ok = ok && RegQueryValueExW(key, name, nullptr, nullptr, stored.data(), &cb) == ERROR_SUCCESS;
    stored.resize(cb);
    RegCloseKey(key);
    return ok;
}

inline std::string Describe(const RawValue& v) {
    return v.name + " (type " + std::to_string(v.type) + ", " + std::to_string(v.bytes.size()) +
           " bytes)";
}

} // namespace hardening
