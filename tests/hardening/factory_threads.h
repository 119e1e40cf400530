// Class factories created, locked and released from several MTA threads at
// once, with band objects made and released through them, and factories
// handed from one thread to another to be released there.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "hardening/hardening.h"
#include "support/band_module.h"

namespace hardening {

struct FactoryThreadCounts {
    std::atomic<uint64_t> factories{0};
    std::atomic<uint64_t> locks{0};
    std::atomic<uint64_t> instances{0};
    std::atomic<uint64_t> handedOver{0};
    std::atomic<uint64_t> failures{0};
};

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadFn = HRESULT(STDAPICALLTYPE*)();

inline void RunFactoryThreads(GetClassObjectFn getClassObject, CanUnloadFn canUnload, uint64_t seed,
                              int threads, uint64_t iterations, DWORD maxMs,
                              FactoryThreadCounts& counts) {
    static const IID* const kAsk[] = {&IID_IUnknown, &IID_IDeskBand, &IID_IObjectWithSite,
                                      &IID_IPersistStream, &IID_IClassFactory};
    std::mutex handMutex;
    std::vector<IClassFactory*> handOver; // factories to be released by another thread
    std::atomic<int> ready{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            Rng rng(seed + static_cast<uint64_t>(t) * 0x1234567);
            ++ready;
            while (ready < threads) {
                Sleep(0); // start together
            }
            int heldLocks = 0;
            IClassFactory* pHeld = nullptr;
            Budget budget(iterations, maxMs);
            while (budget.More()) {
                IClassFactory* pFactory = nullptr;
                if (FAILED(getClassObject(kBandClsid, IID_IClassFactory,
                                          reinterpret_cast<void**>(&pFactory)))) {
                    ++counts.failures;
                    continue;
                }
                ++counts.factories;
                pFactory->AddRef();
                switch (rng.Below(4)) {
                case 0: {
                    IUnknown* pObject = nullptr;
                    const HRESULT hr = pFactory->CreateInstance(nullptr, *kAsk[rng.Below(4)],
                                                                reinterpret_cast<void**>(&pObject));
                    if (SUCCEEDED(hr) && pObject != nullptr) {
                        ++counts.instances;
                        if (pObject->Release() != 0) {
                            ++counts.failures;
                        }
                    } else {
                        ++counts.failures;
                    }
                    break;
                }
                case 1:
                    pFactory->LockServer(TRUE);
                    ++heldLocks;
                    ++counts.locks;
                    break;
                case 2:
                    if (heldLocks > 0) {
                        pFactory->LockServer(FALSE);
                        --heldLocks;
                    }
                    break;
                default:
                    canUnload();
                    break;
                }
                pFactory->Release();
                if (rng.OneIn(5)) {
                    std::lock_guard<std::mutex> lock(handMutex);
                    handOver.push_back(pFactory);
                    ++counts.handedOver;
                    continue;
                }
                if (rng.OneIn(3)) {
                    std::lock_guard<std::mutex> lock(handMutex);
                    if (!handOver.empty()) {
                        handOver.back()->Release();
                        handOver.pop_back();
                    }
                }
                if (pHeld != nullptr) {
                    pHeld->Release();
                }
                pHeld = pFactory; // held over to the next round
            }
            if (pHeld != nullptr) {
                pHeld->Release();
            }
            while (heldLocks-- > 0) {
                IClassFactory* pFactory = nullptr;
                if (SUCCEEDED(getClassObject(kBandClsid, IID_IClassFactory,
                                             reinterpret_cast<void**>(&pFactory)))) {
                    pFactory->LockServer(FALSE);
                    pFactory->Release();
                }
            }
            CoUninitialize();
        });
    }
    for (std::thread& thread : pool) {
        thread.join();
    }
    for (IClassFactory* pFactory : handOver) {
        pFactory->Release();
    }
}

} // namespace hardening
