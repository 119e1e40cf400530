// Test-only access to CDeskBand's private parts. CDeskBand declares
// `friend struct CDeskBandTestAccess;`; this is the one definition of that
// struct, shared by every test that links the band's objects.
//
// Each field is reached by a static function of the field's own name that
// returns a reference, so tests can read and write it:
//     CDeskBandTestAccess::m_hwnd(*pBand) = hwnd;
// Every field of the band is listed, in declaration order. To reach something
// else, add one more static function below (keep it a one-liner).
#pragma once

#include "band/desk_band.h"

struct CDeskBandTestAccess {
#define VANTREL_BAND_FIELD(name)                                                                   \
    static auto& name(CDeskBand& band) {                                                           \
        return band.name;                                                                          \
    }                                                                                              \
    static const auto& name(const CDeskBand& band) {                                               \
        return band.name;                                                                          \
    }

    VANTREL_BAND_FIELD(m_cRef)
    VANTREL_BAND_FIELD(m_pSite)
    VANTREL_BAND_FIELD(m_fHasFocus)
    VANTREL_BAND_FIELD(m_fDirty)
    VANTREL_BAND_FIELD(m_fCompositionEnabled)
    VANTREL_BAND_FIELD(m_dwBandID)
    VANTREL_BAND_FIELD(m_hwnd)
    VANTREL_BAND_FIELD(m_hwndParent)
    VANTREL_BAND_FIELD(m_fVertical)
    VANTREL_BAND_FIELD(m_xIcon)
    VANTREL_BAND_FIELD(m_yIcon)
    VANTREL_BAND_FIELD(m_hbmIcon)
    VANTREL_BAND_FIELD(m_hdcMem)
    VANTREL_BAND_FIELD(m_fHot)
    VANTREL_BAND_FIELD(m_tip)
    VANTREL_BAND_FIELD(m_ptDown)
    VANTREL_BAND_FIELD(m_cxIcon)
    VANTREL_BAND_FIELD(m_nBpp)
    VANTREL_BAND_FIELD(m_nBppCached)
    VANTREL_BAND_FIELD(m_cxBand)
    VANTREL_BAND_FIELD(m_cyBand)
    VANTREL_BAND_FIELD(m_nRepresentativeIcon)
#undef VANTREL_BAND_FIELD

    // The object behind its primary view (IUnknown, IOleWindow, IDockingWindow,
    // IDeskBand, IDeskBand2 all hand out the same pointer).
    static CDeskBand* FromPrimary(IUnknown* punk) {
        return static_cast<CDeskBand*>(static_cast<IDeskBand2*>(punk));
    }

    // Private helpers.
    static void DestroyBandWindows(CDeskBand& band) {
        band.DestroyBandWindows();
    }
};
