// The taskbar's band site as bandhost serves it: the shell stand-in's
// BandSite does the hosting, and this front reports every call a band or a
// caller makes, with what the band site did about it. It is also the class
// object registered for CLSID_TrayBandSiteService, handing out itself.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "shell/band_site.h"

namespace bandhost {

class LoggedBandSite final : public IBandSite, public IClassFactory {
  public:
    // Holds a reference to pInner.
    explicit LoggedBandSite(shell::BandSite* pInner);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    STDMETHODIMP AddBand(IUnknown* punk) override;
    STDMETHODIMP EnumBands(UINT uBand, DWORD* pdwBandID) override;
    STDMETHODIMP QueryBand(DWORD dwBandID, IDeskBand** ppstb, DWORD* pdwState, LPWSTR pszName,
                           int cchName) override;
    STDMETHODIMP SetBandState(DWORD dwBandID, DWORD dwMask, DWORD dwState) override;
    STDMETHODIMP RemoveBand(DWORD dwBandID) override;
    STDMETHODIMP GetBandObject(DWORD dwBandID, REFIID riid, void** ppv) override;
    STDMETHODIMP SetBandSiteInfo(const BANDSITEINFO* pbsinfo) override;
    STDMETHODIMP GetBandSiteInfo(BANDSITEINFO* pbsinfo) override;

    shell::BandSite& Inner() const { return *m_pInner; }

    // Closes and releases every hosted band, reporting each like RemoveBand.
    void RemoveAll();

    // The id of the hosted band of this class, or 0 when none is hosted.
    DWORD FindBandOfClass(REFCLSID clsid) const;

  private:
    ~LoggedBandSite();

    LONG m_cRef = 1;
    shell::BandSite* m_pInner;
};

} // namespace bandhost
