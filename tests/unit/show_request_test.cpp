// The band's half of the show handshake: a query for its primary interface
// serves a pending show request (the global atom) by adding the band to the
// band site service (Parts 2.1, 4.1). The service is the shell stand-in's
// band site behind a probe, registered with CoRegisterClassObject.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "server/guids.h"
#include "server/module.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"

namespace {

class ShowRequest : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequestAtom();
        ASSERT_EQ(S_OK, m_probe.Result());
    }
    void TearDown() override {
        m_pBandSite->RemoveAll();
        m_pBandSite->Release();
        ClearShowRequestAtom();
    }
    void AddAtom() {
        ASSERT_NE(0, GlobalAddAtomW(BandClsidString().c_str()));
        ASSERT_NE(0, FindShowRequestAtom());
    }

    ComApartment m_apartment;
    shell::HostWindow m_host{RECT{0, 560, 800, 600}};
    shell::BandSite* m_pBandSite = new shell::BandSite(m_host.Get());
    RegisteredBandSiteProbe m_probe{m_pBandSite};
};

struct Row {
    const char* name;
    const IID* iid;
};
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

const Row kPrimaryRows[] = {{"IUnknown", &IID_IUnknown},
                            {"IOleWindow", &IID_IOleWindow},
                            {"IDockingWindow", &IID_IDockingWindow},
                            {"IDeskBand", &IID_IDeskBand},
                            {"IDeskBand2", &IID_IDeskBand2}};
const Row kSecondaryRows[] = {{"IPersist", &IID_IPersist},
                              {"IPersistStream", &IID_IPersistStream},
                              {"IObjectWithSite", &IID_IObjectWithSite},
                              {"IInputObject", &IID_IInputObject},
                              {"refused_IInputObjectSite", &IID_IInputObjectSite}};

std::string RowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

class ShowRequestPrimary : public ShowRequest, public testing::WithParamInterface<Row> {};

TEST_P(ShowRequestPrimary, AtomPresentIsDeletedFirstAndTheBandAddedOnce) {
    AddAtom();
    CDeskBand* pBand = new CDeskBand();
    void* pv = nullptr;
    ASSERT_EQ(S_OK, pBand->QueryInterface(*GetParam().iid, &pv));
    EXPECT_EQ(0, FindShowRequestAtom());
    EXPECT_EQ(1, m_probe->Creations());
    EXPECT_EQ(1, m_probe->AddBandCalls());
    EXPECT_FALSE(m_probe->AtomPresentAtAddBand()) << "the atom must be gone before AddBand";
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDeskBand2*>(pBand)), m_probe->AddedBand());
    // The stand-in hosted it: sited, given an id, shown.
    ASSERT_EQ(1u, m_pBandSite->Bands().size());
    EXPECT_EQ(m_pBandSite->Bands()[0].dwBandID, CDeskBandTestAccess::m_dwBandID(*pBand));
    EXPECT_TRUE(IsWindow(CDeskBandTestAccess::m_hwnd(*pBand)));

    // A later query finds no atom and adds nothing.
    void* pv2 = nullptr;
    ASSERT_EQ(S_OK, pBand->QueryInterface(*GetParam().iid, &pv2));
    EXPECT_EQ(1, m_probe->Creations());
    EXPECT_EQ(1, m_probe->AddBandCalls());
    static_cast<IUnknown*>(pv2)->Release();
    static_cast<IUnknown*>(pv)->Release();
    m_pBandSite->RemoveAll(); // drops the band site's reference
    EXPECT_EQ(0u, pBand->Release());
}

TEST_P(ShowRequestPrimary, AtomAbsentCreatesNoService) {
    CDeskBand* pBand = new CDeskBand();
    void* pv = nullptr;
    ASSERT_EQ(S_OK, pBand->QueryInterface(*GetParam().iid, &pv));
    EXPECT_EQ(0, m_probe->Creations());
    EXPECT_EQ(0, m_probe->AddBandCalls());
    static_cast<IUnknown*>(pv)->Release();
    EXPECT_EQ(0u, pBand->Release());
}

INSTANTIATE_TEST_SUITE_P(Table, ShowRequestPrimary, testing::ValuesIn(kPrimaryRows), RowName);

class ShowRequestSecondary : public ShowRequest, public testing::WithParamInterface<Row> {};

TEST_P(ShowRequestSecondary, LeavesTheAtomAlone) {
    AddAtom();
    CDeskBand* pBand = new CDeskBand();
    void* pv = nullptr;
    pBand->QueryInterface(*GetParam().iid, &pv);
    EXPECT_NE(0, FindShowRequestAtom());
    EXPECT_EQ(0, m_probe->Creations());
    if (pv != nullptr) {
        static_cast<IUnknown*>(pv)->Release();
    }
    EXPECT_EQ(0u, pBand->Release());
}

INSTANTIATE_TEST_SUITE_P(Table, ShowRequestSecondary, testing::ValuesIn(kSecondaryRows), RowName);

TEST_F(ShowRequest, TheFactorysOwnQueryServesTheRequest) {
    AddAtom();
    IClassFactory* pFactory = nullptr;
    ASSERT_EQ(S_OK, DllGetClassObject(CLSID_VantrelDeskBand, IID_IClassFactory,
                                      reinterpret_cast<void**>(&pFactory)));
    IUnknown* pBand = nullptr;
    ASSERT_EQ(S_OK,
              pFactory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&pBand)));
    pFactory->Release();
    EXPECT_EQ(0, FindShowRequestAtom());
    EXPECT_EQ(1, m_probe->AddBandCalls());
    EXPECT_EQ(pBand, m_probe->AddedBand());
    m_pBandSite->RemoveAll();
    EXPECT_EQ(0u, pBand->Release());
}

TEST_F(ShowRequest, AFailingAddBandIsIgnored) {
    AddAtom();
    m_probe->SetAddBandResult(E_FAIL);
    CDeskBand* pBand = new CDeskBand();
    IUnknown* pUnknown = nullptr;
    EXPECT_EQ(S_OK, pBand->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)));
    EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDeskBand2*>(pBand)), pUnknown);
    EXPECT_EQ(1, m_probe->AddBandCalls());
    EXPECT_EQ(0, FindShowRequestAtom());
    pUnknown->Release();
    m_pBandSite->RemoveAll();
    EXPECT_EQ(0u, pBand->Release());
}

TEST(ShowRequestWithoutService, AtomIsDroppedAndTheQuerySucceeds) {
    ComApartment apartment;
    ClearShowRequestAtom();
    ASSERT_NE(0, GlobalAddAtomW(BandClsidString().c_str()));
    CDeskBand* pBand = new CDeskBand();
    IDeskBand* pDeskBand = nullptr;
    EXPECT_EQ(S_OK, pBand->QueryInterface(IID_IDeskBand, reinterpret_cast<void**>(&pDeskBand)));
    EXPECT_EQ(0, FindShowRequestAtom());
    EXPECT_EQ(2, CDeskBandTestAccess::m_cRef(*pBand));
    pDeskBand->Release();
    EXPECT_EQ(0u, pBand->Release());
}

} // namespace
