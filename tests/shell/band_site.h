// The taskbar's band site as far as a band sees it: AddBand hosts a band the
// way a taskbar does (query, site, band information with an id, show), and
// RemoveBand closes and releases it. Every call is recorded.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "shell/site.h"

namespace shell {

struct HostedBand {
    DWORD dwBandID;
    IDeskBand* pBand; // one reference, held while hosted
    Site* pSite;      // one reference, held while hosted
    DESKBANDINFO info;
    HRESULT hrSetSite;
    HRESULT hrGetBandInfo;
    HWND hwnd; // the band's window as GetWindow gave it after siting
};

// A band RemoveBand took out: what its last Release returned (0 when the
// band site held the last reference).
struct RemovedBand {
    DWORD dwBandID;
    ULONG cRefAfterRelease;
};

class BandSite final : public IBandSite {
  public:
    explicit BandSite(HWND hwndHost);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP AddBand(IUnknown* punk) override;
    STDMETHODIMP EnumBands(UINT uBand, DWORD* pdwBandID) override;
    STDMETHODIMP QueryBand(DWORD dwBandID, IDeskBand** ppstb, DWORD* pdwState, LPWSTR pszName,
                           int cchName) override;
    STDMETHODIMP SetBandState(DWORD dwBandID, DWORD dwMask, DWORD dwState) override;
    STDMETHODIMP RemoveBand(DWORD dwBandID) override;
    STDMETHODIMP GetBandObject(DWORD dwBandID, REFIID riid, void** ppv) override;
    STDMETHODIMP SetBandSiteInfo(const BANDSITEINFO* pbsinfo) override;
    STDMETHODIMP GetBandSiteInfo(BANDSITEINFO* pbsinfo) override;

    // Closes and releases every band still hosted, as a taskbar does when
    // it goes away.
    void RemoveAll();

    // Places the hosted bands' windows one after another along the host's
    // long side, starting at `start` pixels, each as long as its band asked.
    void Layout();
    void SetLayoutStart(int start) { m_layoutStart = start; }

    // The id the next added band gets.
    void SetNextBandID(DWORD id) { m_nextBandID = id; }

    const std::vector<std::string>& Calls() const { return m_calls; }
    const std::vector<HostedBand>& Bands() const { return m_bands; }
    const HostedBand* Find(DWORD dwBandID) const;
    const std::vector<RemovedBand>& Removed() const { return m_removed; }
    HWND Host() const { return m_hwndHost; }
    LONG RefCount() const { return m_cRef; }

  private:
    ~BandSite();

    LONG m_cRef = 1;
    HWND m_hwndHost;
    DWORD m_nextBandID = 1;
    int m_layoutStart = 0;
    std::vector<std::string> m_calls;
    std::vector<HostedBand> m_bands;
    std::vector<RemovedBand> m_removed;
};

// A class object that hands out one band site: registered for
// CLSID_TrayBandSiteService, it is what a band reaches with CoCreateInstance.
class BandSiteService final : public IClassFactory {
  public:
    explicit BandSiteService(BandSite* pBandSite);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

    int Creations() const { return m_cCreations; }

  private:
    ~BandSiteService();

    LONG m_cRef = 1;
    BandSite* m_pBandSite;
    int m_cCreations = 0;
};

// A class object registered with COM for the life of this object.
class ClassObjectRegistration {
  public:
    ClassObjectRegistration(REFCLSID clsid, IUnknown* pClassObject,
                            DWORD dwContext = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER);
    ~ClassObjectRegistration();
    ClassObjectRegistration(const ClassObjectRegistration&) = delete;
    ClassObjectRegistration& operator=(const ClassObjectRegistration&) = delete;

    HRESULT Result() const { return m_hr; }

  private:
    HRESULT m_hr;
    DWORD m_dwCookie = 0;
};

} // namespace shell
