// The class factory for band objects. One new factory per DllGetClassObject
// call; each live factory keeps the module loaded.
#pragma once

#include <windows.h>
#include <new>

class CClassFactory final : public IClassFactory {
  public:
    CClassFactory();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL fLock) override;

  private:
    ~CClassFactory();

    volatile LONG m_cRef;
};
