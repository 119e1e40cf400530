// ShowBand: against a stand-in desk band service, and on the older
// path (no desk band service: the atom and SHLoadInProc).
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "dll/registry_state.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "shell/self_serving_service.h"
#include "support/band_module.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"

namespace {

// Wine's SHLoadInProc when the class cannot be created.
constexpr HRESULT kDispMemberNotFound = static_cast<HRESULT>(0x80020003);

// The taskbar's desk band service with scripted answers; records its calls.
class TrayDeskBandStandIn final : public shell::SelfServingService<ITrayDeskBand> {
  public:
    TrayDeskBandStandIn() : SelfServingService(IID_ITrayDeskBand) {}

    HRESULT hrRegistrationChanged = S_OK;
    HRESULT hrIsShown = S_FALSE;
    HRESULT hrShow = S_OK;
    std::vector<std::string> calls;
    std::vector<CLSID> clsids;

    STDMETHODIMP ShowDeskBand(REFCLSID clsid) override {
        calls.push_back("ShowDeskBand");
        clsids.push_back(clsid);
        return hrShow;
    }
    STDMETHODIMP HideDeskBand(REFCLSID) override {
        calls.push_back("HideDeskBand");
        return E_NOTIMPL;
    }
    STDMETHODIMP IsDeskBandShown(REFCLSID clsid) override {
        calls.push_back("IsDeskBandShown");
        clsids.push_back(clsid);
        return hrIsShown;
    }
    STDMETHODIMP DeskBandRegistrationChanged() override {
        calls.push_back("DeskBandRegistrationChanged");
        return hrRegistrationChanged;
    }
};

// ShowBand on a thread that is already in an apartment: its CoInitialize
// then adds one to the thread's count, which the test gives back.
HRESULT ShowBandOnThisApartment(const BandModule& dll) {
    const HRESULT hr = dll.ShowBand();
    CoUninitialize();
    return hr;
}

struct ServiceCase {
    const char* name;
    HRESULT hrRegistrationChanged;
    HRESULT hrIsShown;
    HRESULT hrShow;
    HRESULT expected;
    std::vector<std::string> calls;
};
void PrintTo(const ServiceCase& c, std::ostream* os) {
    *os << c.name;
}

class ShowBandWithService : public testing::TestWithParam<ServiceCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dll.Loaded());
        ClearShowRequestAtom();
    }
    ComApartment m_apartment;
    BandModule m_dll;
};

TEST_P(ShowBandWithService, ReturnsTheResultOfTheStepThatEndedTheWork) {
    const ServiceCase& c = GetParam();
    TrayDeskBandStandIn* pService = new TrayDeskBandStandIn();
    pService->hrRegistrationChanged = c.hrRegistrationChanged;
    pService->hrIsShown = c.hrIsShown;
    pService->hrShow = c.hrShow;
    {
        shell::ClassObjectRegistration registration(
            CLSID_TrayDeskBand, static_cast<IClassFactory*>(pService), CLSCTX_INPROC_SERVER);
        ASSERT_EQ(S_OK, registration.Result());
        EXPECT_EQ(c.expected, ShowBandOnThisApartment(m_dll));
    }
    EXPECT_EQ(1, pService->Creations());
    EXPECT_EQ(c.calls, pService->calls);
    for (const CLSID& clsid : pService->clsids) {
        EXPECT_TRUE(IsEqualCLSID(kBandClsid, clsid));
    }
    EXPECT_EQ(0, FindShowRequestAtom()) << "no atom on this path";
    EXPECT_EQ(1, pService->RefCount()) << "ITrayDeskBand not released";
    pService->Release();
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
}

const std::string kReg = "DeskBandRegistrationChanged";
const std::string kShown = "IsDeskBandShown";
const std::string kShow = "ShowDeskBand";

INSTANTIATE_TEST_SUITE_P(
    Table, ShowBandWithService,
    testing::Values(
        ServiceCase{"already_shown", S_OK, S_OK, E_UNEXPECTED, S_OK, {kReg, kShown}},
        ServiceCase{"not_shown", S_OK, S_FALSE, S_OK, S_OK, {kReg, kShown, kShow}},
        ServiceCase{"not_shown_show_fails",
                    S_OK,
                    S_FALSE,
                    E_ACCESSDENIED,
                    E_ACCESSDENIED,
                    {kReg, kShown, kShow}},
        ServiceCase{"not_shown_show_odd_success",
                    S_OK,
                    S_FALSE,
                    0x00040002,
                    0x00040002,
                    {kReg, kShown, kShow}},
        ServiceCase{"registration_changed_fails", E_FAIL, S_FALSE, S_OK, E_FAIL, {kReg}},
        ServiceCase{"is_shown_fails", S_OK, E_INVALIDARG, S_OK, E_INVALIDARG, {kReg, kShown}},
        // Anything but S_FALSE ends the work and is the result.
        ServiceCase{"is_shown_other_success", S_OK, 2, S_OK, 2, {kReg, kShown}},
        ServiceCase{"registration_changed_odd_success",
                    0x00040003,
                    S_FALSE,
                    S_OK,
                    S_OK,
                    {kReg, kShown, kShow}}),
    [](const testing::TestParamInfo<ServiceCase>& info) { return std::string(info.param.name); });

