// DllRegisterServer / DllUnregisterServer, activation through the
// registry from another process, and Wine's regsvr32 as a real client.
#include <windows.h>
#include <olectl.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <thread>

#include "dll/activation_child.h"
#include "dll/registry_state.h"
#include "support/band_module.h"
#include "support/com_test.h"
#include "support/test_paths.h"

namespace {

constexpr HRESULT kSelfRegClass = static_cast<HRESULT>(0x80040201);

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

DWORD StringBytes(const std::wstring& text) {
    return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
}

// The three values, each REG_SZ with its terminator counted.
void ExpectClassValues(const std::wstring& modulePath) {
    struct Expected {
        std::wstring path;
        const wchar_t* name;
        std::wstring text;
    } expected[] = {{ClassKeyPath(), nullptr, L"Vantrel Help"},
                    {InprocKeyPath(), nullptr, modulePath},
                    {InprocKeyPath(), L"ThreadingModel", L"Apartment"}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(testing::Message() << "value " << (e.name ? "ThreadingModel" : "(default)"));
        const RegValue v = ReadValue(HKEY_CLASSES_ROOT, e.path, e.name);
        ASSERT_EQ(ERROR_SUCCESS, v.status);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), v.type);
        EXPECT_EQ(StringBytes(e.text), v.data.size()); // 2 * (chars + 1)
        EXPECT_EQ(e.text + L'\0', v.Text());
    }
}

class Registration : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(m_dll.Loaded()); }
    ComApartment m_apartment;
    BandModule m_dll;
    ClassRegistrationGuard m_guard{m_dll};
};

TEST_F(Registration, RegisterTwiceWritesTheSameThreeValuesAndTheCategory) {
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
    EXPECT_EQ(S_OK, m_dll.DllRegisterServer());
    EXPECT_EQ(S_OK, m_dll.DllRegisterServer());
    ExpectClassValues(ModulePath(m_dll.Get()));
    EXPECT_EQ(ModulePath(m_dll.Get()), BandDllPath()) << "loaded from where the tests expect";
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, CategoryKeyPath()));
    EXPECT_EQ(1u, SubkeyCount(HKEY_CLASSES_ROOT, ClassKeyPath() + L"\\Implemented Categories"));
    // Only the two keys and the category: nothing else under the class key.
    EXPECT_EQ(2u, SubkeyCount(HKEY_CLASSES_ROOT, ClassKeyPath()));
    EXPECT_EQ(0u, SubkeyCount(HKEY_CLASSES_ROOT, InprocKeyPath()));

    EXPECT_EQ(S_OK, m_dll.DllUnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, CategoryKeyPath()));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, L"CLSID")) << "only the class key goes";
}

TEST_F(Registration, RegisterOverwritesItsValuesAndLeavesOthersAlone) {
    HKEY hkey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, InprocKeyPath().c_str(), 0, nullptr,
                                             0, KEY_WRITE, nullptr, &hkey, nullptr));
    const wchar_t old[] = L"C:\\elsewhere\\old.dll";
    RegSetValueExW(hkey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof(old));
    RegSetValueExW(hkey, L"Extra", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof(old));
    RegCloseKey(hkey);

    EXPECT_EQ(S_OK, m_dll.DllRegisterServer());
    ExpectClassValues(ModulePath(m_dll.Get()));
    EXPECT_EQ(ERROR_SUCCESS, ReadValue(HKEY_CLASSES_ROOT, InprocKeyPath(), L"Extra").status);
    EXPECT_EQ(S_OK, m_dll.DllUnregisterServer());
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
}

TEST_F(Registration, UnregisteringAnAbsentKeyIsSelfRegClass) {
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
    EXPECT_EQ(kSelfRegClass, m_dll.DllUnregisterServer());
    EXPECT_EQ(S_OK, m_dll.DllRegisterServer());
    EXPECT_EQ(S_OK, m_dll.DllUnregisterServer());
    EXPECT_EQ(kSelfRegClass, m_dll.DllUnregisterServer());
}

TEST_F(Registration, WithoutComTheCategoryFailsAndTheClassKeysStay) {
    HRESULT hrPrecondition = S_OK, hrRegister = S_OK;
    // A thread that never entered COM (and no MTA in the process to fall into).
    std::thread([&] {
        IUnknown* p = nullptr;
        hrPrecondition =
            CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IUnknown, reinterpret_cast<void**>(&p));
        if (p != nullptr) {
            p->Release();
        }
        hrRegister = m_dll.DllRegisterServer();
    }).join();
    ASSERT_EQ(CO_E_NOTINITIALIZED, hrPrecondition);
    EXPECT_EQ(kSelfRegClass, hrRegister);
    ExpectClassValues(ModulePath(m_dll.Get()));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath() + L"\\Implemented Categories"));
}

