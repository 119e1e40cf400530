#include "band/settings.h"

#include <cwchar>

#include "server/reg_key.h"

namespace {
constexpr int kDefaultIconStyle = 1;
constexpr int kIconStyleCount = 8;
} // namespace

bool ReadSettingText(const wchar_t* valueName, SettingText& text) {
    ZeroMemory(text, sizeof(text));
    RegKey key;
    if (key.Open(HKEY_CURRENT_USER, names::kSettingsKey, KEY_READ | KEY_WOW64_64KEY) !=
        ERROR_SUCCESS) {
        return false;
    }
    DWORD cb = names::kSettingTextMaxBytes;
    const LSTATUS status = RegQueryValueExW(key.Get(), valueName, nullptr, nullptr,
                                            reinterpret_cast<BYTE*>(text), &cb);
    if (status != ERROR_SUCCESS) {
        // A value too large for the buffer may have left part of itself behind.
        ZeroMemory(text, sizeof(text));
        return false;
    }
    return true;
}

int ParseIconStyle(const wchar_t* text) {
    const long value = wcstol(text, nullptr, 10);
    return (value >= 1 && value <= kIconStyleCount) ? static_cast<int>(value) : kDefaultIconStyle;
}

int ReadIconStyle() {
    SettingText text;
    if (!ReadSettingText(names::kIconStyleValue, text)) {
        return kDefaultIconStyle;
    }
    return ParseIconStyle(text);
}
