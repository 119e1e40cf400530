// Finding the windows a band leaves behind: band windows by class anywhere in
// the process's desktop, and the tooltips owned by a host window.
#pragma once

#include <windows.h>

#include <set>
#include <vector>

namespace hardening {

inline bool HasClass(HWND hwnd, const wchar_t* className) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return lstrcmpiW(name, className) == 0;
}

// Every window of the class, top-level or child at any depth.
inline std::vector<HWND> WindowsOfClass(const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        std::vector<HWND> found;
    } search{className, {}};
    EnumWindows(
        [](HWND top, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (HasClass(top, s->className)) {
                s->found.push_back(top);
            }
            EnumChildWindows(
                top,
                [](HWND child, LPARAM lp2) -> BOOL {
                    auto* s2 = reinterpret_cast<Search*>(lp2);
                    if (HasClass(child, s2->className)) {
                        s2->found.push_back(child);
                    }
                    return TRUE;
                },
                lp);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline std::vector<HWND> BandWindows() {
    return WindowsOfClass(L"VantrelDeskBandClass");
}

// Tooltips of this thread owned by the given host window (a band's tooltip
// is owned by the band window's top-level ancestor).
inline std::vector<HWND> TooltipsOwnedBy(HWND host) {
    struct Search {
        HWND host;
        std::vector<HWND> found;
    } search{host, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (HasClass(hwnd, L"tooltips_class32") && GetWindow(hwnd, GW_OWNER) == s->host) {
                s->found.push_back(hwnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline void AddAll(std::set<HWND>& seen, const std::vector<HWND>& windows) {
    seen.insert(windows.begin(), windows.end());
}

} // namespace hardening
