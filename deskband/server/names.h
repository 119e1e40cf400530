// Every name the band shares with the system or with other programs: the
// settings key and its values, the window class, the registered messages,
// the companion program and the band's display name.
#pragma once

#include <windows.h>

namespace names {

// Per-user settings, HKEY_CURRENT_USER.
inline constexpr wchar_t kSettingsKey[] = L"Software\\VantrelHELP";
inline constexpr wchar_t kIconStyleValue[] = L"REPRESENTATIVE_ICON";
inline constexpr wchar_t kTipTextValue[] = L"TECHSUPPORT_TEXT";

// Registration, HKEY_CLASSES_ROOT.
inline constexpr wchar_t kClassKeyFormat[] = L"CLSID\\%s";
inline constexpr wchar_t kInprocServerKeyFormat[] = L"CLSID\\%s\\InprocServer32";
inline constexpr wchar_t kDisplayName[] = L"Vantrel Help";
inline constexpr wchar_t kThreadingModelValue[] = L"ThreadingModel";
inline constexpr wchar_t kThreadingModel[] = L"Apartment";

// The band window and the messages other processes send it.
inline constexpr wchar_t kWindowClass[] = L"VantrelDeskBandClass";
inline constexpr wchar_t kHideBandMessage[] = L"Vantreldeskbandhmsg";
inline constexpr wchar_t kChangeIconMessage[] = L"VantrelChangeRepresentativeIcon";

// The companion program beside the DLL and its command line.
inline constexpr wchar_t kCompanionExe[] = L"AppVantrelHelp.exe";
inline constexpr wchar_t kCompanionArgsFormat[] = L"/DISPLAYUI %d %d %d";

// The tip shown when the settings hold no support text.
inline constexpr wchar_t kDefaultTipText[] =
    L"Click here for instant access to technical support from the Vantrel Help";

// Settings text is read into a fixed buffer whose last character always
// stays a terminator.
inline constexpr int kSettingTextChars = 1024;
inline constexpr DWORD kSettingTextMaxBytes = (kSettingTextChars - 1) * sizeof(wchar_t);

} // namespace names
