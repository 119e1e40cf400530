// What bandhost reports: one line per event, to stdout and, with --log, to a
// file that other processes may read while bandhost runs. Lines are
// "event key=value key=value ..." so that scripts and tests can pick them
// apart.
#pragma once

#include <windows.h>

#include <string>

namespace bandhost {

// Opens (truncates) the log file; false when it cannot be created.
bool OpenLogFile(const std::wstring& path);
void CloseLogFile();

// printf-style; a line end is added. Flushed at once.
void Log(const char* format, ...);

// "0x%08lX" of an HRESULT, for log lines.
std::string Hex(HRESULT hr);
std::string Hex(HWND hwnd);
std::string GuidText(REFGUID guid);

} // namespace bandhost
