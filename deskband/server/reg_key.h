// A registry key owned for the length of one operation.
#pragma once

#include <windows.h>

class RegKey {
  public:
    RegKey() = default;
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    ~RegKey() { Close(); }

    LSTATUS Open(HKEY hkeyParent, const wchar_t* subKey, REGSAM access) {
        Close();
        return Checked(RegOpenKeyExW(hkeyParent, subKey, 0, access, &m_hkey));
    }
    LSTATUS Create(HKEY hkeyParent, const wchar_t* subKey, REGSAM access) {
        Close();
        return Checked(RegCreateKeyExW(hkeyParent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       access, nullptr, &m_hkey, nullptr));
    }
    void Close() {
        if (m_hkey != nullptr) {
            RegCloseKey(m_hkey);
            m_hkey = nullptr;
        }
    }
    HKEY Get() const { return m_hkey; }
    explicit operator bool() const { return m_hkey != nullptr; }

  private:
    // A failed open or create owns nothing, whatever the call left behind.
    LSTATUS Checked(LSTATUS status) {
        if (status != ERROR_SUCCESS) {
            m_hkey = nullptr;
        }
        return status;
    }

    HKEY m_hkey = nullptr;
};
