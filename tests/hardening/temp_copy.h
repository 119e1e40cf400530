// A copy of the built DLL in a directory of its own, removed again at the end:
// a band loaded from there finds no companion beside it (unless a test puts
// one there).
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "support/test_paths.h"

namespace hardening {

class TempDllCopy {
  public:
    // `leaf` names the directory made under the temporary folder.
    explicit TempDllCopy(const std::wstring& leaf) {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_dir = std::wstring(temp) + leaf + L"-" + std::to_wstring(GetCurrentProcessId());
        RemoveTree();
        CreateDirectoryW(m_dir.c_str(), nullptr);
        m_dll = m_dir + L"\\VantrelDeskBand.dll";
        m_ok = CopyFileW(BandDllPath().c_str(), m_dll.c_str(), FALSE) != FALSE;
    }
    ~TempDllCopy() { RemoveTree(); }
    TempDllCopy(const TempDllCopy&) = delete;
    TempDllCopy& operator=(const TempDllCopy&) = delete;

    bool Ok() const { return m_ok; }
    const std::wstring& Dir() const { return m_dir; }
    const std::wstring& Dll() const { return m_dll; }

  private:
    void RemoveTree() {
        std::wstring from = m_dir;
        from.push_back(L'\0'); // SHFileOperation takes a double-terminated list
        SHFILEOPSTRUCTW op = {};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        if (GetFileAttributesW(m_dir.c_str()) != INVALID_FILE_ATTRIBUTES) {
            SHFileOperationW(&op);
        }
    }

    std::wstring m_dir;
    std::wstring m_dll;
    bool m_ok = false;
};

} // namespace hardening
