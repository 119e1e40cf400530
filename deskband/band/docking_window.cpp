// IOleWindow, IDockingWindow, IDeskBand and IDeskBand2: how the taskbar sizes,
// shows, hides and closes the band.
#include "band/desk_band.h"

#include "server/trace.h"
#include "window/busy_count.h"

namespace {
constexpr int kBandSize = 32;
// A tooltip that cannot be destroyed from this thread must not freeze the
// taskbar: give it this long to go.
constexpr DWORD kTooltipWaitMs = 2000;
} // namespace

STDMETHODIMP CDeskBand::GetWindow(HWND* phwnd) {
    TraceMessage("CDeskBand::GetWindow In");
    *phwnd = m_hwnd;
    TraceMessage("CDeskBand::GetWindow Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::ContextSensitiveHelp(BOOL) {
    TraceMessage("CDeskBand::ContextSensitiveHelp In");
    TraceMessage("CDeskBand::ContextSensitiveHelp Out");
    return E_NOTIMPL;
}

STDMETHODIMP CDeskBand::ShowDW(BOOL fShow) {
    TraceMessage("CDeskBand::ShowDW In");
    if (m_hwnd != nullptr) {
        ShowWindow(m_hwnd, fShow ? SW_SHOW : SW_HIDE);
    }
    TraceMessage("CDeskBand::ShowDW Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::CloseDW(DWORD) {
    TraceMessage("CDeskBand::CloseDW In");
    if (m_hwnd != nullptr) {
        ShowWindow(m_hwnd, SW_HIDE);
        DestroyBandWindows();
        WaitForWindowGone(m_tip, kTooltipWaitMs);
    }
    m_hwnd = nullptr;
    m_tip = nullptr;
    TraceMessage("CDeskBand::CloseDW Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) {
    TraceMessage("CDeskBand::ResizeBorderDW In");
    TraceMessage("CDeskBand::ResizeBorderDW Out");
    return E_NOTIMPL;
}

STDMETHODIMP CDeskBand::GetBandInfo(DWORD dwBandID, DWORD, DESKBANDINFO* pdbi) {
    TraceMessage("CDeskBand::GetBandInfo In");
    if (m_hwndParent != nullptr) {
        RECT rcParent = {};
        GetClientRect(m_hwndParent, &rcParent);
        m_cxBand = kBandSize;
        m_cyBand = kBandSize;
        m_fVertical = rcParent.bottom > rcParent.right;
        OnUpdateTaskBandInfo();
    }
    if (pdbi == nullptr) {
        TraceMessage("CDeskBand::GetBandInfo Out");
        return E_INVALIDARG;
    }
    m_dwBandID = dwBandID;
    const LONG size = m_fVertical ? m_cyBand : m_cxBand;
    if (pdbi->dwMask & DBIM_MINSIZE) {
        pdbi->ptMinSize.x = size;
        pdbi->ptMinSize.y = kBandSize;
    }
    if (pdbi->dwMask & DBIM_MAXSIZE) {
        pdbi->ptMaxSize.y = -1;
    }
    if (pdbi->dwMask & DBIM_INTEGRAL) {
        pdbi->ptIntegral.y = 1;
    }
    if (pdbi->dwMask & DBIM_ACTUAL) {
        pdbi->ptActual.x = size;
        pdbi->ptActual.y = -1;
    }
    if (pdbi->dwMask & DBIM_TITLE) {
        pdbi->dwMask &= ~DBIM_TITLE;
    }
    if (pdbi->dwMask & DBIM_MODEFLAGS) {
        pdbi->dwModeFlags = DBIMF_VARIABLEHEIGHT;
    }
    if (pdbi->dwMask & DBIM_BKCOLOR) {
        pdbi->dwMask &= ~DBIM_BKCOLOR;
    }
    TraceMessage("CDeskBand::GetBandInfo Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::CanRenderComposited(BOOL* pfCanRenderComposited) {
    TraceMessage("CDeskBand::CanRenderComposited In");
    *pfCanRenderComposited = TRUE;
    TraceMessage("CDeskBand::CanRenderComposited Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::SetCompositionState(BOOL fCompositionEnabled) {
    TraceMessage("CDeskBand::SetCompositionState In");
    m_fCompositionEnabled = fCompositionEnabled;
    if (m_hwnd != nullptr) {
        InvalidateRect(m_hwnd, nullptr, TRUE);
        UpdateWindow(m_hwnd);
    }
    TraceMessage("CDeskBand::SetCompositionState Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::GetCompositionState(BOOL* pfCompositionEnabled) {
    TraceMessage("CDeskBand::GetCompositionState In");
    *pfCompositionEnabled = m_fCompositionEnabled;
    TraceMessage("CDeskBand::GetCompositionState Out");
    return S_OK;
}
