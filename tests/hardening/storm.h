// A storm of seeded random messages at a hosted band window: the messages the
// band handles, the icon-style message, and others, with random parameters,
// device contexts that are null, foreign, deleted or made up, and extreme
// sizes; sent and posted, with the posted ones pumped along the way.
#pragma once

#include <windows.h>

#include <cstdint>
#include <thread>
#include <vector>

#include "hardening/hardening.h"

namespace hardening {

struct StormCounts {
    uint64_t sent = 0;
    uint64_t posted = 0;
    uint64_t dispatched = 0;
    uint64_t resizes = 0;
    int style = 0; // the style the icon-style messages left, 0 if none was valid
};

struct StormOptions {
    uint64_t maxMessages = 20000;
    DWORD maxMs = 20000;
    // A button release after a press starts the companion beside the module:
    // only where no companion can be found.
    bool fButtonUp = false;
};

// A window's device context taken on a thread of its own, which waits until
// the storm is over before it lets the DC and the window go.
class ForeignThreadDc {
  public:
    ForeignThreadDc() {
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this] {
            HWND hwnd = CreateWindowExW(0, L"STATIC", L"foreign", WS_POPUP, 0, 0, 50, 50, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
            m_dc = GetDC(hwnd);
            SetEvent(m_ready);
            WaitForSingleObject(m_finish, INFINITE);
            ReleaseDC(hwnd, m_dc);
            DestroyWindow(hwnd);
        });
        WaitForSingleObject(m_ready, INFINITE);
    }
    ~ForeignThreadDc() {
        SetEvent(m_finish);
        m_thread.join();
        CloseHandle(m_ready);
        CloseHandle(m_finish);
    }
    ForeignThreadDc(const ForeignThreadDc&) = delete;
    ForeignThreadDc& operator=(const ForeignThreadDc&) = delete;
    HDC Get() const { return m_dc; }

  private:
    HANDLE m_ready;
    HANDLE m_finish;
    HDC m_dc = nullptr;
    std::thread m_thread;
};

// The device contexts a storm passes in wParam, valid or not. Alive until
// the storm's posted messages are all dispatched.
class StormDcs {
  public:
    explicit StormDcs(HWND other) : m_other(other) {
        m_otherDc = GetDC(other);
        HDC gone = CreateCompatibleDC(nullptr);
        DeleteDC(gone);
        m_deletedDc = gone;
        m_memDc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateCompatibleBitmap(m_otherDc, 40, 40);
        m_oldBitmap = SelectObject(m_memDc, m_bitmap);
        m_metaDc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
        m_notADc = CreateSolidBrush(RGB(1, 2, 3));
    }
    ~StormDcs() {
        ReleaseDC(m_other, m_otherDc);
        SelectObject(m_memDc, m_oldBitmap);
        DeleteDC(m_memDc);
        DeleteObject(m_bitmap);
        DeleteEnhMetaFile(CloseEnhMetaFile(m_metaDc));
        DeleteObject(m_notADc);
    }
    StormDcs(const StormDcs&) = delete;
    StormDcs& operator=(const StormDcs&) = delete;

    WPARAM Pick(Rng& rng) const {
        switch (rng.Below(8)) {
        case 0:
            return 0;
        case 1:
            return reinterpret_cast<WPARAM>(m_otherDc);
        case 2:
            return reinterpret_cast<WPARAM>(m_deletedDc);
        case 3:
            return reinterpret_cast<WPARAM>(m_memDc);
        case 4:
            return reinterpret_cast<WPARAM>(m_metaDc);
        case 5:
            return reinterpret_cast<WPARAM>(m_foreign.Get());
        case 6:
            return reinterpret_cast<WPARAM>(m_notADc);
        default: {
            // A made-up value. Its high word (of the low 32 bits) is never 0
            // or 0xFFFF, so that it cannot stand for a live handle of this
            // test by its index alone.
            WPARAM value = static_cast<WPARAM>(rng.OneIn(2) ? rng.Next() : rng.Below(0x40000000));
            const WORD high = HIWORD(static_cast<DWORD>(value));
            if (high == 0 || high == 0xFFFF) {
                value ^= 0x00010000;
            }
            return value;
        }
        }
    }

  private:
    HWND m_other;
    HDC m_otherDc;
    HDC m_deletedDc;
    HDC m_memDc;
    HBITMAP m_bitmap;
    HGDIOBJ m_oldBitmap;
    HDC m_metaDc;
    HBRUSH m_notADc;
    ForeignThreadDc m_foreign;
};

inline LPARAM RandomSize(Rng& rng) {
    static const WORD kEdges[] = {0, 1, 31, 32, 33, 0x7FFF, 0x8000, 0xFFFF};
    auto side = [&]() -> WORD {
        return rng.OneIn(2) ? kEdges[rng.Below(8)] : static_cast<WORD>(rng.Below(0x10000));
    };
    if (rng.OneIn(8)) {
        return static_cast<LPARAM>(rng.Next()); // high bits set as well
    }
    return MAKELPARAM(side(), side());
}

