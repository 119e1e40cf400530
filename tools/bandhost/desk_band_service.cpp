#include "bandhost/desk_band_service.h"

#include <comcat.h>

#include "bandhost/host_log.h"

namespace bandhost {

DeskBandService::DeskBandService(LoggedBandSite* pBandSite) : m_pBandSite(pBandSite) {
    m_pBandSite->AddRef();
    ReadRegisteredDeskBands();
}

DeskBandService::~DeskBandService() {
    m_pBandSite->Release();
}

STDMETHODIMP DeskBandService::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
    } else if (IsEqualIID(riid, IID_ITrayDeskBand)) {
        *ppv = static_cast<ITrayDeskBand*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) DeskBandService::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) DeskBandService::Release() {
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        delete this;
    }
    return static_cast<ULONG>(cRef);
}

// One service per taskbar: every creation hands out this object.
STDMETHODIMP DeskBandService::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (pUnkOuter != nullptr) {
        *ppv = nullptr;
        return CLASS_E_NOAGGREGATION;
    }
    return QueryInterface(riid, ppv);
}

STDMETHODIMP DeskBandService::LockServer(BOOL) {
    return S_OK;
}

STDMETHODIMP DeskBandService::ShowDeskBand(REFCLSID clsid) {
    const std::string name = GuidText(clsid);
    if (m_pBandSite->FindBandOfClass(clsid) != 0) {
        Log("ShowDeskBand clsid=%s hr=0x00000000 already-shown=1", name.c_str());
        return S_OK;
    }
    if (!IsRegisteredDeskBand(clsid)) {
        // As a taskbar does: it hosts only what is registered as a desk band.
        Log("ShowDeskBand clsid=%s hr=%s not-a-registered-desk-band=1", name.c_str(),
            Hex(REGDB_E_CLASSNOTREG).c_str());
        return REGDB_E_CLASSNOTREG;
    }
    IUnknown* pBand = nullptr;
    HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&pBand));
    if (FAILED(hr)) {
        Log("ShowDeskBand clsid=%s hr=%s create-failed=1", name.c_str(), Hex(hr).c_str());
        return hr;
    }
    // A band that found a pending show request has added itself already.
    if (m_pBandSite->FindBandOfClass(clsid) == 0) {
        hr = m_pBandSite->AddBand(pBand);
    }
    pBand->Release();
    hr = FAILED(hr) ? hr : (m_pBandSite->FindBandOfClass(clsid) != 0 ? S_OK : E_FAIL);
    Log("ShowDeskBand clsid=%s hr=%s", name.c_str(), Hex(hr).c_str());
    return hr;
}

STDMETHODIMP DeskBandService::HideDeskBand(REFCLSID clsid) {
    const DWORD id = m_pBandSite->FindBandOfClass(clsid);
    const HRESULT hr = id != 0 ? m_pBandSite->RemoveBand(id) : E_INVALIDARG;
    Log("HideDeskBand clsid=%s hr=%s", GuidText(clsid).c_str(), Hex(hr).c_str());
    return hr;
}

STDMETHODIMP DeskBandService::IsDeskBandShown(REFCLSID clsid) {
    const HRESULT hr = m_pBandSite->FindBandOfClass(clsid) != 0 ? S_OK : S_FALSE;
    Log("IsDeskBandShown clsid=%s hr=%s", GuidText(clsid).c_str(), Hex(hr).c_str());
    return hr;
}

STDMETHODIMP DeskBandService::DeskBandRegistrationChanged() {
    const HRESULT hr = ReadRegisteredDeskBands();
    Log("DeskBandRegistrationChanged hr=%s desk-bands=%u", Hex(hr).c_str(),
        static_cast<unsigned>(m_deskBands.size()));
    return hr;
}

HRESULT DeskBandService::ReadRegisteredDeskBands() {
    m_deskBands.clear();
    ICatInformation* pCatInfo = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_ICatInformation, reinterpret_cast<void**>(&pCatInfo));
    if (FAILED(hr)) {
        return hr;
    }
    CATID catid = CATID_DeskBand;
    IEnumCLSID* pEnum = nullptr;
    hr = pCatInfo->EnumClassesOfCategories(1, &catid, static_cast<ULONG>(-1), nullptr, &pEnum);
    if (SUCCEEDED(hr)) {
        CLSID clsid = {};
        ULONG fetched = 0;
        while (pEnum->Next(1, &clsid, &fetched) == S_OK && fetched == 1) {
            m_deskBands.push_back(clsid);
        }
        pEnum->Release();
        hr = S_OK;
    }
    pCatInfo->Release();
    return hr;
}

bool DeskBandService::IsRegisteredDeskBand(REFCLSID clsid) const {
    for (const CLSID& known : m_deskBands) {
        if (IsEqualCLSID(known, clsid)) {
            return true;
        }
    }
    return false;
}

} // namespace bandhost
