// A site that gives up the last reference to its band from inside the band's
// own window procedure: on the first focus change the band reports, it
// releases the band reference it was handed. How a shell can end a band in
// the middle of one of the band's own calls.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include "shell/unexpected.h"

namespace shell {

class ReleasingSite final : public IOleWindow, public IInputObjectSite {
  public:
    // The count starts at 1, owned by the creator.
    explicit ReleasingSite(HWND hwndHost) : m_hwndHost(hwndHost) {}

    void HandOver(IUnknown* pBand) { m_pBand = pBand; }
    ULONG LastReleaseResult() const { return m_cRefAfterRelease; }
    bool Released() const { return m_pBand == nullptr && m_fReleased; }
    LONG RefCount() const { return m_cRef; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleWindow)) {
            *ppv = static_cast<IOleWindow*>(this);
        } else if (IsEqualIID(riid, IID_IInputObjectSite)) {
            *ppv = static_cast<IInputObjectSite*>(this);
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
    STDMETHODIMP GetWindow(HWND* phwnd) override {
        *phwnd = m_hwndHost;
        return S_OK;
    }
    STDMETHODIMP ContextSensitiveHelp(BOOL) override {
        ReportUnexpectedCall("ReleasingSite::ContextSensitiveHelp");
        return E_NOTIMPL;
    }
    STDMETHODIMP OnFocusChangeIS(IUnknown*, BOOL) override {
        if (m_pBand != nullptr) {
            IUnknown* p = m_pBand;
            m_pBand = nullptr;
            m_fReleased = true;
            m_cRefAfterRelease = p->Release();
        }
        return S_OK;
    }

  private:
    ~ReleasingSite() = default;

    LONG m_cRef = 1;
    HWND m_hwndHost;
    IUnknown* m_pBand = nullptr;
    bool m_fReleased = false;
    ULONG m_cRefAfterRelease = 0xFFFFFFFF;
};

} // namespace shell