// HKEY_CLASSES_ROOT redirected, for this process, to a key under which the
// class key cannot be created.
class RedirectedClassesRoot {
  public:
    RedirectedClassesRoot(const wchar_t* path, DWORD options, REGSAM access) : m_path(path) {
        SHDeleteKeyW(HKEY_CURRENT_USER, m_path);
        HKEY hkeyCreated = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, m_path, 0, nullptr, options, KEY_ALL_ACCESS, nullptr,
                        &hkeyCreated, nullptr);
        RegCloseKey(hkeyCreated);
        RegOpenKeyExW(HKEY_CURRENT_USER, m_path, 0, access, &m_hkey);
        m_status = RegOverridePredefKey(HKEY_CLASSES_ROOT, m_hkey);
    }
    ~RedirectedClassesRoot() {
        Restore();
        RegCloseKey(m_hkey);
        SHDeleteKeyW(HKEY_CURRENT_USER, m_path);
    }
    void Restore() { RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr); }
    LSTATUS Status() const { return m_status; }
    DWORD Subkeys() const { return SubkeyCount(HKEY_CURRENT_USER, m_path); }

  private:
    const wchar_t* m_path;
    HKEY m_hkey = nullptr;
    LSTATUS m_status;
};

TEST_F(Registration, ClassKeyThatCannotBeCreatedIsSelfRegClassAndWritesNothing) {
    // Wine ignores the access rights of a parent handle when a subkey is
    // created under it, so a read-only HKCR is not enough there. A volatile
    // key is: non-volatile keys (which registration creates) cannot be
    // created under it, on Windows and on Wine alike.
    RedirectedClassesRoot redirect(L"Software\\VantrelTests\\VolatileClassesRoot",
                                   REG_OPTION_VOLATILE, KEY_ALL_ACCESS);
    ASSERT_EQ(ERROR_SUCCESS, redirect.Status());
    {
        // The obstacle as RegisterServerKeys meets it.
        HKEY hkey = nullptr;
        ASSERT_EQ(ERROR_CHILD_MUST_BE_VOLATILE,
                  RegCreateKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\probe", 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &hkey, nullptr));
    }
    const HRESULT hr = m_dll.DllRegisterServer();
    const DWORD subkeys = redirect.Subkeys();
    redirect.Restore();
    EXPECT_EQ(kSelfRegClass, hr);
    EXPECT_EQ(0u, subkeys);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath())) << "nothing written, no category";
}

TEST_F(Registration, ReadOnlyClassesRoot) {
    RedirectedClassesRoot redirect(L"Software\\VantrelTests\\ReadOnlyClassesRoot",
                                   REG_OPTION_NON_VOLATILE, KEY_READ);
    ASSERT_EQ(ERROR_SUCCESS, redirect.Status());
    HKEY hkey = nullptr;
    const LSTATUS probe =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, L"CLSID\\probe", 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &hkey, nullptr);
    if (probe == ERROR_SUCCESS) {
        RegCloseKey(hkey);
        redirect.Restore();
        GTEST_SKIP() << "this system creates subkeys under a read-only handle (Wine does)";
    }
    const HRESULT hr = m_dll.DllRegisterServer();
    const DWORD subkeys = redirect.Subkeys();
    redirect.Restore();
    EXPECT_EQ(kSelfRegClass, hr);
    EXPECT_EQ(0u, subkeys);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
}

std::wstring SelfPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

long ActivateInChildProcess() {
    std::wstring cmd = L"\"" + SelfPath() + L"\" ";
    for (const char* p = kActivateBandArgument; *p; ++p) {
        cmd += static_cast<wchar_t>(*p);
    }
    return RunProcess(cmd);
}

TEST_F(Registration, AnotherProcessCreatesTheBandThroughTheRegistry) {
    EXPECT_EQ(REGDB_E_CLASSNOTREG, ActivateInChildProcess()) << "unregistered";
    ASSERT_EQ(S_OK, m_dll.DllRegisterServer());
    EXPECT_EQ(kChildOk, ActivateInChildProcess());
    ASSERT_EQ(S_OK, m_dll.DllUnregisterServer());
    EXPECT_EQ(REGDB_E_CLASSNOTREG, ActivateInChildProcess()) << "unregistered again";
}

TEST_F(Registration, WineRegsvr32RegistersAndUnregisters) {
    const std::wstring dll = L"\"" + BandDllPath() + L"\"";
    ASSERT_EQ(0, RunProcess(L"regsvr32.exe /s " + dll));
    ExpectClassValues(BandDllPath());
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, CategoryKeyPath()));

    ASSERT_EQ(0, RunProcess(L"regsvr32.exe /u /s " + dll));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ClassKeyPath()));
    // A second /u finds nothing to remove: regsvr32 reports the failure.
    EXPECT_NE(0, RunProcess(L"regsvr32.exe /u /s " + dll));
}

} // namespace

int RunActivationChild() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    int result = kChildOk;
    IDeskBand* pBand = nullptr;
    const HRESULT hr = CoCreateInstance(kBandClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                        reinterpret_cast<void**>(&pBand));
    if (FAILED(hr)) {
        result = static_cast<int>(hr);
    } else {
        // The band came from the registered file, loaded into this process.
        HMODULE module = GetModuleHandleW(L"VantrelDeskBand.dll");
        if (module == nullptr ||
            lstrcmpiW(ModulePath(module).c_str(), BandDllPath().c_str()) != 0) {
            result = kChildWrongModule;
        }
        IUnknown* pUnknown = nullptr;
        if (FAILED(pBand->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&pUnknown))) ||
            static_cast<IUnknown*>(pBand) != pUnknown) {
            result = kChildNoPrimaryIdentity;
        }
        if (pUnknown != nullptr) {
            pUnknown->Release();
        }
        pBand->Release();
    }
    CoUninitialize();
    return result;
}
