// Reads the per-user settings under HKCU\Software\VantrelHELP.
#pragma once

#include <windows.h>

#include "server/names.h"

using SettingText = wchar_t[names::kSettingTextChars];

// Reads a value as UTF-16 text, whatever its registry type, into a zero-filled
// buffer whose last character always stays a terminator. False when the key or
// the value is missing, or the value does not fit.
bool ReadSettingText(const wchar_t* valueName, SettingText& text);

// The icon style 1..8 from its decimal text; 1 for anything else.
int ParseIconStyle(const wchar_t* text);

// The icon style the settings ask for, 1 when they ask for nothing usable.
int ReadIconStyle();
