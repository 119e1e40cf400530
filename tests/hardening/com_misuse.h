// Seeded random use and misuse of a band's COM surface: siting with one
// site, another, a site without a window, a failing one and none; showing,
// closing, band information with and without a record, focus, composition,
// queries for random and known interfaces, and balanced extra references.
// Every window the band showed along the way is collected, so that the
// caller can prove none of them outlives the band.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <functional>
#include <set>

#include <gtest/gtest.h>

#include "hardening/band_windows.h"
#include "hardening/hardening.h"
#include "shell/host_window.h"
#include "shell/site.h"

namespace hardening {

struct MisuseCounts {
    uint64_t calls = 0;
    uint64_t sitings = 0;
    uint64_t closes = 0;
    uint64_t queries = 0;
    uint64_t hovers = 0;
    uint64_t paints = 0;
};

// Two host windows with a site each, a site without IOleWindow and one whose
// GetWindow fails. Every site ends with only the world's own reference.
class MisuseWorld {
  public:
    MisuseWorld() {
        m_sites[0] = new shell::Site(m_hostA.Get());
        m_sites[1] = new shell::Site(m_hostB.Get());
        m_sites[2] = new shell::Site(m_hostA.Get());
        m_sites[2]->SetOffersOleWindow(false);
        m_sites[3] = new shell::Site(m_hostB.Get());
        m_sites[3]->SetGetWindowResult(E_FAIL);
    }
    ~MisuseWorld() {
        for (shell::Site* site : m_sites) {
            EXPECT_EQ(1, site->RefCount()) << "a site reference outlived the band";
            site->Release();
        }
    }
    MisuseWorld(const MisuseWorld&) = delete;
    MisuseWorld& operator=(const MisuseWorld&) = delete;

    shell::Site* Site(int i) const { return m_sites[i]; }
    HWND HostA() const { return m_hostA.Get(); }
    HWND HostB() const { return m_hostB.Get(); }

    // The band windows and tooltips that exist now under either host.
    void Collect(std::set<HWND>& seen) const {
        AddAll(seen, TooltipsOwnedBy(m_hostA.Get()));
        AddAll(seen, TooltipsOwnedBy(m_hostB.Get()));
        for (HWND hwnd : BandWindows()) {
            seen.insert(hwnd);
        }
    }

