// The site a taskbar hands a band in SetSite: the host window through
// IOleWindow, and focus changes through IInputObjectSite.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <vector>

namespace shell {

struct FocusChange {
    IUnknown* punkObj;
    BOOL fSetFocus;
};

class Site final : public IOleWindow, public IInputObjectSite {
  public:
    // The count starts at 1, owned by the creator.
    explicit Site(HWND hwndHost);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;

    STDMETHODIMP OnFocusChangeIS(IUnknown* punkObj, BOOL fSetFocus) override;

    // Scripting for tests: what GetWindow answers, and which interfaces the
    // site admits to.
    void SetGetWindowResult(HRESULT hr) { m_hrGetWindow = hr; }
    void SetOffersOleWindow(bool f) { m_fOleWindow = f; }
    void SetOffersInputObjectSite(bool f) { m_fInputObjectSite = f; }

    HWND Host() const { return m_hwndHost; }
    const std::vector<FocusChange>& FocusChanges() const { return m_focusChanges; }
    LONG RefCount() const { return m_cRef; }

  private:
    ~Site() = default;

    LONG m_cRef = 1;
    HWND m_hwndHost;
    HRESULT m_hrGetWindow = S_OK;
    bool m_fOleWindow = true;
    bool m_fInputObjectSite = true;
    std::vector<FocusChange> m_focusChanges;
};

} // namespace shell
