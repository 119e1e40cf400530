// The band's class registration as the tests find it, put back afterwards.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "support/band_module.h"
#include "support/band_site_probe.h"

inline std::wstring ClassKeyPath() {
    return L"CLSID\\" + BandClsidString();
}
inline std::wstring InprocKeyPath() {
    return ClassKeyPath() + L"\\InprocServer32";
}
inline const wchar_t kDeskBandCategory[] = L"{00021492-0000-0000-C000-000000000046}";
inline std::wstring CategoryKeyPath() {
    return ClassKeyPath() + L"\\Implemented Categories\\" + kDeskBandCategory;
}

inline bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY hkey = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &hkey) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(hkey);
    return true;
}

struct RegValue {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    std::wstring Text() const {
        return std::wstring(reinterpret_cast<const wchar_t*>(data.data()),
                            data.size() / sizeof(wchar_t));
    }
};

inline RegValue ReadValue(HKEY root, const std::wstring& path, const wchar_t* name) {
    RegValue value;
    HKEY hkey = nullptr;
    value.status = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &hkey);
    if (value.status != ERROR_SUCCESS) {
        return value;
    }
    DWORD cb = 0;
    value.status = RegQueryValueExW(hkey, name, nullptr, &value.type, nullptr, &cb);
    if (value.status == ERROR_SUCCESS) {
        value.data.resize(cb);
        value.status = RegQueryValueExW(hkey, name, nullptr, &value.type, value.data.data(), &cb);
        value.data.resize(cb);
    }
    RegCloseKey(hkey);
    return value;
}

inline DWORD SubkeyCount(HKEY root, const std::wstring& path) {
    HKEY hkey = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &hkey) != ERROR_SUCCESS) {
        return 0;
    }
    DWORD cSubKeys = 0;
    RegQueryInfoKeyW(hkey, nullptr, nullptr, nullptr, &cSubKeys, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(hkey);
    return cSubKeys;
}

// Starts from an unregistered band and leaves the registry as it was found:
// unregistered, or registered again by the same module.
class ClassRegistrationGuard {
  public:
    explicit ClassRegistrationGuard(const BandModule& dll)
        : m_dll(dll), m_wasRegistered(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath())) {
        m_dll.DllUnregisterServer();
    }
    ~ClassRegistrationGuard() {
        m_dll.DllUnregisterServer();
        if (m_wasRegistered) {
            m_dll.DllRegisterServer();
        }
    }
    ClassRegistrationGuard(const ClassRegistrationGuard&) = delete;
    ClassRegistrationGuard& operator=(const ClassRegistrationGuard&) = delete;

  private:
    const BandModule& m_dll;
    bool m_wasRegistered;
};

// Runs a command line and returns its exit code (or a negative number when it
// could not be started or did not end in time).
inline long RunProcess(std::wstring commandLine, DWORD timeoutMs = 60000) {
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        return -1;
    }
    long result = -2;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result = static_cast<long>(code);
    } else {
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return result;
}
