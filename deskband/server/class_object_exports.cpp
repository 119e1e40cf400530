// The exports through which COM reaches the band's class and asks whether the
// module may be unloaded.
#include <new>

#include "server/class_factory.h"
#include "server/guids.h"
#include "server/module.h"
#include "server/trace.h"

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    TraceMessage("DllGetClassObject In");
    if (!IsEqualCLSID(rclsid, CLSID_VantrelDeskBand)) {
        TraceMessage("DllGetClassObject Out");
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    CClassFactory* pFactory = new (std::nothrow) CClassFactory();
    if (pFactory == nullptr) {
        TraceMessage("DllGetClassObject Out");
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = pFactory->QueryInterface(riid, ppv);
    pFactory->Release();
    TraceMessage("DllGetClassObject Out");
    return hr;
}

STDAPI DllCanUnloadNow() {
    TraceMessage("DllCanUnloadNow In");
    const HRESULT hr = (g_cServerLocks > 0 || g_cObjRefs != 0) ? S_FALSE : S_OK;
    TraceMessage("DllCanUnloadNow Out");
    return hr;
}
