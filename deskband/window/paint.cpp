// Painting the icon, and the bitmap switches behind hover and style changes.
#include "band/desk_band.h"

#include <uxtheme.h>

#include "server/module.h"
#include "window/icon_resource.h"
#include "window/paint_dc.h"

namespace {
constexpr int kSourceSide = 32;
constexpr int kAlphaDepth = 32;

// A paint or erase message carries its DC from whoever sent it. A value that
// names no device context draws nothing and must not cost the band its
// memory DC (nor reach a GDI that trusts the handle's bits).
bool IsDeviceContext(HDC hdc) {
    switch (GetObjectType(hdc)) {
    case OBJ_DC:
    case OBJ_MEMDC:
    case OBJ_METADC:
    case OBJ_ENHMETADC:
        return true;
    default:
        return false;
    }
}
} // namespace

WORD CDeskBand::GetIconResourceId(bool fHot) const {
    return IconResourceId(m_nRepresentativeIcon, fHot, m_nBpp);
}

void CDeskBand::SwitchIconBitmap(bool fHot) {
    HBITMAP hbmNew = LoadBitmapW(g_hInstance, MAKEINTRESOURCEW(GetIconResourceId(fHot)));
    if (hbmNew == nullptr) {
        return;
    }
    if (m_hdcMem != nullptr) {
        SelectObject(m_hdcMem, hbmNew);
    }
    if (m_hbmIcon != nullptr) {
        DeleteObject(m_hbmIcon);
    }
    m_hbmIcon = hbmNew;
}

void CDeskBand::OnPaint(HDC hdcGiven) {
    PaintDC paint(hdcGiven == nullptr ? m_hwnd : nullptr);
    HDC hdc = hdcGiven != nullptr ? hdcGiven : paint.Get();
    if (hdc == nullptr || !IsDeviceContext(hdc)) {
        return;
    }
    RECT rc = {};
    GetClientRect(m_hwnd, &rc);
    m_nBpp = GetDeviceCaps(hdc, BITSPIXEL);

    if (m_nBppCached != m_nBpp && m_hdcMem != nullptr) {
        // Rebuilt below for the new depth, its bitmap with it.
        DeleteDC(m_hdcMem);
        m_hdcMem = nullptr;
    }
    if (m_hdcMem == nullptr) {
        if (m_hbmIcon != nullptr) {
            DeleteObject(m_hbmIcon);
            m_hbmIcon = nullptr;
        }
        m_hbmIcon = LoadBitmapW(g_hInstance, MAKEINTRESOURCEW(GetIconResourceId(false)));
        m_hdcMem = CreateCompatibleDC(hdc);
        if (m_hdcMem != nullptr && m_hbmIcon != nullptr) {
            SelectObject(m_hdcMem, m_hbmIcon);
        }
        m_nBppCached = m_nBpp;
    }

    PaintBackground(hdc, rc);

    if (m_nBpp == kAlphaDepth) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(hdc, m_xIcon, m_yIcon, m_cxIcon, m_cxIcon, m_hdcMem, 0, 0, kSourceSide,
                   kSourceSide, blend);
    } else {
        TransparentBlt(hdc, m_xIcon, m_yIcon, m_cxIcon, m_cxIcon, m_hdcMem, 0, 0, kSourceSide,
                       kSourceSide, kIconKeyColour);
    }
}

void CDeskBand::OnEraseBackground(HDC hdc) {
    if (!IsDeviceContext(hdc)) {
        return;
    }
    RECT rc = {};
    GetClientRect(m_hwnd, &rc);
    PaintBackground(hdc, rc);
    OnPaint(hdc);
}

void CDeskBand::PaintBackground(HDC hdc, RECT rc) {
    FillRect(hdc, &rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    DrawThemeParentBackground(m_hwnd, hdc, &rc);
}

void CDeskBand::OnMouseMove() {
    if (m_fHot) {
        return;
    }
    SwitchIconBitmap(true);
    m_fHot = TRUE;
    TRACKMOUSEEVENT tme = {};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = m_hwnd;
    TrackMouseEvent(&tme);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CDeskBand::OnMouseLeave() {
    m_fHot = FALSE;
    SwitchIconBitmap(false);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void CDeskBand::OnChangeIconStyle(WPARAM wParam) {
    const DWORD style = static_cast<DWORD>(wParam);
    if (style >= 1 && style <= 8) {
        m_nRepresentativeIcon = static_cast<int>(style);
        SwitchIconBitmap(false);
    }
}
