// CDeskBand::QueryInterface by its table, and the identity rules.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "server/module.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"

namespace {

using Access = CDeskBandTestAccess;

enum class View { Primary, PersistStream, ObjectWithSite, InputObject };

void* ViewOf(CDeskBand* pBand, View view) {
    switch (view) {
    case View::Primary:
        return static_cast<IDeskBand2*>(pBand);
    case View::PersistStream:
        return static_cast<IPersistStream*>(pBand);
    case View::ObjectWithSite:
        return static_cast<IObjectWithSite*>(pBand);
    case View::InputObject:
        return static_cast<IInputObject*>(pBand);
    }
    return nullptr;
}

struct Row {
    const char* name;
    const IID* iid;
    View view;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

const Row kRows[] = {
    {"IUnknown", &IID_IUnknown, View::Primary},
    {"IOleWindow", &IID_IOleWindow, View::Primary},
    {"IDockingWindow", &IID_IDockingWindow, View::Primary},
    {"IDeskBand", &IID_IDeskBand, View::Primary},
    {"IDeskBand2", &IID_IDeskBand2, View::Primary},
    {"IPersist", &IID_IPersist, View::PersistStream},
    {"IPersistStream", &IID_IPersistStream, View::PersistStream},
    {"IObjectWithSite", &IID_IObjectWithSite, View::ObjectWithSite},
    {"IInputObject", &IID_IInputObject, View::InputObject},
};

// The views whose pointers differ from the primary one.
const View kSecondaryViews[] = {View::PersistStream, View::ObjectWithSite, View::InputObject};

class Band : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequestAtom();
        m_objRefsBefore = g_cObjRefs;
        m_pBand = new CDeskBand();
    }
    void TearDown() override {
        if (m_pBand != nullptr) {
            EXPECT_EQ(1, Access::m_cRef(*m_pBand));
            EXPECT_EQ(0u, m_pBand->Release());
        }
        EXPECT_EQ(m_objRefsBefore, g_cObjRefs);
    }
    ComApartment m_apartment;
    ULONG m_objRefsBefore = 0;
    CDeskBand* m_pBand = nullptr;
};

class QueryInterfaceRows : public Band, public testing::WithParamInterface<Row> {};

TEST_P(QueryInterfaceRows, HandsOutItsViewAndRaisesTheOneCount) {
    const Row& row = GetParam();
    void* pv = SentinelPointer();
    ASSERT_EQ(S_OK, m_pBand->QueryInterface(*row.iid, &pv));
    EXPECT_EQ(ViewOf(m_pBand, row.view), pv);
    EXPECT_EQ(2, Access::m_cRef(*m_pBand));
    EXPECT_EQ(m_objRefsBefore + 2, g_cObjRefs);
    // The view's own Release drops the same count.
    EXPECT_EQ(1u, static_cast<IUnknown*>(pv)->Release());
    EXPECT_EQ(m_objRefsBefore + 1, g_cObjRefs);
}

TEST_P(QueryInterfaceRows, EveryViewAnswersTheSameWay) {
    const Row& row = GetParam();
    for (View from :
         {View::Primary, View::PersistStream, View::ObjectWithSite, View::InputObject}) {
        IUnknown* pFrom = static_cast<IUnknown*>(ViewOf(m_pBand, from));
        void* pv = nullptr;
        ASSERT_EQ(S_OK, pFrom->QueryInterface(*row.iid, &pv));
        EXPECT_EQ(ViewOf(m_pBand, row.view), pv);
        EXPECT_EQ(2, Access::m_cRef(*m_pBand));
        static_cast<IUnknown*>(pv)->Release();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, QueryInterfaceRows, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) {
                             return std::string(info.param.name);
                         });

struct Refused {
    const char* name;
    const IID* iid;
};

void PrintTo(const Refused& r, std::ostream* os) {
    *os << r.name;
}

class QueryInterfaceRefused : public Band, public testing::WithParamInterface<Refused> {};

