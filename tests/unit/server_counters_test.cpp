// g_cServerLocks and g_cObjRefs through the class factory, server locks, band
// references and failed queries.
#include <windows.h>
#include <olectl.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "server/class_factory.h"
#include "server/guids.h"
#include "server/module.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"
#include "support/desk_band_access.h"
#include "unit/allocation_watch.h"

namespace {

class ServerCounters : public testing::Test {
  protected:
    void SetUp() override {
        ClearShowRequestAtom();
        // Every test of this executable leaves the module idle.
        ASSERT_EQ(0, g_cServerLocks);
        ASSERT_EQ(0u, g_cObjRefs);
        ASSERT_EQ(S_OK, DllCanUnloadNow());
    }
    void TearDown() override {
        allocation_watch::Stop();
        EXPECT_EQ(0, g_cServerLocks);
        EXPECT_EQ(0u, g_cObjRefs);
    }
    IClassFactory* NewFactory() {
        IClassFactory* pFactory = nullptr;
        EXPECT_EQ(S_OK, DllGetClassObject(CLSID_VantrelDeskBand, IID_IClassFactory,
                                          reinterpret_cast<void**>(&pFactory)));
        return pFactory;
    }
    ComApartment m_apartment;
};

TEST_F(ServerCounters, OtherClassIsNotAvailableAndOutIsLeftAlone) {
    const CLSID others[] = {CLSID_NULL, CLSID_TrayBandSiteService, CLSID_StdComponentCategoriesMgr,
                            [] {
                                CLSID c = CLSID_VantrelDeskBand;
                                c.Data1 ^= 0x80000000u;
                                return c;
                            }()};
    for (const CLSID& clsid : others) {
        void* pv = SentinelPointer();
        EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, DllGetClassObject(clsid, IID_IClassFactory, &pv));
        EXPECT_EQ(SentinelPointer(), pv);
        EXPECT_EQ(0, g_cServerLocks);
    }
}

TEST_F(ServerCounters, FactoryHoldsTheModuleUntilItsLastRelease) {
    for (const IID* iid : {&IID_IClassFactory, &IID_IUnknown}) {
        IClassFactory* pFactory = nullptr;
        ASSERT_EQ(S_OK, DllGetClassObject(CLSID_VantrelDeskBand, *iid,
                                          reinterpret_cast<void**>(&pFactory)));
        EXPECT_EQ(1, g_cServerLocks);
        EXPECT_EQ(S_FALSE, DllCanUnloadNow());
        // Count 1: AddRef gives 2.
        EXPECT_EQ(2u, pFactory->AddRef());
        EXPECT_EQ(1u, pFactory->Release());
        EXPECT_EQ(0u, pFactory->Release());
        EXPECT_EQ(0, g_cServerLocks);
        EXPECT_EQ(S_OK, DllCanUnloadNow());
    }
}

TEST_F(ServerCounters, OtherInterfaceGivesNoInterfaceAndNull) {
    for (const IID* iid : {&IID_IDeskBand, &IID_IClassFactory2, &IID_IDispatch}) {
        void* pv = SentinelPointer();
        EXPECT_EQ(E_NOINTERFACE, DllGetClassObject(CLSID_VantrelDeskBand, *iid, &pv));
        EXPECT_EQ(nullptr, pv);
        EXPECT_EQ(0, g_cServerLocks);
    }
}

TEST_F(ServerCounters, TwoFactoriesAreDistinct) {
    IClassFactory* pFirst = NewFactory();
    IClassFactory* pSecond = NewFactory();
    ASSERT_NE(nullptr, pFirst);
    ASSERT_NE(nullptr, pSecond);
    EXPECT_NE(pFirst, pSecond);
    EXPECT_EQ(2, g_cServerLocks);
    ExpectLastRelease(pFirst);
    EXPECT_EQ(1, g_cServerLocks);
    ExpectLastRelease(pSecond);
}

TEST_F(ServerCounters, FactoryQueryInterface) {
    IClassFactory* pFactory = NewFactory();
    IClassFactory* pAgain = nullptr;
    ASSERT_EQ(S_OK, pFactory->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&pAgain)));
    EXPECT_EQ(pFactory, pAgain);
    IUnknown* pUnknown = nullptr;
    ASSERT_EQ(S_OK, pFactory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown)));
    EXPECT_EQ(static_cast<IUnknown*>(pFactory), pUnknown);
    void* pv = SentinelPointer();
    EXPECT_EQ(E_NOINTERFACE, pFactory->QueryInterface(IID_IDeskBand, &pv));
    EXPECT_EQ(nullptr, pv);
    EXPECT_EQ(1, g_cServerLocks);
    EXPECT_EQ(2u, pUnknown->Release());
    EXPECT_EQ(1u, pAgain->Release());
    ExpectLastRelease(pFactory);
}

