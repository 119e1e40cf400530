// IInputObject: keyboard focus for the band window.
#include "band/desk_band.h"

#include "server/trace.h"

STDMETHODIMP CDeskBand::UIActivateIO(BOOL fActivate, MSG*) {
    TraceMessage("CDeskBand::UIActivateIO In");
    if (fActivate && m_hwnd != nullptr) {
        SetFocus(m_hwnd);
    }
    TraceMessage("CDeskBand::UIActivateIO Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::HasFocusIO() {
    TraceMessage("CDeskBand::HasFocusIO In");
    const HRESULT hr = m_fHasFocus ? S_OK : S_FALSE;
    TraceMessage("CDeskBand::HasFocusIO Out");
    return hr;
}

STDMETHODIMP CDeskBand::TranslateAcceleratorIO(MSG*) {
    TraceMessage("CDeskBand::TranslateAcceleratorIO In");
    TraceMessage("CDeskBand::TranslateAcceleratorIO Out");
    return S_FALSE;
}
