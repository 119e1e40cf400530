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
#include "shell/self_serving_service.h"
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

class BandSiteProbe final : public shell::SelfServingService<IBandSite> {
  public:
    // Forwards to pInner, which it holds a reference to; pInner may be null,
    // then AddBand only records and answers S_OK.
    explicit BandSiteProbe(shell::BandSite* pInner)
        : SelfServingService(IID_IBandSite), m_pInner(pInner) {
        if (m_pInner != nullptr) {
            m_pInner->AddRef();
        }
    }

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

    shell::BandSite* m_pInner;
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
