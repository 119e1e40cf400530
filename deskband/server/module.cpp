#include "server/module.h"

#include "server/class_factory.h"
#include "server/guids.h"
#include "server/trace.h"
#include "window/window_class.h"

HINSTANCE g_hInstance = nullptr;
volatile LONG g_cServerLocks = 0;
volatile ULONG g_cObjRefs = 0;

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pvReserved) {
    if (dwReason == DLL_PROCESS_ATTACH) {
        g_hInstance = hInstance;
        DisableThreadLibraryCalls(hInstance);
    } else if (dwReason == DLL_PROCESS_DETACH && pvReserved == nullptr) {
        // Unloaded by FreeLibrary while the process goes on: a later load must
        // not find our class still pointing at a window procedure that is gone.
        UnregisterBandWindowClass();
    }
    return TRUE;
}

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
