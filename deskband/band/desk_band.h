// The band object the taskbar hosts: one per band instance. It owns the band
// window, its tooltip, the memory DC with the current icon bitmap, and one
// reference to the host's input-object site.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <shlobj.h>
#include <shobjidl.h>

class CDeskBand final : public IDeskBand2,
                        public IPersistStream,
                        public IObjectWithSite,
                        public IInputObject {
  public:
    CDeskBand();

    // IUnknown, shared by every view.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleWindow
    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;

    // IDockingWindow
    STDMETHODIMP ShowDW(BOOL fShow) override;
    STDMETHODIMP CloseDW(DWORD dwReserved) override;
    STDMETHODIMP ResizeBorderDW(LPCRECT prcBorder, IUnknown* punkToolbarSite,
                                BOOL fReserved) override;

    // IDeskBand
    STDMETHODIMP GetBandInfo(DWORD dwBandID, DWORD dwViewMode, DESKBANDINFO* pdbi) override;

    // IDeskBand2
    STDMETHODIMP CanRenderComposited(BOOL* pfCanRenderComposited) override;
    STDMETHODIMP SetCompositionState(BOOL fCompositionEnabled) override;
    STDMETHODIMP GetCompositionState(BOOL* pfCompositionEnabled) override;

    // IPersist / IPersistStream: the band keeps no state of its own.
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(IStream* pStm) override;
    STDMETHODIMP Save(IStream* pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pcbSize) override;

    // IObjectWithSite
    STDMETHODIMP SetSite(IUnknown* pUnkSite) override;
    STDMETHODIMP GetSite(REFIID riid, void** ppvSite) override;

    // IInputObject
    STDMETHODIMP UIActivateIO(BOOL fActivate, MSG* pMsg) override;
    STDMETHODIMP HasFocusIO() override;
    STDMETHODIMP TranslateAcceleratorIO(MSG* pMsg) override;

    // The band window's procedure; finds its band through GWLP_USERDATA.
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

    // Icon layout: from a WM_SIZE client size, and from the window itself.
    void OnSize(LPARAM lParam);
    void OnUpdateTaskBandInfo();

    // Painting and the icon bitmap.
    WORD GetIconResourceId(bool fHot) const;
    void SwitchIconBitmap(bool fHot);
    void OnPaint(HDC hdcGiven);
    void OnEraseBackground(HDC hdc);
    void OnMouseMove();
    void OnMouseLeave();
    void OnChangeIconStyle(WPARAM wParam);

    // Tooltip and the click that starts the companion program.
    void CreateTooltip(HWND hwnd);
    void OnLButtonDown();
    void OnLButtonUp(HWND hwnd);
    void LaunchCompanion(HWND hwnd, POINT ptRelease);

  private:
    friend struct CDeskBandTestAccess;

    // Only Release destroys the object.
    ~CDeskBand();

    // Detaches the band window from the object, destroys it with its tooltip
    // and waits until no call of its window procedure is in progress; the
    // handles are left for the caller to clear.
    void DestroyBandWindows();

    // Centres the icon square in a client area of this size.
    void LayOutIcon(int width, int height);

    // The band's own background under the icon: grey, then whatever the
    // taskbar draws behind its bands.
    void PaintBackground(HDC hdc, RECT rc);

    LONG m_cRef;
    IInputObjectSite* m_pSite;
    BOOL m_fHasFocus;
    BOOL m_fDirty;
    BOOL m_fCompositionEnabled;
    DWORD m_dwBandID;
    HWND m_hwnd;
    HWND m_hwndParent;
    BOOL m_fVertical;
    int m_xIcon;
    int m_yIcon;
    HBITMAP m_hbmIcon;
    HDC m_hdcMem;
    BOOL m_fHot;
    HWND m_tip;
    POINT m_ptDown;
    int m_cxIcon;
    int m_nBpp;
    int m_nBppCached;
    int m_cxBand;
    int m_cyBand;
    int m_nRepresentativeIcon;
};

// Serves a pending show request (the global atom left by ShowBand) by adding
// the band to the taskbar's band site. Always S_OK.
HRESULT HandleShowRequest(CDeskBand* pBand);

// Asks the taskbar's band site to remove the band with this id.
HRESULT HandleHideRequest(DWORD dwBandID);
