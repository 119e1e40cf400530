// Small helpers every COM test uses.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

// Apartment for the duration of one test.
class ComApartment {
  public:
    ComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_hr)) {
            CoUninitialize();
        }
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT m_hr;
};

// A value no method writes by accident, to prove an out parameter was left
// alone.
inline void* SentinelPointer() {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(0xBAADF00D));
}

// Releases and expects the object to be gone.
template <typename T> void ExpectLastRelease(T*& p) {
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(0u, p->Release());
    p = nullptr;
}

// Longer than this, on any machine, means a wait that never ends: teardown
// checks use it to tell a hang from a slow run, never to judge speed.
constexpr unsigned long long kHangBoundMs = 30000;
