#include "server/class_factory.h"

#include "band/desk_band.h"
#include "server/module.h"
#include "server/trace.h"

CClassFactory::CClassFactory() : m_cRef(1) {
    ModuleServerLockAdd();
}

CClassFactory::~CClassFactory() {
    ModuleServerLockDrop();
}

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    TraceMessage("CClassFactory::QueryInterface In");
    HRESULT hr = E_NOINTERFACE;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        hr = S_OK;
    } else {
        *ppv = nullptr;
    }
    TraceMessage("CClassFactory::QueryInterface Out");
    return hr;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() {
    TraceMessage("CClassFactory::AddRef In");
    const ULONG cRef = static_cast<ULONG>(InterlockedIncrement(&m_cRef));
    TraceMessage("CClassFactory::AddRef Out");
    return cRef;
}

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    TraceMessage("CClassFactory::Release In");
    const LONG cRef = InterlockedDecrement(&m_cRef);
    if (cRef == 0) {
        delete this;
    }
    TraceMessage("CClassFactory::Release Out");
    return static_cast<ULONG>(cRef);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    TraceMessage("CClassFactory::CreateInstance In");
    if (pUnkOuter != nullptr) {
        TraceMessage("CClassFactory::CreateInstance Out");
        return CLASS_E_NOAGGREGATION;
    }
    CDeskBand* pBand = new (std::nothrow) CDeskBand();
    if (pBand == nullptr) {
        TraceMessage("CClassFactory::CreateInstance Out");
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = pBand->QueryInterface(riid, ppv);
    pBand->Release();
    TraceMessage("CClassFactory::CreateInstance Out");
    return hr;
}

STDMETHODIMP CClassFactory::LockServer(BOOL fLock) {
    TraceMessage("CClassFactory::LockServer In");
    if (fLock) {
        ModuleServerLockAdd();
    } else {
        ModuleServerLockDrop();
    }
    TraceMessage("CClassFactory::LockServer Out");
    return S_OK;
}