class ShowBandOlderTaskbar : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dll.Loaded());
        ClearShowRequestAtom();
    }
    void TearDown() override { ClearShowRequestAtom(); }
    ComApartment m_apartment;
    BandModule m_dll;
    ClassRegistrationGuard m_guard{m_dll}; // unregistered while the test runs
};

TEST_F(ShowBandOlderTaskbar, UnregisteredAddsTheAtomOnceAndReturnsSHLoadInProcsResult) {
    const HRESULT hrShell = SHLoadInProc(kBandClsid);
    EXPECT_EQ(kDispMemberNotFound, hrShell) << "Wine's answer for a class it cannot create";
    EXPECT_EQ(hrShell, ShowBandOnThisApartment(m_dll));
    EXPECT_NE(0, FindShowRequestAtom());
    EXPECT_EQ(hrShell, ShowBandOnThisApartment(m_dll));
    // Added once: one delete takes it away (an atom added twice needs two).
    ASSERT_NE(0, FindShowRequestAtom());
    GlobalDeleteAtom(FindShowRequestAtom());
    EXPECT_EQ(0, FindShowRequestAtom()) << "the pending atom was added a second time";
}

TEST_F(ShowBandOlderTaskbar, APendingAtomIsNotAddedAgain) {
    const ATOM atom = GlobalAddAtomW(BandClsidString().c_str());
    ASSERT_NE(0, atom);
    ShowBandOnThisApartment(m_dll);
    GlobalDeleteAtom(atom);
    EXPECT_EQ(0, FindShowRequestAtom());
}

TEST_F(ShowBandOlderTaskbar, RegisteredTheShellLoadsTheBandWhichAddsItselfOnce) {
    // Wine's SHLoadInProc creates the object in this process, so the band's
    // own query finds the atom and adds the band to our band site service.
    ASSERT_EQ(S_OK, m_dll.DllRegisterServer());
    shell::HostWindow host({0, 560, 800, 600});
    shell::BandSite* pBandSite = new shell::BandSite(host.Get());
    {
        RegisteredBandSiteProbe probe(pBandSite);
        ASSERT_EQ(S_OK, probe.Result());
        const HRESULT hr = ShowBandOnThisApartment(m_dll);
        EXPECT_EQ(S_OK, hr) << "SHLoadInProc's result when it could create the band";
        EXPECT_EQ(0, FindShowRequestAtom());
        EXPECT_EQ(1, probe->Creations());
        EXPECT_EQ(1, probe->AddBandCalls());
        EXPECT_FALSE(probe->AtomPresentAtAddBand());
        ASSERT_EQ(1u, pBandSite->Bands().size());
        EXPECT_TRUE(IsWindow(pBandSite->Bands()[0].hwnd));

        // Nothing pending any more: a second call adds the atom again and the
        // new band object serves it (the band is added a second time, as a
        // second request asks).
        EXPECT_EQ(S_OK, ShowBandOnThisApartment(m_dll));
        EXPECT_EQ(2, probe->AddBandCalls());
        EXPECT_EQ(0, FindShowRequestAtom());
    }
    pBandSite->RemoveAll();
    EXPECT_EQ(0u, pBandSite->Release());
    CoFreeUnusedLibraries();
}

TEST_F(ShowBandOlderTaskbar, RegisteredWithoutBandSiteServiceTheRequestIsDropped) {
    ASSERT_EQ(S_OK, m_dll.DllRegisterServer());
    EXPECT_EQ(S_OK, ShowBandOnThisApartment(m_dll));
    EXPECT_EQ(0, FindShowRequestAtom()) << "the band deletes the atom before it asks for the site";
}

// The calling thread stays in COM: ShowBand's CoInitialize(NULL) made it a
// single-threaded apartment, so a later CoInitializeEx for an STA only counts
// up (S_FALSE) and one for the MTA is refused (RPC_E_CHANGED_MODE).
TEST_F(ShowBandOlderTaskbar, ThreadWithoutComIsLeftInASingleThreadedApartment) {
    HRESULT hrShow = S_OK, hrSta = S_OK, hrMta = S_OK, hrBefore = S_OK;
    std::thread([&] {
        IUnknown* p = nullptr;
        hrBefore = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IUnknown, reinterpret_cast<void**>(&p));
        hrShow = m_dll.ShowBand();
        hrMta = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        hrSta = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        if (SUCCEEDED(hrSta)) {
            CoUninitialize();
        }
        CoUninitialize(); // ShowBand's own
    }).join();
    EXPECT_EQ(CO_E_NOTINITIALIZED, hrBefore) << "precondition: the thread starts outside COM";
    EXPECT_EQ(kDispMemberNotFound, hrShow);
    EXPECT_EQ(RPC_E_CHANGED_MODE, hrMta);
    EXPECT_EQ(S_FALSE, hrSta);
}

TEST_F(ShowBandOlderTaskbar, ThreadInTheMultithreadedApartmentStaysThere) {
    HRESULT hrShow = S_OK, hrMta = S_OK;
    std::thread([&] {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
            return;
        }
        hrShow = m_dll.ShowBand(); // its CoInitialize fails with RPC_E_CHANGED_MODE
        hrMta = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(hrMta)) {
            CoUninitialize();
        }
        CoUninitialize();
    }).join();
    EXPECT_EQ(kDispMemberNotFound, hrShow);
    EXPECT_EQ(S_FALSE, hrMta);
}

} // namespace
