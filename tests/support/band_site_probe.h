// A band site service for CLSID_TrayBandSiteService that puts a probe in
// front of the shell stand-in's shell::BandSite: every IBandSite call is
// forwarded to it, and AddBand also records what the world looked like when
// it was called (was the show-request atom still there, which pointer came
// in). Registered with CoRegisterClassObject for the life of the object, so
// the band's CoCreateInstance(CLSID_TrayBandSiteService, CLSCTX_SERVER) finds
// it in this process.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <memory>

#include "shell/band_site.h"
#include "support/band_module.h"

// The show-request atom's name: the band's class id as StringFromGUID2 writes it.
inline std::wstring BandClsidString() {
    wchar_t text[260] = {};
    StringFromGUID2(kBandClsid, text, 260);
    return text;
}
inline ATOM FindShowRequestAtom() {
    return GlobalFindAtomW(BandClsidString().c_str());
}
// Deletes the atom as often as it was added.
inline void ClearShowRequestAtom() {
    for (int i = 0; i < 100 && FindShowRequestAtom() != 0; ++i) {
        GlobalDeleteAtom(FindShowRequestAtom());
    }
}

class BandSiteProbe final : public IBandSite, public IClassFactory {
  public:
    // Forwards to pInner, which it holds a reference to; pInner may be null,
    // then AddBand only records and answers S_OK.
    explicit BandSiteProbe(shell::BandSite* pInner) : m_pInner(pInner) {
        if (m_pInner != nullptr) {
            m_pInner->AddRef();
        }
    }

    // IUnknown: one object is both the class object and the band site.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
        } else if (IsEqualIID(riid, IID_IBandSite)) {
            *ppv = static_cast<IBandSite*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG cRef = InterlockedDecrement(&m_cRef);
        if (cRef == 0) {
            delete this;
        }
        return cRef;
    }

    // IClassFactory: hands out this object, as a fresh "service" each time.
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
        ++m_cCreations;
        if (pUnkOuter != nullptr) {
            *ppv = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
        return QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    // IBandSite
    STDMETHODIMP AddBand(IUnknown* punk) override {
        ++m_cAddBand;
        m_fAtomAtAddBand = FindShowRequestAtom() != 0;
        m_punkAdded = punk;
        if (m_pInner != nullptr) {
            m_pInner->AddBand(punk);
        }
        return m_hrAddBand;
    }
    STDMETHODIMP EnumBands(UINT uBand, DWORD* pdwBandID) override {
        return m_pInner != nullptr ? m_pInner->EnumBands(uBand, pdwBandID) : E_FAIL;
    }
    STDMETHODIMP QueryBand(DWORD id, IDeskBand** pp, DWORD* pdw, LPWSTR psz, int cch) override {
        return m_pInner != nullptr ? m_pInner->QueryBand(id, pp, pdw, psz, cch) : E_FAIL;
    }
    STDMETHODIMP SetBandState(DWORD id, DWORD mask, DWORD state) override {
        return m_pInner != nullptr ? m_pInner->SetBandState(id, mask, state) : E_FAIL;
    }
    STDMETHODIMP RemoveBand(DWORD id) override {
        ++m_cRemoveBand;
        if (m_onRemoveBand) {
            m_onRemoveBand(id);
        }
        return m_pInner != nullptr ? m_pInner->RemoveBand(id) : S_OK;
    }
    STDMETHODIMP GetBandObject(DWORD id, REFIID riid, void** ppv) override {
        return m_pInner != nullptr ? m_pInner->GetBandObject(id, riid, ppv) : E_FAIL;
    }
    STDMETHODIMP SetBandSiteInfo(const BANDSITEINFO* p) override {
        return m_pInner != nullptr ? m_pInner->SetBandSiteInfo(p) : E_FAIL;
    }
    STDMETHODIMP GetBandSiteInfo(BANDSITEINFO* p) override {
        return m_pInner != nullptr ? m_pInner->GetBandSiteInfo(p) : E_FAIL;
    }

    // Scripting: what AddBand answers (after forwarding), and what RemoveBand
    // does before it forwards.
    void SetAddBandResult(HRESULT hr) { m_hrAddBand = hr; }
    void SetOnRemoveBand(std::function<void(DWORD)> f) { m_onRemoveBand = std::move(f); }

    int Creations() const { return m_cCreations; }
    int AddBandCalls() const { return m_cAddBand; }
    int RemoveBandCalls() const { return m_cRemoveBand; }
    bool AtomPresentAtAddBand() const { return m_fAtomAtAddBand; }
    IUnknown* AddedBand() const { return m_punkAdded; } // not a reference

  private:
    ~BandSiteProbe() {
        if (m_pInner != nullptr) {
            m_pInner->Release();
        }
    }

    LONG m_cRef = 1;
    shell::BandSite* m_pInner;
    int m_cCreations = 0;
    int m_cAddBand = 0;
    int m_cRemoveBand = 0;
    bool m_fAtomAtAddBand = false;
    IUnknown* m_punkAdded = nullptr;
    HRESULT m_hrAddBand = S_OK;
    std::function<void(DWORD)> m_onRemoveBand;
};

// A probe registered for CLSID_TrayBandSiteService while this object lives.
class RegisteredBandSiteProbe {
  public:
    explicit RegisteredBandSiteProbe(shell::BandSite* pInner)
        : m_pProbe(new BandSiteProbe(pInner)),
          m_registration(std::make_unique<shell::ClassObjectRegistration>(
              CLSID_TrayBandSiteService, static_cast<IClassFactory*>(m_pProbe))) {}
    ~RegisteredBandSiteProbe() {
        m_registration.reset();
        m_pProbe->Release();
    }
    RegisteredBandSiteProbe(const RegisteredBandSiteProbe&) = delete;
    RegisteredBandSiteProbe& operator=(const RegisteredBandSiteProbe&) = delete;

    HRESULT Result() const { return m_registration->Result(); }
    BandSiteProbe& operator*() const { return *m_pProbe; }
    BandSiteProbe* operator->() const { return m_pProbe; }

  private:
    BandSiteProbe* m_pProbe;
    std::unique_ptr<shell::ClassObjectRegistration> m_registration;
};
