// Unload and reload: the window class is registered
// once per load and unregistered, with its brush, when FreeLibrary unloads
// the module, so that a band of a later load reaches the new module's window
// procedure.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "hosting/hosting_harness.h"

namespace hosting {
namespace {

struct SitedBand {
    IDeskBand2* pBand = nullptr;
    HWND hwnd = nullptr;
};

SitedBand SiteBand(BandModule& dll, shell::Site* pSite) {
    SitedBand sited;
    EXPECT_EQ(S_OK, dll.CreateBand(IID_IDeskBand2, &sited.pBand));
    if (sited.pBand == nullptr) {
        return sited;
    }
    IObjectWithSite* pows = nullptr;
    EXPECT_EQ(S_OK,
              sited.pBand->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&pows)));
    EXPECT_EQ(S_OK, pows->SetSite(static_cast<IOleWindow*>(pSite)));
    pows->Release();
    sited.pBand->GetWindow(&sited.hwnd);
    return sited;
}

void CloseAndRelease(SitedBand& sited) {
    EXPECT_EQ(S_OK, sited.pBand->CloseDW(0));
    EXPECT_EQ(0u, sited.pBand->Release());
    sited = {};
}

TEST(Reload, AfterFreeLibraryANewLoadReachesItsOwnWindowProcedure) {
    shell::SetUnexpectedCallHandler(
        [](const std::string& call) { ADD_FAILURE() << "unexpected call " << call; });
    ComApartment apartment;
    shell::HostWindow host({0, 560, 800, 600});
    shell::Site* pSite = new shell::Site(host.Get());

    // First load: two bands share one class registration.
    BandModule first;
    ASSERT_TRUE(first.Loaded());
    const HMODULE firstModule = first.Get();
    SitedBand a = SiteBand(first, pSite);
    ASSERT_TRUE(IsWindow(a.hwnd));
    WNDCLASSW wc = {};
    ASSERT_TRUE(GetClassInfoW(firstModule, kBandClass, &wc));
    const HBRUSH firstBrush = wc.hbrBackground;
    SitedBand b = SiteBand(first, pSite);
    ASSERT_TRUE(IsWindow(b.hwnd));
    ASSERT_TRUE(GetClassInfoW(firstModule, kBandClass, &wc));
    EXPECT_EQ(firstBrush, wc.hbrBackground) << "one registration, one brush per load";
    EXPECT_EQ(static_cast<ULONG_PTR>(reinterpret_cast<UINT_PTR>(firstBrush)),
              GetClassLongPtrW(b.hwnd, GCLP_HBRBACKGROUND));
    CloseAndRelease(a);
    CloseAndRelease(b);
    ASSERT_EQ(S_OK, first.DllCanUnloadNow());
    first.Free();

    EXPECT_FALSE(GetModuleHandleW(L"VantrelDeskBand.dll")) << "the module is really unloaded";
    EXPECT_FALSE(GetClassInfoW(firstModule, kBandClass, &wc)) << "class left after FreeLibrary";
    LOGBRUSH lb = {};
    EXPECT_EQ(0, GetObjectW(firstBrush, sizeof(lb), &lb)) << "its brush is deleted";

    // Second load.
    BandModule second;
    ASSERT_TRUE(second.Loaded());
    SitedBand c = SiteBand(second, pSite);
    ASSERT_TRUE(IsWindow(c.hwnd));
    const void* classProc = reinterpret_cast<const void*>(GetClassLongPtrW(c.hwnd, GCLP_WNDPROC));
    const void* windowProc = reinterpret_cast<const void*>(GetWindowLongPtrW(c.hwnd, GWLP_WNDPROC));
    EXPECT_TRUE(InsideImage(second.Get(), classProc));
    EXPECT_TRUE(InsideImage(second.Get(), windowProc));
    ASSERT_TRUE(GetClassInfoW(second.Get(), kBandClass, &wc));
    EXPECT_TRUE(InsideImage(second.Get(), reinterpret_cast<const void*>(wc.lpfnWndProc)));
    // The window procedure answers: its band is attached and erasing is its.
    EXPECT_NE(0, GetWindowLongPtrW(c.hwnd, GWLP_USERDATA));
    EXPECT_EQ(S_OK, c.pBand->SetCompositionState(TRUE));
    HDC hdc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(1, SendMessageW(c.hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0));
    DeleteDC(hdc);
    CloseAndRelease(c);
    EXPECT_EQ(S_OK, second.DllCanUnloadNow());
    const HMODULE secondModule = second.Get();
    second.Free();
    EXPECT_FALSE(GetClassInfoW(secondModule, kBandClass, &wc));

    EXPECT_EQ(0u, pSite->Release());
    shell::SetUnexpectedCallHandler(nullptr);
}

} // namespace
} // namespace hosting
