// What the hosting tests share: a watchdog that ends a hung test, a look at
// every window of the band's class, a stream that must never be touched, a
// small scriptable band site service, and a fixture that loads the DLL with a
// host window and a site from the shell stand-in.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "shell/band_site.h"
#include "shell/host_window.h"
#include "shell/site.h"
#include "shell/unexpected.h"
#include "support/band_module.h"
#include "support/com_test.h"
#include "shell/releasing_site.h"

namespace hosting {

inline constexpr wchar_t kBandClass[] = L"VantrelDeskBandClass";
inline constexpr wchar_t kHideMessage[] = L"Vantreldeskbandhmsg";
inline constexpr wchar_t kStyleMessage[] = L"VantrelChangeRepresentativeIcon";

// Ends the whole process, as a failure, when the code under it has not
// finished within the time given: a hang must fail, not stall the run.
class Watchdog {
  public:
    Watchdog(DWORD ms, const char* what)
        : m_event(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_ms(ms), m_what(what) {
        m_thread = CreateThread(nullptr, 0, &Watchdog::Run, this, 0, nullptr);
    }
    ~Watchdog() {
        SetEvent(m_event);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        CloseHandle(m_event);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

  private:
    static DWORD WINAPI Run(void* p) {
        Watchdog* self = static_cast<Watchdog*>(p);
        if (WaitForSingleObject(self->m_event, self->m_ms) == WAIT_TIMEOUT) {
            std::fprintf(stderr, "\nWATCHDOG: %s did not finish within %lu ms: it hangs. FAILED\n",
                         self->m_what, static_cast<unsigned long>(self->m_ms));
            std::fflush(stderr);
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 97);
        }
        return 0;
    }

    HANDLE m_event;
    HANDLE m_thread = nullptr;
    DWORD m_ms;
    const char* m_what;
};

// Every window of this process whose class is the band's, at any depth.
inline std::vector<HWND> BandClassWindows() {
    struct Collect {
        static BOOL CALLBACK Child(HWND hwnd, LPARAM lParam) {
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (lstrcmpW(name, kBandClass) == 0) {
                reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
            }
            return TRUE;
        }
        static BOOL CALLBACK Top(HWND hwnd, LPARAM lParam) {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid != GetCurrentProcessId()) {
                return TRUE;
            }
            Child(hwnd, lParam);
            EnumChildWindows(hwnd, &Collect::Child, lParam);
            return TRUE;
        }
    };
    std::vector<HWND> found;
    EnumWindows(&Collect::Top, reinterpret_cast<LPARAM>(&found));
    // Message-only windows are not enumerated by EnumWindows.
    HWND hwnd = nullptr;
    while ((hwnd = FindWindowExW(HWND_MESSAGE, hwnd, kBandClass, nullptr)) != nullptr) {
        found.push_back(hwnd);
    }
    return found;
}

// Windows of the band's class whose user data points at this object.
inline int WindowsReferring(const void* pObject) {
    int count = 0;
    for (HWND hwnd : BandClassWindows()) {
        if (reinterpret_cast<const void*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)) == pObject) {
            ++count;
        }
    }
    return count;
}

// A stream for IPersistStream::Load and Save: the band must not call it at
// all, so every method, AddRef and Release included, fails the test.
class UntouchableStream final : public IStream {
  public:
    int Calls() const { return m_calls; }

    STDMETHODIMP QueryInterface(REFIID, void** ppv) override {
        Touched("QueryInterface");
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return Touched("AddRef"), 1; }
    STDMETHODIMP_(ULONG) Release() override { return Touched("Release"), 1; }
    STDMETHODIMP Read(void*, ULONG, ULONG*) override { return Touched("Read"); }
    STDMETHODIMP Write(const void*, ULONG, ULONG*) override { return Touched("Write"); }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return Touched("Seek"); }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return Touched("SetSize"); }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return Touched("CopyTo");
    }
    STDMETHODIMP Commit(DWORD) override { return Touched("Commit"); }
    STDMETHODIMP Revert() override { return Touched("Revert"); }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return Touched("LockRegion");
    }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return Touched("UnlockRegion");
    }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return Touched("Stat"); }
    STDMETHODIMP Clone(IStream**) override { return Touched("Clone"); }

  private:
    HRESULT Touched(const char* method) {
        ++m_calls;
        ADD_FAILURE() << "the band touched the stream: IStream::" << method;
        return E_FAIL;
    }
    int m_calls = 0;
};

// A band site service whose RemoveBand runs what the test says (for example,
// drop the last band reference without CloseDW). Class object and band site
// in one; registered for CLSID_TrayBandSiteService while it lives.
class ScriptedBandSite final : public IBandSite, public IClassFactory {
  public:
    ScriptedBandSite()
        : m_registration(CLSID_TrayBandSiteService, static_cast<IClassFactory*>(this)) {}
    ~ScriptedBandSite() = default;

