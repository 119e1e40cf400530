// IPersistStream: the band's settings live in the registry, so the taskbar's
// stream holds nothing of ours.
#include "band/desk_band.h"

#include "server/guids.h"
#include "server/trace.h"

STDMETHODIMP CDeskBand::GetClassID(CLSID* pClassID) {
    TraceMessage("CDeskBand::GetClassID In");
    *pClassID = CLSID_VantrelDeskBand;
    TraceMessage("CDeskBand::GetClassID Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::IsDirty() {
    TraceMessage("CDeskBand::IsDirty In");
    const HRESULT hr = m_fDirty ? S_OK : S_FALSE;
    TraceMessage("CDeskBand::IsDirty Out");
    return hr;
}

STDMETHODIMP CDeskBand::Load(IStream*) {
    TraceMessage("CDeskBand::Load In");
    TraceMessage("CDeskBand::Load Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::Save(IStream*, BOOL fClearDirty) {
    TraceMessage("CDeskBand::Save In");
    if (fClearDirty) {
        m_fDirty = FALSE;
    }
    TraceMessage("CDeskBand::Save Out");
    return S_OK;
}

STDMETHODIMP CDeskBand::GetSizeMax(ULARGE_INTEGER*) {
    TraceMessage("CDeskBand::GetSizeMax In");
    TraceMessage("CDeskBand::GetSizeMax Out");
    return E_NOTIMPL;
}
