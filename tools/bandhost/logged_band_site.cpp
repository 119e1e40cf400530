#include "bandhost/logged_band_site.h"

#include "bandhost/host_log.h"
#include "server/guids.h"

namespace bandhost {
namespace {

// Whether the show request for our band (the global atom named by its class
// id) is pending: the band must have deleted it before it asks to be added.
bool ShowRequestPending() {
    wchar_t clsid[kGuidStringChars] = {};
    StringFromGUID2(CLSID_VantrelDeskBand, clsid, kGuidStringChars);
    return GlobalFindAtomW(clsid) != 0;
}

bool HasClass(IDeskBand* pBand, REFCLSID clsid) {
    IPersist* pPersist = nullptr;
    if (FAILED(pBand->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&pPersist)))) {
        return false;
    }
    CLSID actual = {};
    const bool match = SUCCEEDED(pPersist->GetClassID(&actual)) && IsEqualCLSID(actual, clsid);
    pPersist->Release();
    return match;
}

} // namespace

LoggedBandSite::LoggedBandSite(shell::BandSite* pInner) : m_pInner(pInner) {
    m_pInner->AddRef();
}

LoggedBandSite::~LoggedBandSite() {
    m_pInner->Release();
}

STDMETHODIMP LoggedBandSite::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
    } else if (IsEqualIID(riid, IID_IBandSite)) {
        *ppv = static_cast<IBandSite*>(this);
    } else {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) LoggedBandSite::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) LoggedBandSite::Release() {
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        delete this;
    }
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP LoggedBandSite::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (pUnkOuter != nullptr) {
        *ppv = nullptr;
        return CLASS_E_NOAGGREGATION;
    }
    return QueryInterface(riid, ppv);
}

STDMETHODIMP LoggedBandSite::LockServer(BOOL) {
    return S_OK;
}

STDMETHODIMP LoggedBandSite::AddBand(IUnknown* punk) {
    Log("AddBand request-pending=%d", ShowRequestPending() ? 1 : 0);
    const size_t before = m_pInner->Bands().size();
    const HRESULT hr = m_pInner->AddBand(punk);
    if (m_pInner->Bands().size() == before) {
        Log("not-hosted hr=%s", Hex(hr).c_str());
        return hr;
    }
    const shell::HostedBand& hosted = m_pInner->Bands().back();
    RECT rc = {};
    GetWindowRect(hosted.hwnd, &rc);
    const bool visible = (GetWindowLongW(hosted.hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
    Log("hosted id=%lu setsite=%s bandinfo=%s hwnd=%s visible=%d size=%ldx%ld",
        static_cast<unsigned long>(hosted.dwBandID), Hex(hosted.hrSetSite).c_str(),
        Hex(hosted.hrGetBandInfo).c_str(), Hex(hosted.hwnd).c_str(), visible ? 1 : 0,
        rc.right - rc.left, rc.bottom - rc.top);
    return hr;
}

STDMETHODIMP LoggedBandSite::RemoveBand(DWORD dwBandID) {
    Log("RemoveBand id=%lu", static_cast<unsigned long>(dwBandID));
    const shell::HostedBand* pHosted = m_pInner->Find(dwBandID);
    const HWND hwnd = pHosted != nullptr ? pHosted->hwnd : nullptr;
    const size_t removedBefore = m_pInner->Removed().size();
    const HRESULT hr = m_pInner->RemoveBand(dwBandID);
    if (m_pInner->Removed().size() == removedBefore) {
        Log("not-removed id=%lu hr=%s", static_cast<unsigned long>(dwBandID), Hex(hr).c_str());
        return hr;
    }
    Log("removed id=%lu window-left=%d refs-left=%lu", static_cast<unsigned long>(dwBandID),
        hwnd != nullptr && IsWindow(hwnd) ? 1 : 0,
        static_cast<unsigned long>(m_pInner->Removed().back().cRefAfterRelease));
    return hr;
}

STDMETHODIMP LoggedBandSite::EnumBands(UINT uBand, DWORD* pdwBandID) {
    return m_pInner->EnumBands(uBand, pdwBandID);
}

STDMETHODIMP LoggedBandSite::QueryBand(DWORD dwBandID, IDeskBand** ppstb, DWORD* pdwState,
                                       LPWSTR pszName, int cchName) {
    Log("unexpected call=IBandSite::QueryBand");
    return m_pInner->QueryBand(dwBandID, ppstb, pdwState, pszName, cchName);
}

STDMETHODIMP LoggedBandSite::SetBandState(DWORD dwBandID, DWORD dwMask, DWORD dwState) {
    Log("unexpected call=IBandSite::SetBandState");
    return m_pInner->SetBandState(dwBandID, dwMask, dwState);
}

STDMETHODIMP LoggedBandSite::GetBandObject(DWORD dwBandID, REFIID riid, void** ppv) {
    Log("unexpected call=IBandSite::GetBandObject");
    return m_pInner->GetBandObject(dwBandID, riid, ppv);
}

STDMETHODIMP LoggedBandSite::SetBandSiteInfo(const BANDSITEINFO* pbsinfo) {
    Log("unexpected call=IBandSite::SetBandSiteInfo");
    return m_pInner->SetBandSiteInfo(pbsinfo);
}

STDMETHODIMP LoggedBandSite::GetBandSiteInfo(BANDSITEINFO* pbsinfo) {
    Log("unexpected call=IBandSite::GetBandSiteInfo");
    return m_pInner->GetBandSiteInfo(pbsinfo);
}

void LoggedBandSite::RemoveAll() {
    while (!m_pInner->Bands().empty()) {
        RemoveBand(m_pInner->Bands().front().dwBandID);
    }
}

DWORD LoggedBandSite::FindBandOfClass(REFCLSID clsid) const {
    for (const shell::HostedBand& hosted : m_pInner->Bands()) {
        if (HasClass(hosted.pBand, clsid)) {
            return hosted.dwBandID;
        }
    }
    return 0;
}

} // namespace bandhost