    HRESULT Registration() const { return m_registration.Result(); }
    void OnRemoveBand(std::function<void(DWORD)> f) { m_onRemove = std::move(f); }
    const std::vector<DWORD>& Removed() const { return m_removed; }

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
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_cRef; }
    STDMETHODIMP_(ULONG) Release() override { return --m_cRef; } // on the test's stack
    STDMETHODIMP CreateInstance(IUnknown* pOuter, REFIID riid, void** ppv) override {
        if (pOuter != nullptr) {
            *ppv = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
        return QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    STDMETHODIMP AddBand(IUnknown*) override { return Unexpected("AddBand"); }
    STDMETHODIMP EnumBands(UINT, DWORD*) override { return Unexpected("EnumBands"); }
    STDMETHODIMP QueryBand(DWORD, IDeskBand**, DWORD*, LPWSTR, int) override {
        return Unexpected("QueryBand");
    }
    STDMETHODIMP SetBandState(DWORD, DWORD, DWORD) override { return Unexpected("SetBandState"); }
    STDMETHODIMP RemoveBand(DWORD id) override {
        m_removed.push_back(id);
        if (m_onRemove) {
            m_onRemove(id);
        }
        return S_OK;
    }
    STDMETHODIMP GetBandObject(DWORD, REFIID, void**) override {
        return Unexpected("GetBandObject");
    }
    STDMETHODIMP SetBandSiteInfo(const BANDSITEINFO*) override {
        return Unexpected("SetBandSiteInfo");
    }
    STDMETHODIMP GetBandSiteInfo(BANDSITEINFO*) override { return Unexpected("GetBandSiteInfo"); }

  private:
    HRESULT Unexpected(const char* what) {
        shell::ReportUnexpectedCall(std::string("ScriptedBandSite::") + what);
        return E_NOTIMPL;
    }
    LONG m_cRef = 1;
    std::function<void(DWORD)> m_onRemove;
    std::vector<DWORD> m_removed;
    shell::ClassObjectRegistration m_registration;
};

// The loaded DLL's image: [base, base + SizeOfImage).
inline bool InsideImage(HMODULE module, const void* p) {
    const BYTE* base = reinterpret_cast<const BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const BYTE* q = static_cast<const BYTE*>(p);
    return q >= base && q < base + nt->OptionalHeader.SizeOfImage;
}

// The DLL loaded, a host window of the given outer rectangle (a borderless
// popup, so the client area is the same size), a site on it, and a band
// made by the DLL's class factory. Unexpected calls on the stand-in fail.
class HostedBandTest : public ::testing::Test {
  protected:
    void SetUp() override {
        shell::SetUnexpectedCallHandler(
            [](const std::string& call) { ADD_FAILURE() << "unexpected call " << call; });
        ASSERT_TRUE(m_dll.Loaded());
        ASSERT_TRUE(IsWindow(m_host.Get()));
        ASSERT_EQ(S_OK, m_dll.CreateBand(IID_IDeskBand2, &m_pBand));
    }
    void TearDown() override {
        if (m_pBand != nullptr) {
            m_pBand->CloseDW(0);
            EXPECT_EQ(0u, m_pBand->Release());
            m_pBand = nullptr;
        }
        if (m_pSite != nullptr) {
            EXPECT_EQ(0u, m_pSite->Release());
            m_pSite = nullptr;
        }
        EXPECT_TRUE(BandClassWindows().empty()) << "a band window outlived its band";
        EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
        shell::SetUnexpectedCallHandler(nullptr);
    }

    template <typename T> T* As(REFIID riid) {
        T* p = nullptr;
        EXPECT_EQ(S_OK, m_pBand->QueryInterface(riid, reinterpret_cast<void**>(&p)));
        if (p != nullptr) {
            p->Release(); // the test keeps m_pBand's reference
        }
        return p;
    }
    HRESULT SetSite(IUnknown* punk) {
        return As<IObjectWithSite>(IID_IObjectWithSite)->SetSite(punk);
    }
    // Sites the band on m_host through a new shell::Site kept in m_pSite.
    HRESULT Site() {
        if (m_pSite == nullptr) {
            m_pSite = new shell::Site(m_host.Get());
        }
        return SetSite(static_cast<IOleWindow*>(m_pSite));
    }
    HWND BandWindow() {
        HWND hwnd = reinterpret_cast<HWND>(SentinelPointer());
        EXPECT_EQ(S_OK, m_pBand->GetWindow(&hwnd));
        return hwnd;
    }
    IUnknown* Primary() { return As<IUnknown>(IID_IUnknown); }

    ComApartment m_apartment;
    BandModule m_dll;
    shell::HostWindow m_host{RECT{0, 560, 800, 600}};
    IDeskBand2* m_pBand = nullptr;
    shell::Site* m_pSite = nullptr;
};

} // namespace hosting
