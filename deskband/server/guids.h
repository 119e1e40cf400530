// The band's own class identifier. Platform identifiers (IID_IDeskBand2,
// CLSID_TrayBandSiteService, CATID_DeskBand, ...) come from the SDK headers.
#pragma once

#include <windows.h>

extern "C" const CLSID CLSID_VantrelDeskBand;

// Room for a GUID in its registry form ("{XXXXXXXX-...}") and for the
// registry paths built from it.
constexpr int kGuidStringChars = 260;