TEST_P(QueryInterfaceRefused, NullAndNoInterfaceAndNoCount) {
    for (View from :
         {View::Primary, View::PersistStream, View::ObjectWithSite, View::InputObject}) {
        void* pv = SentinelPointer();
        EXPECT_EQ(
            E_NOINTERFACE,
            static_cast<IUnknown*>(ViewOf(m_pBand, from))->QueryInterface(*GetParam().iid, &pv));
        EXPECT_EQ(nullptr, pv);
        EXPECT_EQ(1, Access::m_cRef(*m_pBand));
        EXPECT_EQ(m_objRefsBefore + 1, g_cObjRefs);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, QueryInterfaceRefused,
                         testing::Values(Refused{"IInputObjectSite", &IID_IInputObjectSite},
                                         Refused{"IClassFactory", &IID_IClassFactory},
                                         Refused{"IDispatch", &IID_IDispatch},
                                         Refused{"IMarshal", &IID_IMarshal},
                                         Refused{"IPersistStreamInit", &IID_IPersistStreamInit},
                                         Refused{"IOleCommandTarget", &IID_IOleCommandTarget},
                                         Refused{"IContextMenu", &IID_IContextMenu},
                                         Refused{"IBandSite", &IID_IBandSite},
                                         Refused{"IObjectWithSite_off_by_one",
                                                 []() {
                                                     static IID iid = IID_IObjectWithSite;
                                                     iid.Data4[7] ^= 1;
                                                     return &iid;
                                                 }()}),
                         [](const testing::TestParamInfo<Refused>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(Band, IOleWindowAndIUnknownAreTheSamePointer) {
    IUnknown* pUnknown = nullptr;
    IOleWindow* pOleWindow = nullptr;
    ASSERT_EQ(S_OK, m_pBand->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)));
    ASSERT_EQ(S_OK, m_pBand->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&pOleWindow)));
    EXPECT_EQ(static_cast<void*>(pUnknown), static_cast<void*>(pOleWindow));
    EXPECT_EQ(3, Access::m_cRef(*m_pBand));
    pUnknown->Release();
    pOleWindow->Release();
}

TEST_F(Band, IPersistGivesTheIPersistStreamView) {
    IPersist* pPersist = nullptr;
    ASSERT_EQ(S_OK, m_pBand->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&pPersist)));
    EXPECT_EQ(static_cast<void*>(static_cast<IPersistStream*>(m_pBand)),
              static_cast<void*>(pPersist));
    EXPECT_NE(static_cast<void*>(static_cast<IDeskBand2*>(m_pBand)), static_cast<void*>(pPersist));
    pPersist->Release();
}

TEST_F(Band, SecondaryViewsGiveThePrimaryIUnknownAndShareOneCount) {
    for (View view : kSecondaryViews) {
        IUnknown* pView = static_cast<IUnknown*>(ViewOf(m_pBand, view));
        ASSERT_NE(static_cast<void*>(static_cast<IDeskBand2*>(m_pBand)), static_cast<void*>(pView));
        IUnknown* pUnknown = nullptr;
        ASSERT_EQ(S_OK, pView->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)));
        EXPECT_EQ(static_cast<IUnknown*>(static_cast<IDeskBand2*>(m_pBand)), pUnknown);
        EXPECT_EQ(2, Access::m_cRef(*m_pBand));
        // AddRef and Release through any view move the one count.
        EXPECT_EQ(3u, pView->AddRef());
        EXPECT_EQ(m_objRefsBefore + 3, g_cObjRefs);
        EXPECT_EQ(2u, pUnknown->Release());
        EXPECT_EQ(1u, pView->Release());
        EXPECT_EQ(m_objRefsBefore + 1, g_cObjRefs);
    }
}

TEST_F(Band, ConstructionStartsAtOneAndReleaseToZeroDestroys) {
    EXPECT_EQ(1, Access::m_cRef(*m_pBand));
    EXPECT_EQ(m_objRefsBefore + 1, g_cObjRefs);
    EXPECT_EQ(2u, m_pBand->AddRef());
    EXPECT_EQ(m_objRefsBefore + 2, g_cObjRefs);
    EXPECT_EQ(1u, m_pBand->Release());
    EXPECT_EQ(0u, m_pBand->Release());
    m_pBand = nullptr;
    EXPECT_EQ(m_objRefsBefore, g_cObjRefs);
}

TEST_F(Band, ConstructionValues) {
    const CDeskBand& b = *m_pBand;
    EXPECT_EQ(nullptr, Access::m_pSite(b));
    EXPECT_EQ(0, Access::m_fHasFocus(b));
    EXPECT_EQ(0, Access::m_fDirty(b));
    EXPECT_EQ(FALSE, Access::m_fCompositionEnabled(b)); // never composited until the host says so
    EXPECT_EQ(0u, Access::m_dwBandID(b));
    EXPECT_EQ(nullptr, Access::m_hwnd(b));
    EXPECT_EQ(nullptr, Access::m_hwndParent(b));
    EXPECT_EQ(0, Access::m_xIcon(b));
    EXPECT_EQ(0, Access::m_yIcon(b));
    EXPECT_EQ(nullptr, Access::m_hbmIcon(b));
    EXPECT_EQ(nullptr, Access::m_hdcMem(b));
    EXPECT_EQ(0, Access::m_fHot(b));
    EXPECT_EQ(nullptr, Access::m_tip(b));
    EXPECT_EQ(32, Access::m_cxIcon(b));
    EXPECT_EQ(32, Access::m_nBpp(b));
    EXPECT_EQ(0, Access::m_cxBand(b));
    EXPECT_EQ(0, Access::m_cyBand(b));
}

} // namespace
