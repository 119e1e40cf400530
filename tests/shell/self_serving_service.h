// A stand-in shell service that is also its own class object: registered with
// CoRegisterClassObject, every CoCreateInstance of its class hands out the
// object itself, as a fresh "service" each time, and counts those creations.
#pragma once

#include <windows.h>

namespace shell {

template <typename Interface> class SelfServingService : public Interface, public IClassFactory {
  public:
    // The count starts at 1, owned by the creator; riid names Interface.
    explicit SelfServingService(REFIID riid) : m_iid(riid) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
        } else if (IsEqualIID(riid, m_iid)) {
            *ppv = static_cast<Interface*>(this);
        } else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG cRef = InterlockedDecrement(&m_cRef);
        if (cRef == 0) {
            delete this;
        }
        return cRef;
    }

    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
        ++m_cCreations;
        if (pUnkOuter != nullptr) {
            *ppv = nullptr;
            return CLASS_E_NOAGGREGATION;
        }
        return QueryInterface(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

    int Creations() const { return m_cCreations; }
    LONG RefCount() const { return m_cRef; }

  protected:
    virtual ~SelfServingService() = default;

  private:
    LONG m_cRef = 1;
    IID m_iid;
    int m_cCreations = 0;
};

} // namespace shell
