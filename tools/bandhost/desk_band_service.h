// The taskbar's desk band service, for other processes: ITrayDeskBand on an
// object that the class object for CLSID_TrayDeskBand hands out. It creates
// desk bands through COM (their registered InprocServer32) and hosts them in
// the band site.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

#include "bandhost/logged_band_site.h"

namespace bandhost {

class DeskBandService final : public ITrayDeskBand, public IClassFactory {
  public:
    // Holds a reference to the band site; reads the registered desk bands.
    explicit DeskBandService(LoggedBandSite* pBandSite);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    STDMETHODIMP ShowDeskBand(REFCLSID clsid) override;
    STDMETHODIMP HideDeskBand(REFCLSID clsid) override;
    STDMETHODIMP IsDeskBandShown(REFCLSID clsid) override;
    STDMETHODIMP DeskBandRegistrationChanged() override;

  private:
    ~DeskBandService();
    // The classes registered in the desk band category, as last read.
    HRESULT ReadRegisteredDeskBands();
    bool IsRegisteredDeskBand(REFCLSID clsid) const;

    LONG m_cRef = 1;
    LoggedBandSite* m_pBandSite;
    std::vector<CLSID> m_deskBands;
};

} // namespace bandhost
