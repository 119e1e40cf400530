// Identity, reference counting, construction and destruction of the band.
#include "band/desk_band.h"

#include <climits>

#include "band/settings.h"
#include "server/module.h"
#include "server/trace.h"
#include "window/busy_count.h"

CDeskBand::CDeskBand()
    : m_cRef(1), m_pSite(nullptr), m_fHasFocus(FALSE), m_fDirty(FALSE),
      m_fCompositionEnabled(FALSE), m_dwBandID(0), m_hwnd(nullptr), m_hwndParent(nullptr),
      m_fVertical(FALSE), m_xIcon(0), m_yIcon(0), m_hbmIcon(nullptr), m_hdcMem(nullptr),
      m_fHot(FALSE), m_tip(nullptr),
      // No release can lie within a pixel of this, so a release without a
      // press over the band starts nothing.
      m_ptDown{LONG_MIN, LONG_MIN}, m_cxIcon(32), m_nBpp(32), m_nBppCached(0), m_cxBand(0),
      m_cyBand(0), m_nRepresentativeIcon(ReadIconStyle()) {
    ModuleObjRefAdd();
}

CDeskBand::~CDeskBand() {
    if (IsWindow(m_hwnd)) {
        DestroyBandWindows();
    }
    if (m_hdcMem != nullptr) {
        DeleteDC(m_hdcMem);
        m_hdcMem = nullptr;
    }
    if (m_hbmIcon != nullptr) {
        DeleteObject(m_hbmIcon);
        m_hbmIcon = nullptr;
    }
    if (m_pSite != nullptr) {
        m_pSite->Release();
        m_pSite = nullptr;
    }
}

void CDeskBand::DestroyBandWindows() {
    if (IsWindow(m_hwnd)) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    }
    if (IsWindow(m_tip)) {
        DestroyWindow(m_tip);
    }
    if (IsWindow(m_hwnd)) {
        DestroyWindow(m_hwnd);
    }
    // Torn down before waiting: when this runs inside one of the band's own
    // window-procedure calls, the wait can only end once the window is gone.
    WaitForBandWindowIdle(m_hwnd);
}

STDMETHODIMP CDeskBand::QueryInterface(REFIID riid, void** ppv) {
    TraceMessage("CDeskBand::QueryInterface In");
    bool fPrimary = false;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow) ||
        IsEqualIID(riid, IID_IDockingWindow) || IsEqualIID(riid, IID_IDeskBand) ||
        IsEqualIID(riid, IID_IDeskBand2)) {
        *ppv = static_cast<IDeskBand2*>(this);
        fPrimary = true;
    } else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStream)) {
        *ppv = static_cast<IPersistStream*>(this);
    } else if (IsEqualIID(riid, IID_IObjectWithSite)) {
        *ppv = static_cast<IObjectWithSite*>(this);
    } else if (IsEqualIID(riid, IID_IInputObject)) {
        *ppv = static_cast<IInputObject*>(this);
    } else {
        *ppv = nullptr;
        TraceMessage("CDeskBand::QueryInterface Out");
        return E_NOINTERFACE;
    }
    if (fPrimary) {
        HandleShowRequest(this);
    }
    AddRef();
    TraceMessage("CDeskBand::QueryInterface Out");
    return S_OK;
}

STDMETHODIMP_(ULONG) CDeskBand::AddRef() {
    TraceMessage("CDeskBand::AddRef In");
    ModuleObjRefAdd();
    const ULONG cRef = static_cast<ULONG>(InterlockedIncrement(&m_cRef));
    TraceMessage("CDeskBand::AddRef Out");
    return cRef;
}

STDMETHODIMP_(ULONG) CDeskBand::Release() {
    TraceMessage("CDeskBand::Release In");
    ModuleObjRefDrop();
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        delete this;
    }
    TraceMessage("CDeskBand::Release Out");
    return static_cast<ULONG>(cRef);
}
