#include "shell/band_site.h"

#include "shell/unexpected.h"

namespace shell {
namespace {

// Everything a taskbar asks of a band.
constexpr DWORD kAllBandInfo = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL |
                               DBIM_TITLE | DBIM_MODEFLAGS | DBIM_BKCOLOR;

bool IsUpright(HWND hwnd) {
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    return rc.bottom > rc.right;
}

} // namespace

BandSite::BandSite(HWND hwndHost) : m_hwndHost(hwndHost) {}

BandSite::~BandSite() {
    RemoveAll();
}

STDMETHODIMP BandSite::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBandSite)) {
        *ppv = static_cast<IBandSite*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BandSite::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) BandSite::Release() {
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        delete this;
    }
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP BandSite::AddBand(IUnknown* punk) {
    m_calls.push_back("AddBand");
    if (punk == nullptr) {
        return E_INVALIDARG;
    }
    HostedBand hosted = {};
    if (FAILED(punk->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&hosted.pBand)))) {
        return E_NOINTERFACE;
    }
    hosted.dwBandID = m_nextBandID++;
    hosted.pSite = new Site(m_hwndHost);

    IObjectWithSite* pObjectWithSite = nullptr;
    hosted.hrSetSite = hosted.pBand->QueryInterface(IID_IObjectWithSite,
                                                    reinterpret_cast<void**>(&pObjectWithSite));
    if (SUCCEEDED(hosted.hrSetSite)) {
        hosted.hrSetSite = pObjectWithSite->SetSite(static_cast<IOleWindow*>(hosted.pSite));
        pObjectWithSite->Release();
    }
    hosted.info.dwMask = kAllBandInfo;
    hosted.hrGetBandInfo =
        hosted.pBand->GetBandInfo(hosted.dwBandID, DBIF_VIEWMODE_NORMAL, &hosted.info);
    hosted.pBand->GetWindow(&hosted.hwnd);
    hosted.pBand->ShowDW(TRUE);
    m_bands.push_back(hosted);
    Layout();
    return MAKE_HRESULT(SEVERITY_SUCCESS, 0, hosted.dwBandID);
}

STDMETHODIMP BandSite::RemoveBand(DWORD dwBandID) {
    m_calls.push_back("RemoveBand(" + std::to_string(dwBandID) + ")");
    for (auto it = m_bands.begin(); it != m_bands.end(); ++it) {
        if (it->dwBandID != dwBandID) {
            continue;
        }
        // Out of the list first: closing may send messages that come back here.
        const HostedBand hosted = *it;
        m_bands.erase(it);
        hosted.pBand->ShowDW(FALSE);
        hosted.pBand->CloseDW(0);
        IObjectWithSite* pObjectWithSite = nullptr;
        if (SUCCEEDED(hosted.pBand->QueryInterface(IID_IObjectWithSite,
                                                   reinterpret_cast<void**>(&pObjectWithSite)))) {
            pObjectWithSite->SetSite(nullptr);
            pObjectWithSite->Release();
        }
        m_removed.push_back({dwBandID, hosted.pBand->Release()});
        hosted.pSite->Release();
        Layout();
        return S_OK;
    }
    return E_INVALIDARG;
}

void BandSite::RemoveAll() {
    while (!m_bands.empty()) {
        RemoveBand(m_bands.front().dwBandID);
    }
}

const HostedBand* BandSite::Find(DWORD dwBandID) const {
    for (const HostedBand& hosted : m_bands) {
        if (hosted.dwBandID == dwBandID) {
            return &hosted;
        }
    }
    return nullptr;
}

void BandSite::Layout() {
    RECT rc = {};
    GetClientRect(m_hwndHost, &rc);
    const bool fUpright = IsUpright(m_hwndHost);
    int offset = m_layoutStart;
    for (const HostedBand& hosted : m_bands) {
        HWND hwnd = nullptr;
        hosted.pBand->GetWindow(&hwnd);
        if (hwnd == nullptr) {
            continue;
        }
        int length = hosted.info.ptActual.x > 0 ? hosted.info.ptActual.x : hosted.info.ptMinSize.x;
        if (fUpright) {
            MoveWindow(hwnd, 0, offset, rc.right, length, TRUE);
        } else {
            MoveWindow(hwnd, offset, 0, length, rc.bottom, TRUE);
        }
        offset += length;
    }
}

STDMETHODIMP BandSite::EnumBands(UINT uBand, DWORD* pdwBandID) {
    m_calls.push_back("EnumBands");
    if (uBand == static_cast<UINT>(-1)) {
        return static_cast<HRESULT>(m_bands.size());
    }
    if (uBand >= m_bands.size()) {
        return E_FAIL;
    }
    *pdwBandID = m_bands[uBand].dwBandID;
    return S_OK;
}

STDMETHODIMP BandSite::QueryBand(DWORD, IDeskBand**, DWORD*, LPWSTR, int) {
    ReportUnexpectedCall("BandSite::QueryBand");
    return E_NOTIMPL;
}

STDMETHODIMP BandSite::SetBandState(DWORD, DWORD, DWORD) {
    ReportUnexpectedCall("BandSite::SetBandState");
    return E_NOTIMPL;
}

STDMETHODIMP BandSite::GetBandObject(DWORD, REFIID, void**) {
    ReportUnexpectedCall("BandSite::GetBandObject");
    return E_NOTIMPL;
}

STDMETHODIMP BandSite::SetBandSiteInfo(const BANDSITEINFO*) {
    ReportUnexpectedCall("BandSite::SetBandSiteInfo");
    return E_NOTIMPL;
}

STDMETHODIMP BandSite::GetBandSiteInfo(BANDSITEINFO*) {
    ReportUnexpectedCall("BandSite::GetBandSiteInfo");
    return E_NOTIMPL;
}

BandSiteService::BandSiteService(BandSite* pBandSite) : m_pBandSite(pBandSite) {
    m_pBandSite->AddRef();
}

BandSiteService::~BandSiteService() {
    m_pBandSite->Release();
}

STDMETHODIMP BandSiteService::QueryInterface(REFIID riid, void** ppv) {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BandSiteService::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_cRef));
}

STDMETHODIMP_(ULONG) BandSiteService::Release() {
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        delete this;
    }
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP BandSiteService::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    ++m_cCreations;
    if (pUnkOuter != nullptr) {
        *ppv = nullptr;
        return CLASS_E_NOAGGREGATION;
    }
    return m_pBandSite->QueryInterface(riid, ppv);
}

STDMETHODIMP BandSiteService::LockServer(BOOL) {
    return S_OK;
}

ClassObjectRegistration::ClassObjectRegistration(REFCLSID clsid, IUnknown* pClassObject,
                                                 DWORD dwContext)
    : m_hr(E_FAIL) {
    // In the body, not the initializer list: m_dwCookie is declared after
    // m_hr, so its own initializer would run after the call and wipe the
    // cookie, and the destructor would then revoke nothing.
    m_hr = CoRegisterClassObject(clsid, pClassObject, dwContext, REGCLS_MULTIPLEUSE, &m_dwCookie);
}

ClassObjectRegistration::~ClassObjectRegistration() {
    if (SUCCEEDED(m_hr)) {
        CoRevokeClassObject(m_dwCookie);
    }
}

} // namespace shell
