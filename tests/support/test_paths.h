// Where the built files lie: everything sits beside the test executable.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring BinDirectory() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

inline std::wstring BandDllPath() {
    return BinDirectory() + L"VantrelDeskBand.dll";
}
