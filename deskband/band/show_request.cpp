// The band's half of the show handshake on taskbars without the desk band
// service: a pending request (a global atom named by our class id) makes the
// band add itself to the taskbar's band site.
#include "band/desk_band.h"

#include "server/guids.h"

HRESULT HandleShowRequest(CDeskBand* pBand) {
    wchar_t clsid[kGuidStringChars] = {};
    StringFromGUID2(CLSID_VantrelDeskBand, clsid, kGuidStringChars);
    const ATOM atom = GlobalFindAtomW(clsid);
    if (atom == 0) {
        return S_OK;
    }
    // Gone before the band site is asked, so queries made while the band is
    // being added find no request.
    GlobalDeleteAtom(atom);

    IUnknown* pService = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TrayBandSiteService, nullptr, CLSCTX_SERVER, IID_IUnknown,
                                reinterpret_cast<void**>(&pService)))) {
        return S_OK;
    }
    IBandSite* pBandSite = nullptr;
    if (SUCCEEDED(pService->QueryInterface(IID_IBandSite, reinterpret_cast<void**>(&pBandSite)))) {
        pBandSite->AddBand(static_cast<IDeskBand2*>(pBand));
        pBandSite->Release();
    }
    pService->Release();
    return S_OK;
}
