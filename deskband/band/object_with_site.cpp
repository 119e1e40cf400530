// IObjectWithSite: siting creates the band window inside the host's window.
#include "band/desk_band.h"

#include "server/module.h"
#include "server/names.h"
#include "server/trace.h"
#include "window/registered_messages.h"
#include "window/window_class.h"

STDMETHODIMP CDeskBand::SetSite(IUnknown* pUnkSite) {
    TraceMessage("CDeskBand::SetSite In");
    m_hwndParent = nullptr;
    if (m_pSite != nullptr) {
        m_pSite->Release();
        m_pSite = nullptr;
    }
    if (pUnkSite == nullptr) {
        TraceMessage("CDeskBand::SetSite Out");
        return S_OK;
    }

    if (m_hwnd != nullptr) {
        // Sited again: the earlier window must not outlive its place in the
        // old host nor keep pointing at us, whether or not the new site
        // yields a window of its own.
        DestroyBandWindows();
        m_hwnd = nullptr;
        m_tip = nullptr;
        if (m_fHot) {
            // A new window never saw the mouse enter.
            m_fHot = FALSE;
            SwitchIconBitmap(false);
        }
    }

    IOleWindow* pOleWindow = nullptr;
    if (SUCCEEDED(
            pUnkSite->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&pOleWindow)))) {
        const HRESULT hrWindow = pOleWindow->GetWindow(&m_hwndParent);
        RegisterBandMessages();
        if (SUCCEEDED(hrWindow)) {
            if (EnsureBandWindowClass()) {
                CreateWindowExW(0, names::kWindowClass, nullptr,
                                WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0,
                                m_hwndParent, nullptr, g_hInstance, static_cast<IDeskBand2*>(this));
            }
        }
        pOleWindow->Release();
    }

    const HRESULT hr =
        pUnkSite->QueryInterface(IID_IInputObjectSite, reinterpret_cast<void**>(&m_pSite));
    if (FAILED(hr)) {
        m_pSite = nullptr;
    }
    TraceMessage("CDeskBand::SetSite Out");
    return hr;
}

STDMETHODIMP CDeskBand::GetSite(REFIID riid, void** ppvSite) {
    TraceMessage("CDeskBand::GetSite In");
    HRESULT hr = E_FAIL;
    if (m_pSite != nullptr) {
        hr = m_pSite->QueryInterface(riid, ppvSite);
    } else {
        *ppvSite = nullptr;
    }
    TraceMessage("CDeskBand::GetSite Out");
    return hr;
}
