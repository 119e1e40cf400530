// The built band DLL, loaded for one test and freed afterwards, with its
// exports at hand.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include "support/test_paths.h"

// {2CEFABB5-ADA3-46B7-A92F-4EDBD5438ADD}, as the tests know it from outside.
inline const CLSID kBandClsid = {
    0x2cefabb5, 0xada3, 0x46b7, {0xa9, 0x2f, 0x4e, 0xdb, 0xd5, 0x43, 0x8a, 0xdd}};

class BandModule {
  public:
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    using NoArgFn = HRESULT(STDAPICALLTYPE*)();

    explicit BandModule(const std::wstring& path = BandDllPath())
        : m_module(LoadLibraryW(path.c_str())) {
        if (m_module != nullptr) {
            DllGetClassObject = Export<GetClassObjectFn>("DllGetClassObject");
            DllCanUnloadNow = Export<NoArgFn>("DllCanUnloadNow");
            DllRegisterServer = Export<NoArgFn>("DllRegisterServer");
            DllUnregisterServer = Export<NoArgFn>("DllUnregisterServer");
            ShowBand = Export<NoArgFn>("ShowBand");
        }
    }
    ~BandModule() { Free(); }
    BandModule(const BandModule&) = delete;
    BandModule& operator=(const BandModule&) = delete;

    bool Loaded() const { return m_module != nullptr; }
    HMODULE Get() const { return m_module; }
    void Free() {
        if (m_module != nullptr) {
            FreeLibrary(m_module);
            m_module = nullptr;
        }
    }

    // A new band object through the module's own class factory, asking for T.
    template <typename T> HRESULT CreateBand(REFIID riid, T** pp) const {
        IClassFactory* pFactory = nullptr;
        HRESULT hr =
            DllGetClassObject(kBandClsid, IID_IClassFactory, reinterpret_cast<void**>(&pFactory));
        if (FAILED(hr)) {
            return hr;
        }
        hr = pFactory->CreateInstance(nullptr, riid, reinterpret_cast<void**>(pp));
        pFactory->Release();
        return hr;
    }

    GetClassObjectFn DllGetClassObject = nullptr;
    NoArgFn DllCanUnloadNow = nullptr;
    NoArgFn DllRegisterServer = nullptr;
    NoArgFn DllUnregisterServer = nullptr;
    NoArgFn ShowBand = nullptr;

  private:
    template <typename Fn> Fn Export(const char* name) const {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

    HMODULE m_module;
};
