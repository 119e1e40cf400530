// DllGetClassObject and DllCanUnloadNow of the loaded DLL, seen from outside.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "support/band_module.h"
#include "support/band_site_probe.h"
#include "support/com_test.h"

namespace {

class ClassObject : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_dll.Loaded());
        ClearShowRequestAtom();
        ASSERT_EQ(S_OK, m_dll.DllCanUnloadNow()) << "an earlier test left the module busy";
    }
    void TearDown() override { EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow()); }
    IClassFactory* NewFactory() {
        IClassFactory* p = nullptr;
        EXPECT_EQ(S_OK, m_dll.DllGetClassObject(kBandClsid, IID_IClassFactory,
                                                reinterpret_cast<void**>(&p)));
        return p;
    }
    ComApartment m_apartment;
    BandModule m_dll;
};

TEST_F(ClassObject, WrongClassIsNotAvailableAndTheOutPointerIsLeftAlone) {
    CLSID nearly = kBandClsid;
    nearly.Data4[7] ^= 0x01;
    const CLSID* const others[] = {&CLSID_NULL, &nearly, &CLSID_TrayDeskBand};
    for (const CLSID* clsid : others) {
        for (const IID* iid : {&IID_IClassFactory, &IID_IUnknown}) {
            void* pv = SentinelPointer();
            EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, m_dll.DllGetClassObject(*clsid, *iid, &pv));
            EXPECT_EQ(SentinelPointer(), pv);
            EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
        }
    }
}

TEST_F(ClassObject, FactoryThroughIClassFactoryOrIUnknownKeepsTheModule) {
    for (const IID* iid : {&IID_IClassFactory, &IID_IUnknown}) {
        IUnknown* p = nullptr;
        ASSERT_EQ(S_OK, m_dll.DllGetClassObject(kBandClsid, *iid, reinterpret_cast<void**>(&p)));
        ASSERT_NE(nullptr, p);
        EXPECT_EQ(S_FALSE, m_dll.DllCanUnloadNow());
        IClassFactory* pFactory = nullptr;
        ASSERT_EQ(S_OK, p->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(&pFactory)));
        EXPECT_EQ(static_cast<IUnknown*>(pFactory), p);
        EXPECT_EQ(1u, pFactory->Release()); // count 1 again: one reference was handed out
        EXPECT_EQ(S_FALSE, m_dll.DllCanUnloadNow());
        EXPECT_EQ(0u, p->Release());
        EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    }
}

TEST_F(ClassObject, OtherInterfaceGivesNoInterfaceAndNull) {
    for (const IID* iid : {&IID_IDeskBand, &IID_IClassFactory2, &IID_IDispatch, &IID_IMarshal}) {
        void* pv = SentinelPointer();
        EXPECT_EQ(E_NOINTERFACE, m_dll.DllGetClassObject(kBandClsid, *iid, &pv));
        EXPECT_EQ(nullptr, pv);
        EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    }
}

TEST_F(ClassObject, TwoCallsGiveTwoDistinctFactories) {
    IClassFactory* pFirst = NewFactory();
    IClassFactory* pSecond = NewFactory();
    EXPECT_NE(pFirst, pSecond);
    ExpectLastRelease(pFirst);
    EXPECT_EQ(S_FALSE, m_dll.DllCanUnloadNow());
    ExpectLastRelease(pSecond);
}

TEST_F(ClassObject, BandsKeepTheModuleAndFailedQueriesDoNot) {
    IClassFactory* pFactory = NewFactory();
    IDeskBand* pBand = nullptr;
    ASSERT_EQ(S_OK,
              pFactory->CreateInstance(nullptr, IID_IDeskBand, reinterpret_cast<void**>(&pBand)));
    void* pv = SentinelPointer();
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(nullptr, IID_IInputObjectSite, &pv));
    EXPECT_EQ(nullptr, pv);
    pv = SentinelPointer();
    EXPECT_EQ(CLASS_E_NOAGGREGATION, pFactory->CreateInstance(pFactory, IID_IUnknown, &pv));
    EXPECT_EQ(SentinelPointer(), pv);
    ExpectLastRelease(pFactory);
    EXPECT_EQ(S_FALSE, m_dll.DllCanUnloadNow());
    ExpectLastRelease(pBand);
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());

    // A failed query alone leaves nothing behind.
    pFactory = NewFactory();
    EXPECT_EQ(E_NOINTERFACE, pFactory->CreateInstance(nullptr, IID_IDispatch, &pv));
    ExpectLastRelease(pFactory);
}

TEST_F(ClassObject, LockServer) {
    IClassFactory* pFactory = NewFactory();
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));
    ExpectLastRelease(pFactory);
    EXPECT_EQ(S_FALSE, m_dll.DllCanUnloadNow());
    pFactory = NewFactory();
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE));
    ExpectLastRelease(pFactory);
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
}

TEST_F(ClassObject, LockServerFalseWithoutALockGoesBelowZero) {
    IClassFactory* pFactory = NewFactory();
    // g_cServerLocks: 1 for the live factory, then:
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE)); // 0
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    EXPECT_EQ(S_OK, pFactory->LockServer(FALSE)); // -1
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE));  // back to 0: does not keep the module
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    EXPECT_EQ(S_OK, pFactory->LockServer(TRUE)); // 1
    EXPECT_EQ(S_FALSE, m_dll.DllCanUnloadNow());
    ExpectLastRelease(pFactory); // 0
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    // Below zero with no factory alive: still S_OK, and a lock only gets back to 0.
    pFactory = NewFactory();
    pFactory->LockServer(FALSE);
    pFactory->LockServer(FALSE); // -1 with the factory alive
    ExpectLastRelease(pFactory); // -2
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    pFactory = NewFactory();    // -1
    pFactory->LockServer(TRUE); // 0
    EXPECT_EQ(S_OK, m_dll.DllCanUnloadNow());
    pFactory->LockServer(TRUE);  // 1
    pFactory->LockServer(TRUE);  // 2
    ExpectLastRelease(pFactory); // 1
    EXPECT_EQ(S_FALSE, m_dll.DllCanUnloadNow());
    // Balance for the tests that follow in this process.
    pFactory = NewFactory();
    pFactory->LockServer(FALSE);
    ExpectLastRelease(pFactory);
}

} // namespace