  private:
    shell::HostWindow m_hostA{RECT{0, 560, 800, 600}};
    shell::HostWindow m_hostB{RECT{0, 0, 60, 600}};
    shell::Site* m_sites[4] = {};
};

inline GUID RandomGuid(Rng& rng) {
    GUID g;
    const uint64_t a = rng.Next();
    const uint64_t b = rng.Next();
    memcpy(&g, &a, 8);
    memcpy(reinterpret_cast<BYTE*>(&g) + 8, &b, 8);
    return g;
}

// Runs `ops` random calls on the band, whose primary IUnknown the caller
// holds one reference to (kept). `observe` runs after every call.
inline MisuseCounts RunComMisuse(IUnknown* punk, MisuseWorld& world, Rng& rng, int ops,
                                 std::set<HWND>& seen, const std::function<void()>& observe) {
    static const IID* const kKnown[] = {
        &IID_IUnknown, &IID_IOleWindow,     &IID_IDockingWindow,  &IID_IDeskBand,   &IID_IDeskBand2,
        &IID_IPersist, &IID_IPersistStream, &IID_IObjectWithSite, &IID_IInputObject};
    MisuseCounts counts;
    IDeskBand2* pBand = nullptr;
    IObjectWithSite* pSiting = nullptr;
    IInputObject* pInput = nullptr;
    EXPECT_EQ(S_OK, punk->QueryInterface(IID_IDeskBand2, reinterpret_cast<void**>(&pBand)));
    EXPECT_EQ(S_OK, punk->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&pSiting)));
    EXPECT_EQ(S_OK, punk->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&pInput)));
    if (pBand == nullptr || pSiting == nullptr || pInput == nullptr) {
        return counts;
    }
    int extraRefs = 0;

    for (int i = 0; i < ops; ++i) {
        ++counts.calls;
        switch (rng.Below(20)) {
        case 0:
        case 1:
        case 2:
        case 3: {
            const int which = static_cast<int>(rng.Below(5));
            IUnknown* site = which == 4 ? nullptr : static_cast<IOleWindow*>(world.Site(which));
            // Every site answers the input-object site query, also the one
            // without a window and the one whose GetWindow fails.
            EXPECT_EQ(S_OK, pSiting->SetSite(site));
            ++counts.sitings;
            break;
        }
        case 4:
            EXPECT_EQ(S_OK, pBand->ShowDW(rng.Below(3)));
            break;
        case 5:
            EXPECT_EQ(S_OK, pBand->CloseDW(0));
            ++counts.closes;
            break;
        case 6: {
            DESKBANDINFO info = {};
            info.dwMask = static_cast<DWORD>(rng.Next());
            EXPECT_EQ(S_OK, pBand->GetBandInfo(static_cast<DWORD>(rng.Next()), DBIF_VIEWMODE_NORMAL,
                                               &info));
            break;
        }
        case 7:
            EXPECT_EQ(E_INVALIDARG,
                      pBand->GetBandInfo(rng.Below(10), DBIF_VIEWMODE_VERTICAL, nullptr));
            break;
        case 8:
            EXPECT_EQ(S_OK, pInput->UIActivateIO(rng.Below(2), nullptr));
            pInput->HasFocusIO();
            break;
        case 9: {
            EXPECT_EQ(S_OK, pBand->SetCompositionState(rng.Below(3)));
            BOOL f = 7;
            EXPECT_EQ(S_OK, pBand->GetCompositionState(&f));
            EXPECT_EQ(S_OK, pBand->CanRenderComposited(&f));
            break;
        }
        case 10:
        case 11: {
            const GUID iid = RandomGuid(rng);
            void* pv = reinterpret_cast<void*>(0x1);
            EXPECT_EQ(E_NOINTERFACE, punk->QueryInterface(iid, &pv));
            EXPECT_EQ(nullptr, pv);
            ++counts.queries;
            break;
        }
        case 12: {
            IUnknown* pOther = nullptr;
            const IID& iid = *kKnown[rng.Below(9)];
            EXPECT_EQ(S_OK, punk->QueryInterface(iid, reinterpret_cast<void**>(&pOther)));
            ++counts.queries;
            if (pOther != nullptr) {
                if (rng.OneIn(2)) {
                    ++extraRefs; // released at the end
                } else {
                    pOther->Release();
                }
            }
            break;
        }
        case 13:
            punk->AddRef();
            ++extraRefs;
            break;
        case 14:
            if (extraRefs > 0) {
                EXPECT_GT(punk->Release(), 0u);
                --extraRefs;
            }
            break;
        case 15:
        case 16: {
            // The mouse over the band: the tooltip and the hot picture.
            HWND hwnd = nullptr;
            EXPECT_EQ(S_OK, pBand->GetWindow(&hwnd));
            if (hwnd != nullptr) {
                seen.insert(hwnd);
                SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
                if (rng.OneIn(2)) {
                    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
                }
                ++counts.hovers;
            }
            break;
        }
        case 17: {
            HWND hwnd = nullptr;
            EXPECT_EQ(S_OK, pBand->GetWindow(&hwnd));
            if (hwnd != nullptr) {
                HDC hdc = CreateCompatibleDC(nullptr);
                HBITMAP bm = CreateBitmap(40, 40, 1, 32, nullptr);
                HGDIOBJ old = SelectObject(hdc, bm);
                SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT);
                SelectObject(hdc, old);
                DeleteObject(bm);
                DeleteDC(hdc);
                ++counts.paints;
            }
            break;
        }
        case 18: {
            IUnknown* pSite = reinterpret_cast<IUnknown*>(0x1);
            const HRESULT hr =
                pSiting->GetSite(rng.OneIn(2) ? IID_IInputObjectSite : RandomGuid(rng),
                                 reinterpret_cast<void**>(&pSite));
            if (SUCCEEDED(hr)) {
                pSite->Release();
            } else {
                EXPECT_EQ(nullptr, pSite);
            }
            break;
        }
        default:
            PumpMessages();
            break;
        }
        world.Collect(seen);
        observe();
    }
    while (extraRefs-- > 0) {
        EXPECT_GT(punk->Release(), 0u);
    }
    pInput->Release();
    pSiting->Release();
    pBand->Release();
    return counts;
}

} // namespace hardening
