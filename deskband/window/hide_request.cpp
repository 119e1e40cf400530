// The band's half of the hide handshake: ask the taskbar's band site to take
// the band out.
#include "band/desk_band.h"

HRESULT HandleHideRequest(DWORD dwBandID) {
    IUnknown* pService = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_TrayBandSiteService, nullptr, CLSCTX_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&pService));
    if (FAILED(hr)) {
        return hr;
    }
    IBandSite* pBandSite = nullptr;
    if (SUCCEEDED(pService->QueryInterface(IID_IBandSite, reinterpret_cast<void**>(&pBandSite)))) {
        hr = pBandSite->RemoveBand(dwBandID);
        pBandSite->Release();
    }
    pService->Release();
    return hr;
}