TEST_F(ServerCounters, CreateInstanceRefusesAggregationAndConstructsNothing) {
    IClassFactory* pFactory = NewFactory();
    allocation_watch::Watch(sizeof(CDeskBand));
    IUnknown* pOuter = pFactory; // any non-null outer
    void* pv = SentinelPointer();
    EXPECT_EQ(CLASS_E_NOAGGREGATION, pFactory->CreateInstance(pOuter, IID_IUnknown, &pv));
    EXPECT_EQ(SentinelPointer(), pv);
    EXPECT_EQ(0, allocation_watch::Get().allocations);
    EXPECT_EQ(0u, g_cObjRefs);
    ExpectLastRelease(pFactory);
}

TEST_F(ServerCounters, CreateInstanceMovesTheBandCountNotTheLocks) {
    IClassFactory* pFactory = NewFactory();
    IDeskBand* pBand = nullptr;
    ASSERT_EQ(S_OK,
              pFactory->CreateInstance(nullptr, IID_IDeskBand, reinterpret_cast<void**>(&pBand)));
    EXPECT_EQ(1u, g_cObjRefs);
    EXPECT_EQ(1, CDeskBandTestAccess::m_cRef(*CDeskBandTestAccess::FromPrimary(pBand)));
    EXPECT_EQ(1, g_cServerLocks);
    ExpectLastRelease(pFactory);
    EXPECT_EQ(0, g_cServerLocks);
    // The band alone keeps the module.
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    EXPECT_EQ(2u, pBand->AddRef());
    EXPECT_EQ(2u, g_cObjRefs);
    EXPECT_EQ(1u, pBand->Release());
    ExpectLastRelease(pBand);
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ServerCounters, FailedQueryConstructsAndDestroysTheBand) {
    IClassFactory* pFactory = NewFactory();
    for (const IID* iid : {&IID_IInputObjectSite, &IID_IClassFactory, &IID_IDispatch}) {
        allocation_watch::Watch(sizeof(CDeskBand));
        void* pv = SentinelPointer();
        EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(nullptr, *iid, &pv));
        EXPECT_EQ(nullptr, pv);
        EXPECT_EQ(1, allocation_watch::Get().allocations) << "constructed";
        EXPECT_EQ(1, allocation_watch::Get().deletes) << "destroyed";
        EXPECT_EQ(0u, g_cObjRefs);
        EXPECT_EQ(1, g_cServerLocks);
    }
    ExpectLastRelease(pFactory);
}

TEST_F(ServerCounters, OutOfMemory) {
    // DllGetClassObject: no factory, out left alone, no lock taken.
    allocation_watch::FailNext(sizeof(CClassFactory));
    void* pv = SentinelPointer();
    EXPECT_EQ(E_OUTOFMEMORY, DllGetClassObject(CLSID_VantrelDeskBand, IID_IClassFactory, &pv));
    EXPECT_EQ(SentinelPointer(), pv);
    EXPECT_EQ(0, g_cServerLocks);

    // CreateInstance: no band, out left alone, no band reference.
    IClassFactory* pFactory = NewFactory();
    allocation_watch::FailNext(sizeof(CDeskBand));
    EXPECT_EQ(E_OUTOFMEMORY, pFactory->CreateInstance(nullptr, IID_IUnknown, &pv));
    EXPECT_EQ(SentinelPointer(), pv);
    EXPECT_EQ(0u, g_cObjRefs);
    ExpectLastRelease(pFactory);
}

TEST_F(ServerCounters, LockServer) {
    IClassFactory* pFactory = NewFactory();
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    EXPECT_EQ(2, g_cServerLocks);
    ExpectLastRelease(pFactory);
    EXPECT_EQ(1, g_cServerLocks);
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());

    // Unlock through another factory: the lock is module-wide.
    pFactory = NewFactory();
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    EXPECT_EQ(1, g_cServerLocks);
    ExpectLastRelease(pFactory);
    EXPECT_EQ(S_OK, DllCanUnloadNow());
}

TEST_F(ServerCounters, LockServerFalseGoesBelowZero) {
    IClassFactory* pFactory = NewFactory();
    ExpectLastRelease(pFactory);
    // No factory left: reach LockServer through one that we release after.
    pFactory = NewFactory();
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    EXPECT_EQ(-1, g_cServerLocks); // one factory, two unlocks
    EXPECT_EQ(S_OK, DllCanUnloadNow());
    ExpectLastRelease(pFactory);
    EXPECT_EQ(-2, g_cServerLocks);
    EXPECT_EQ(S_OK, DllCanUnloadNow());

    // A band reference still keeps the module.
    CDeskBand* pBand = new CDeskBand();
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    EXPECT_EQ(0u, pBand->Release());

    // LockServer(TRUE) now only brings the count back towards 0.
    pFactory = NewFactory();
    EXPECT_EQ(-1, g_cServerLocks);
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    EXPECT_EQ(0, g_cServerLocks);
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    EXPECT_EQ(1, g_cServerLocks);
    EXPECT_EQ(S_FALSE, DllCanUnloadNow());
    ExpectLastRelease(pFactory);
    EXPECT_EQ(0, g_cServerLocks);
}

} // namespace
