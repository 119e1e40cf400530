// What another process sees of the band: its windows on the desktop, its
// registration, the show request, and what a band of a given style paints.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "server/names.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "shell/snapshot.h"
#include "support/band_module.h"

namespace presence {

struct BandWindow {
    HWND hwnd;
    DWORD pid;
    HWND parent;
    bool visible;
};

inline BOOL CALLBACK CollectBandWindow(HWND hwnd, LPARAM lParam) {
    wchar_t name[64] = {};
    if (GetClassNameW(hwnd, name, 64) > 0 && lstrcmpW(name, names::kWindowClass) == 0) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        reinterpret_cast<std::vector<BandWindow>*>(lParam)->push_back(
            {hwnd, pid, GetParent(hwnd), (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0});
    }
    return TRUE;
}
inline BOOL CALLBACK CollectInTopLevel(HWND hwnd, LPARAM lParam) {
    CollectBandWindow(hwnd, lParam);
    EnumChildWindows(hwnd, CollectBandWindow, lParam);
    return TRUE;
}
inline std::vector<BandWindow> BandWindows() {
    std::vector<BandWindow> windows;
    EnumWindows(CollectInTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

inline std::wstring ClassKeyPath(const wchar_t* format) {
    wchar_t clsid[260] = {};
    StringFromGUID2(kBandClsid, clsid, 260);
    wchar_t path[260] = {};
    wsprintfW(path, L"CLSID\\%s", clsid);
    return std::wstring(path) + (format == nullptr ? L"" : format);
}

// HKCR\CLSID\{band}\InprocServer32's path, empty when not registered.
inline std::wstring RegisteredServer() {
    wchar_t value[MAX_PATH + 1] = {};
    DWORD cb = MAX_PATH * sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, ClassKeyPath(L"\\InprocServer32").c_str(), nullptr,
                     RRF_RT_REG_SZ, nullptr, value, &cb) != ERROR_SUCCESS) {
        return std::wstring();
    }
    return value;
}

// The ITrayDeskBand proxy/stub's registration, empty when there is none.
inline std::wstring ProxyStubClsid() {
    wchar_t value[64] = {};
    DWORD cb = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT,
                     L"Interface\\{6D67E846-5B9C-4DB8-9CBC-DDE12F4254F1}\\ProxyStubClsid32",
                     nullptr, RRF_RT_REG_SZ, nullptr, value, &cb) != ERROR_SUCCESS) {
        return std::wstring();
    }
    return value;
}

// The taskbar bandhost opens by default: the bottom 40 pixels of the screen.
inline RECT DefaultTaskbarRect() {
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    return {0, cy - 40, cx, cy};
}

// What a band of this style paints in this process, hosted in a taskbar like
// bandhost's; the band and its windows are gone again when this returns.
inline shell::Picture PaintedInThisProcess(const BandModule& dll, WPARAM style) {
    shell::HostWindow host(DefaultTaskbarRect());
    shell::BandSite* pSite = new shell::BandSite(host.Get());
    IDeskBand* pBand = nullptr;
    shell::Picture picture;
    if (SUCCEEDED(dll.CreateBand(IID_IDeskBand, &pBand)) && SUCCEEDED(pSite->AddBand(pBand)) &&
        !pSite->Bands().empty()) {
        const HWND hwnd = pSite->Bands()[0].hwnd;
        SendMessageW(hwnd, RegisterWindowMessageW(names::kChangeIconMessage), style, 0);
        picture = shell::PrintClient(hwnd);
    }
    pSite->RemoveAll();
    if (pBand != nullptr) {
        EXPECT_EQ(0u, pBand->Release());
    }
    EXPECT_EQ(0u, pSite->Release());
    return picture;
}

} // namespace presence

namespace presence {

// The per-user icon style setting held at a known value for one test, and
// put back as it was afterwards.
class ScopedIconStyleSetting {
  public:
    explicit ScopedIconStyleSetting(const wchar_t* style) {
        DWORD cb = sizeof(m_saved) - sizeof(wchar_t);
        m_hadValue = RegGetValueW(HKEY_CURRENT_USER, names::kSettingsKey, names::kIconStyleValue,
                                  RRF_RT_REG_SZ, nullptr, m_saved, &cb) == ERROR_SUCCESS;
        Set(style);
    }
    ~ScopedIconStyleSetting() {
        if (m_hadValue) {
            Set(m_saved);
        } else {
            RegDeleteKeyValueW(HKEY_CURRENT_USER, names::kSettingsKey, names::kIconStyleValue);
        }
    }
    ScopedIconStyleSetting(const ScopedIconStyleSetting&) = delete;
    ScopedIconStyleSetting& operator=(const ScopedIconStyleSetting&) = delete;

  private:
    static void Set(const wchar_t* text) {
        RegSetKeyValueW(HKEY_CURRENT_USER, names::kSettingsKey, names::kIconStyleValue, REG_SZ,
                        text, static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t)));
    }
    bool m_hadValue = false;
    wchar_t m_saved[64] = {};
};

// The show request's atom, as every process of the prefix sees it.
inline std::wstring ShowRequestName() {
    wchar_t text[260] = {};
    StringFromGUID2(kBandClsid, text, 260);
    return text;
}
inline bool ShowRequestPending() {
    return GlobalFindAtomW(ShowRequestName().c_str()) != 0;
}
inline void ClearShowRequest() {
    for (int i = 0; i < 100 && ShowRequestPending(); ++i) {
        GlobalDeleteAtom(GlobalFindAtomW(ShowRequestName().c_str()));
    }
}

} // namespace presence
