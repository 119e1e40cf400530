// ShowBand: any program may call it to have the taskbar show the band.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "server/guids.h"
#include "server/trace.h"

namespace {

// Taskbars with the desk band service show the band themselves.
HRESULT ShowThroughDeskBandService(ITrayDeskBand* pTray) {
    HRESULT hr = pTray->DeskBandRegistrationChanged();
    if (FAILED(hr)) {
        return hr;
    }
    hr = pTray->IsDeskBandShown(CLSID_VantrelDeskBand);
    if (hr != S_FALSE) {
        return hr;
    }
    return pTray->ShowDeskBand(CLSID_VantrelDeskBand);
}

// Older taskbars: leave a request for the band and have the shell load it;
// the band then adds itself to the taskbar.
HRESULT ShowThroughShellLoad() {
    wchar_t clsid[kGuidStringChars] = {};
    StringFromGUID2(CLSID_VantrelDeskBand, clsid, kGuidStringChars);
    if (GlobalFindAtomW(clsid) == 0) {
        GlobalAddAtomW(clsid);
    }
    return SHLoadInProc(CLSID_VantrelDeskBand);
}

} // namespace

STDAPI ShowBand() {
    TraceMessage("ShowBand In");
    // The caller's thread stays in COM: the desk band service and the shell
    // may call back into it.
    CoInitialize(nullptr);
    ITrayDeskBand* pTray = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_TrayDeskBand, nullptr, CLSCTX_SERVER, IID_ITrayDeskBand,
                                  reinterpret_cast<void**>(&pTray));
    if (SUCCEEDED(hr)) {
        hr = ShowThroughDeskBandService(pTray);
        pTray->Release();
    } else {
        hr = ShowThroughShellLoad();
    }
    TraceMessage("ShowBand Out");
    return hr;
}