inline WPARAM RandomStyle(Rng& rng) {
    switch (rng.Below(4)) {
    case 0:
        return 1 + rng.Below(8);
    case 1: // a 64-bit value whose low 32 bits are a style
        return (static_cast<WPARAM>(rng.Next()) << 32) | (1 + rng.Below(8));
    case 2:
        return rng.OneIn(2) ? 0 : 9;
    default:
        return static_cast<WPARAM>(rng.Next());
    }
}

// Messages whose parameters are no pointers, so that random values are fair
// input for the default window procedure as well.
inline UINT RandomOtherMessage(Rng& rng) {
    static const UINT kOthers[] = {
        WM_NULL,          WM_USER,           WM_USER + 77,    WM_APP,           WM_APP + 1234,
        WM_KEYDOWN,       WM_KEYUP,          WM_CHAR,         WM_RBUTTONDOWN,   WM_RBUTTONUP,
        WM_MBUTTONDOWN,   WM_MOUSEHOVER,     WM_MOUSEWHEEL,   WM_CANCELMODE,    WM_CAPTURECHANGED,
        WM_COMMAND,       WM_SYSCOLORCHANGE, WM_THEMECHANGED, WM_DISPLAYCHANGE, WM_ENABLE,
        WM_LBUTTONDBLCLK, WM_NCMOUSEMOVE,    WM_NCMOUSELEAVE, 0x8001,           0xBFFF,
    };
    return kOthers[rng.Below(sizeof(kOthers) / sizeof(kOthers[0]))];
}

// Runs the storm at `band`, a child of `host`. The caller keeps the band
// hosted; the hide message is not part of the mix.
inline StormCounts RunMessageStorm(HWND band, HWND host, Rng& rng, const StormOptions& options) {
    StormCounts counts;
    const UINT changeIcon = RegisterWindowMessageW(L"VantrelChangeRepresentativeIcon");
    StormDcs dcs(host);
    int pendingStyle = 0; // last valid style posted and not yet dispatched

    auto pump = [&] {
        counts.dispatched += PumpMessages();
        if (pendingStyle != 0) {
            counts.style = pendingStyle;
            pendingStyle = 0;
        }
    };

    Budget budget(options.maxMessages, options.maxMs);
    while (budget.More() && IsWindow(band)) {
        UINT msg = 0;
        WPARAM wp = static_cast<WPARAM>(rng.Next());
        LPARAM lp = static_cast<LPARAM>(rng.Next());
        switch (rng.Below(18)) {
        case 0:
            msg = WM_SIZE;
            wp = rng.Below(5);
            lp = RandomSize(rng);
            break;
        case 1:
            msg = WM_SETFOCUS;
            break;
        case 2:
            msg = WM_KILLFOCUS;
            break;
        case 3:
            msg = WM_PAINT;
            break;
        case 4:
            msg = WM_ERASEBKGND;
            wp = dcs.Pick(rng);
            break;
        case 5:
            msg = WM_SETTINGCHANGE;
            if (rng.OneIn(2)) {
                wp = SPI_SETWORKAREA;
            }
            break;
        case 6:
        case 7:
            msg = WM_MOUSEMOVE;
            break;
        case 8:
            msg = WM_LBUTTONDOWN;
            break;
        case 9:
            msg = options.fButtonUp ? WM_LBUTTONUP : WM_MOUSEMOVE;
            break;
        case 10:
        case 11:
            msg = WM_MOUSELEAVE;
            break;
        case 12:
        case 13:
            msg = WM_PRINTCLIENT;
            wp = dcs.Pick(rng);
            break;
        case 14:
            msg = changeIcon;
            wp = RandomStyle(rng);
            break;
        case 15: {
            // A real size change, extreme ones included.
            static const int kSides[] = {0, 1, 31, 32, 33, 4000, 30000};
            const int cx = rng.OneIn(2) ? kSides[rng.Below(7)] : static_cast<int>(rng.Below(300));
            const int cy = rng.OneIn(2) ? kSides[rng.Below(7)] : static_cast<int>(rng.Below(300));
            SetWindowPos(band, nullptr, 0, 0, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
            ++counts.resizes;
            continue;
        }
        default:
            msg = RandomOtherMessage(rng);
            break;
        }
        const bool fValidStyle =
            msg == changeIcon && static_cast<DWORD>(wp) >= 1 && static_cast<DWORD>(wp) <= 8;
        if (rng.OneIn(2)) {
            SendMessageW(band, msg, wp, lp);
            ++counts.sent;
            if (fValidStyle) {
                counts.style = static_cast<int>(static_cast<DWORD>(wp));
            }
        } else {
            if (PostMessageW(band, msg, wp, lp)) {
                ++counts.posted;
                if (fValidStyle) {
                    pendingStyle = static_cast<int>(static_cast<DWORD>(wp));
                }
            }
        }
        if (rng.OneIn(32)) {
            pump();
        }
    }
    pump();
    return counts;
}

} // namespace hardening
