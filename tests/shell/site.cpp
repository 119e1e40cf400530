#include "shell/site.h"

#include "shell/unexpected.h"

namespace shell {

Site::Site(HWND hwndHost) : m_hwndHost(hwndHost) {}

STDMETHODIMP Site::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown)) {
        *ppv = static_cast<IOleWindow*>(this);
    } else if (IsEqualIID(riid, IID_IOleWindow) && m_fOleWindow) {
        *ppv = static_cast<IOleWindow*>(this);
    } else if (IsEqualIID(riid, IID_IInputObjectSite) && m_fInputObjectSite) {
        *ppv = static_cast<IInputObjectSite*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) Site::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) Site::Release() {
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        delete this;
    }
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP Site::GetWindow(HWND* phwnd) {
    if (FAILED(m_hrGetWindow)) {
        return m_hrGetWindow;
    }
    *phwnd = m_hwndHost;
    return S_OK;
}

STDMETHODIMP Site::ContextSensitiveHelp(BOOL) {
    ReportUnexpectedCall("Site::ContextSensitiveHelp");
    return E_NOTIMPL;
}

STDMETHODIMP Site::OnFocusChangeIS(IUnknown* punkObj, BOOL fSetFocus) {
    m_focusChanges.push_back({punkObj, fSetFocus});
    return S_OK;
}

} // namespace shell
