// HKCU\Software\VantrelHELP for one test: the values found there are saved
// and the key emptied on entry; on exit the key is put back as it was
// (deleted again if it did not exist).
#pragma once

#include <windows.h>
#include <shlwapi.h>

#include <string>
#include <vector>

class ScopedSettingsKey {
  public:
    static constexpr const wchar_t* kPath = L"Software\\VantrelHELP";

    ScopedSettingsKey() {
        HKEY hkey = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kPath, 0, KEY_READ | KEY_WOW64_64KEY, &hkey) ==
            ERROR_SUCCESS) {
            m_existed = true;
            for (DWORD i = 0;; ++i) {
                wchar_t name[16384];
                DWORD cchName = 16384, type = 0, cb = 0;
                if (RegEnumValueW(hkey, i, name, &cchName, nullptr, &type, nullptr, &cb) !=
                    ERROR_SUCCESS) {
                    break;
                }
                Saved value{name, type, std::vector<BYTE>(cb)};
                RegQueryValueExW(hkey, name, nullptr, nullptr, value.data.data(), &cb);
                value.data.resize(cb);
                m_saved.push_back(std::move(value));
            }
            RegCloseKey(hkey);
        }
        RemoveKey();
    }
    ~ScopedSettingsKey() {
        RemoveKey();
        if (m_existed) {
            HKEY hkey = Create();
            for (const Saved& v : m_saved) {
                RegSetValueExW(hkey, v.name.c_str(), 0, v.type, v.data.data(),
                               static_cast<DWORD>(v.data.size()));
            }
            RegCloseKey(hkey);
        }
    }
    ScopedSettingsKey(const ScopedSettingsKey&) = delete;
    ScopedSettingsKey& operator=(const ScopedSettingsKey&) = delete;

    // Writes raw bytes of any type under the key, creating it.
    LSTATUS SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD cb) {
        // Wine (like Windows) stores a string's terminator too when the
        // character just past the data is 0, whatever cb says; a guard
        // character there keeps an unterminated value exactly as given.
        std::vector<BYTE> bytes(static_cast<const BYTE*>(data),
                                static_cast<const BYTE*>(data) + cb);
        bytes.push_back('G');
        bytes.push_back(0);
        HKEY hkey = Create();
        const LSTATUS status = RegSetValueExW(hkey, name, 0, type, bytes.data(), cb);
        RegCloseKey(hkey);
        return status;
    }
    // A REG_SZ value, terminator counted.
    LSTATUS SetString(const wchar_t* name, const std::wstring& text) {
        return SetRaw(name, REG_SZ, text.c_str(),
                      static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }
    // The key with no values at all.
    void CreateEmpty() { RegCloseKey(Create()); }
    void RemoveKey() { SHDeleteKeyW(HKEY_CURRENT_USER, kPath); }

  private:
    struct Saved {
        std::wstring name;
        DWORD type;
        std::vector<BYTE> data;
    };
    static HKEY Create() {
        HKEY hkey = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, kPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_WOW64_64KEY, nullptr, &hkey, nullptr);
        return hkey;
    }

    bool m_existed = false;
    std::vector<Saved> m_saved;
};
