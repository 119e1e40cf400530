// ShowDW and CloseDW, focus (UIActivateIO, a real focus change, HasFocusIO),
// composition and the persistence answers.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "hosting/hosting_harness.h"
#include "support/com_test.h"

namespace hosting {
namespace {

using Docking = HostedBandTest;

bool Visible(HWND hwnd) {
    return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

TEST_F(Docking, ShowDWBeforeTheWindowExistsDoesNothing) {
    EXPECT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    EXPECT_EQ(S_OK, m_pBand->ShowDW(FALSE));
    EXPECT_EQ(nullptr, BandWindow());
    EXPECT_TRUE(BandClassWindows().empty());
}

TEST_F(Docking, ShowDWTogglesVisibility) {
    ASSERT_EQ(S_OK, Site());
    const HWND hwnd = BandWindow();
    ASSERT_FALSE(Visible(hwnd));
    EXPECT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    EXPECT_TRUE(Visible(hwnd));
    EXPECT_EQ(S_OK, m_pBand->ShowDW(2)); // any nonzero value shows
    EXPECT_TRUE(Visible(hwnd));
    EXPECT_EQ(S_OK, m_pBand->ShowDW(FALSE));
    EXPECT_FALSE(Visible(hwnd));
    EXPECT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    EXPECT_TRUE(Visible(hwnd));
}

TEST_F(Docking, CloseDWOnceAndTwice) {
    Watchdog watchdog(20000, "Docking.CloseDWOnceAndTwice");
    ASSERT_EQ(S_OK, Site());
    ASSERT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    const HWND hwnd = BandWindow();
    const void* pObject = Primary();
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(S_OK, m_pBand->CloseDW(0));
    EXPECT_LT(GetTickCount64() - start, kHangBoundMs) << "a wait hung";
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(nullptr, BandWindow());
    EXPECT_EQ(0, WindowsReferring(pObject));
    EXPECT_EQ(2, m_pSite->RefCount()) << "CloseDW keeps the site";

    EXPECT_EQ(S_OK, m_pBand->CloseDW(0xFFFFFFFF));
    EXPECT_EQ(nullptr, BandWindow());
    // After CloseDW the window methods see no window.
    EXPECT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    EXPECT_EQ(S_OK, As<IInputObject>(IID_IInputObject)->UIActivateIO(TRUE, nullptr));
    EXPECT_EQ(S_OK, m_pBand->SetCompositionState(TRUE));
    EXPECT_TRUE(BandClassWindows().empty());
}

TEST_F(Docking, CloseDWBeforeAnyWindow) {
    EXPECT_EQ(S_OK, m_pBand->CloseDW(0));
    EXPECT_EQ(S_OK, m_pBand->CloseDW(0));
    EXPECT_EQ(nullptr, BandWindow());
}

// A real focus change needs an active top-level window that can take the
// focus: the host is made visible and brought to the foreground.
class Focus : public HostedBandTest {
  protected:
    void SetUp() override {
        HostedBandTest::SetUp();
        ShowWindow(m_host.Get(), SW_SHOW);
        SetForegroundWindow(m_host.Get());
        SetActiveWindow(m_host.Get());
        SetFocus(m_host.Get());
        ASSERT_EQ(m_host.Get(), GetActiveWindow()) << "the host must be able to become active";
        ASSERT_EQ(m_host.Get(), GetFocus());
        ASSERT_EQ(S_OK, Site());
        ASSERT_EQ(S_OK, m_pBand->ShowDW(TRUE));
        m_pInput = As<IInputObject>(IID_IInputObject);
    }
    IInputObject* m_pInput = nullptr;
};

TEST_F(Focus, UIActivateIOAndARealFocusChangeReachTheSite) {
    const HWND hwnd = BandWindow();
    IUnknown* pPrimary = Primary();
    EXPECT_EQ(S_FALSE, m_pInput->HasFocusIO());
    ASSERT_TRUE(m_pSite->FocusChanges().empty());

    EXPECT_EQ(S_OK, m_pInput->UIActivateIO(TRUE, nullptr));
    EXPECT_EQ(hwnd, GetFocus());
    EXPECT_EQ(S_OK, m_pInput->HasFocusIO());
    ASSERT_EQ(1u, m_pSite->FocusChanges().size());
    EXPECT_EQ(pPrimary, m_pSite->FocusChanges()[0].punkObj) << "the band's primary IUnknown";
    EXPECT_EQ(TRUE, m_pSite->FocusChanges()[0].fSetFocus);

    // Deactivation changes nothing.
    EXPECT_EQ(S_OK, m_pInput->UIActivateIO(FALSE, nullptr));
    EXPECT_EQ(hwnd, GetFocus());
    EXPECT_EQ(S_OK, m_pInput->HasFocusIO());
    EXPECT_EQ(1u, m_pSite->FocusChanges().size());

    // The focus goes away for real.
    SetFocus(m_host.Get());
    EXPECT_EQ(m_host.Get(), GetFocus());
    EXPECT_EQ(S_FALSE, m_pInput->HasFocusIO());
    ASSERT_EQ(2u, m_pSite->FocusChanges().size());
    EXPECT_EQ(pPrimary, m_pSite->FocusChanges()[1].punkObj);
    EXPECT_EQ(FALSE, m_pSite->FocusChanges()[1].fSetFocus);

    // And comes back without UIActivateIO.
    SetFocus(hwnd);
    EXPECT_EQ(hwnd, GetFocus());
    EXPECT_EQ(S_OK, m_pInput->HasFocusIO());
    ASSERT_EQ(3u, m_pSite->FocusChanges().size());
    EXPECT_EQ(pPrimary, m_pSite->FocusChanges()[2].punkObj);
    EXPECT_EQ(TRUE, m_pSite->FocusChanges()[2].fSetFocus);

    // Closing a focused band: hiding it (still attached) may report the loss
    // of focus; nothing after the detach reaches the site.
    EXPECT_EQ(S_OK, m_pBand->CloseDW(0));
    ASSERT_LE(m_pSite->FocusChanges().size(), 4u);
    if (m_pSite->FocusChanges().size() == 4u) {
        EXPECT_EQ(FALSE, m_pSite->FocusChanges()[3].fSetFocus);
    }
    EXPECT_EQ(S_FALSE, m_pInput->HasFocusIO());
}

TEST_F(Focus, UIActivateIOFalseWithoutFocusChangesNothing) {
    EXPECT_EQ(S_OK, m_pInput->UIActivateIO(FALSE, nullptr));
    EXPECT_EQ(m_host.Get(), GetFocus());
    EXPECT_EQ(S_FALSE, m_pInput->HasFocusIO());
    EXPECT_TRUE(m_pSite->FocusChanges().empty());
}

TEST_F(Docking, CompositionAnswers) {
    BOOL f = 7;
    EXPECT_EQ(S_OK, m_pBand->CanRenderComposited(&f));
    EXPECT_EQ(TRUE, f);
    f = 7;
    EXPECT_EQ(S_OK, m_pBand->GetCompositionState(&f));
    EXPECT_EQ(FALSE, f) << "not composited to start with";
    EXPECT_EQ(S_OK, m_pBand->SetCompositionState(TRUE)); // no window yet
    EXPECT_EQ(S_OK, m_pBand->GetCompositionState(&f));
    EXPECT_EQ(TRUE, f);

    ASSERT_EQ(S_OK, Site());
    ASSERT_EQ(S_OK, m_pBand->ShowDW(TRUE));
    EXPECT_EQ(S_OK, m_pBand->SetCompositionState(FALSE));
    EXPECT_EQ(S_OK, m_pBand->GetCompositionState(&f));
    EXPECT_EQ(FALSE, f);
    EXPECT_EQ(S_OK, m_pBand->SetCompositionState(5)); // stored unchanged
    EXPECT_EQ(S_OK, m_pBand->GetCompositionState(&f));
    EXPECT_EQ(5, f);
    EXPECT_EQ(S_OK, m_pBand->CanRenderComposited(&f));
    EXPECT_EQ(TRUE, f);
}

TEST_F(Docking, PersistenceAndOtherAnswers) {
    IPersistStream* pps = As<IPersistStream>(IID_IPersistStream);
    CLSID clsid = {};
    EXPECT_EQ(S_OK, pps->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualCLSID(kBandClsid, clsid));
    EXPECT_EQ(S_FALSE, pps->IsDirty());

    UntouchableStream stream;
    EXPECT_EQ(S_OK, pps->Load(&stream));
    EXPECT_EQ(S_OK, pps->Save(&stream, TRUE));
    EXPECT_EQ(S_FALSE, pps->IsDirty());
    EXPECT_EQ(S_OK, pps->Save(&stream, FALSE));
    EXPECT_EQ(S_FALSE, pps->IsDirty());
    EXPECT_EQ(0, stream.Calls());

    ULARGE_INTEGER size;
    size.QuadPart = 0x1234;
    EXPECT_EQ(E_NOTIMPL, pps->GetSizeMax(&size));
    EXPECT_EQ(0x1234u, size.QuadPart);

    MSG msg = {};
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_RETURN;
    EXPECT_EQ(S_FALSE, As<IInputObject>(IID_IInputObject)->TranslateAcceleratorIO(&msg));
    EXPECT_EQ(E_NOTIMPL, m_pBand->ContextSensitiveHelp(TRUE));
    EXPECT_EQ(E_NOTIMPL, m_pBand->ContextSensitiveHelp(FALSE));
    RECT rc = {0, 0, 10, 10};
    EXPECT_EQ(E_NOTIMPL, m_pBand->ResizeBorderDW(&rc, nullptr, FALSE));

    // The same answers once sited.
    ASSERT_EQ(S_OK, Site());
    EXPECT_EQ(S_OK, pps->Load(&stream));
    EXPECT_EQ(S_OK, pps->Save(&stream, TRUE));
    EXPECT_EQ(S_FALSE, pps->IsDirty());
    EXPECT_EQ(E_NOTIMPL, m_pBand->ResizeBorderDW(&rc, static_cast<IOleWindow*>(m_pSite), TRUE));
    EXPECT_EQ(0, stream.Calls());
}

} // namespace
} // namespace hosting
