// The band window's procedure: dispatches the window's messages to the band
// that owns it and handles the two messages other processes send.
#include "band/desk_band.h"

#include "server/trace.h"
#include "window/busy_count.h"
#include "window/registered_messages.h"

namespace {

CDeskBand* BandFromWindow(HWND hwnd) {
    return static_cast<CDeskBand*>(
        reinterpret_cast<IDeskBand2*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)));
}

} // namespace

LRESULT CALLBACK CDeskBand::WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    TraceMessage("CDeskBand::WndProc In");
    InterlockedIncrement(&g_cWndProcBusy);
    CDeskBand* pBand = BandFromWindow(hwnd);

    switch (uMsg) {
    case WM_CREATE: {
        const CREATESTRUCTW* pcs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        CDeskBand* pNew = static_cast<CDeskBand*>(static_cast<IDeskBand2*>(pcs->lpCreateParams));
        if (pNew != nullptr) {
            pNew->m_hwnd = hwnd;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(static_cast<IDeskBand2*>(pNew)));
            pNew->m_fVertical = FALSE;
        }
        break;
    }
    case WM_SIZE:
        if (pBand != nullptr) {
            pBand->OnSize(lParam);
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        if (pBand != nullptr) {
            const BOOL fFocus = uMsg == WM_SETFOCUS;
            pBand->m_fHasFocus = fFocus;
            if (pBand->m_pSite != nullptr) {
                pBand->m_pSite->OnFocusChangeIS(static_cast<IDeskBand2*>(pBand), fFocus);
            }
        }
        break;
    case WM_PAINT:
        if (pBand != nullptr) {
            pBand->OnPaint(nullptr);
        }
        break;
    case WM_ERASEBKGND:
        if (pBand != nullptr) {
            if (!pBand->m_fCompositionEnabled) {
                pBand->OnEraseBackground(reinterpret_cast<HDC>(wParam));
            }
            InterlockedDecrement(&g_cWndProcBusy);
            TraceMessage("CDeskBand::WndProc Out");
            return 1;
        }
        break;
    case WM_SETTINGCHANGE:
        if (pBand != nullptr && wParam == SPI_SETWORKAREA) {
            pBand->OnUpdateTaskBandInfo();
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        break;
    case WM_MOUSEMOVE:
        if (pBand != nullptr) {
            if (pBand->m_tip == nullptr) {
                pBand->CreateTooltip(hwnd);
            }
            pBand->OnMouseMove();
        }
        break;
    case WM_LBUTTONDOWN:
        if (pBand != nullptr) {
            pBand->OnLButtonDown();
        }
        break;
    case WM_LBUTTONUP:
        if (pBand != nullptr) {
            pBand->OnLButtonUp(hwnd);
        }
        break;
    case WM_MOUSELEAVE:
        if (pBand != nullptr) {
            pBand->OnMouseLeave();
        }
        break;
    case WM_PRINTCLIENT:
        if (pBand != nullptr) {
            pBand->OnPaint(reinterpret_cast<HDC>(wParam));
        }
        break;
    default:
        break;
    }

    if (pBand != nullptr) {
        if (IsRegisteredMessage(uMsg, g_uHideBandMsg)) {
            // The band site may close and release the band before this
            // returns: nothing of the band is touched from here on.
            HandleHideRequest(pBand->m_dwBandID);
        } else if (IsRegisteredMessage(uMsg, g_uChangeIconMsg)) {
            pBand->OnChangeIconStyle(wParam);
            InvalidateRect(hwnd, nullptr, TRUE);
        }
    }

    const LRESULT lResult = DefWindowProcW(hwnd, uMsg, wParam, lParam);
    InterlockedDecrement(&g_cWndProcBusy);
    TraceMessage("CDeskBand::WndProc Out");
    return lResult;
}
