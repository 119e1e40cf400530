// bandhost's command channel, for tests and scripts in other processes:
// WM_COPYDATA to the host window (its handle is on the "ready" line) with
// dwData = kBandHostCommand and lpData = the command as UTF-16 text, no
// terminator. The reply is an HRESULT; what happened is in the log.
//
//   show            call the band module's ShowBand in bandhost's own process
//   load            create the band class through COM, as a shell does after
//                   SHLoadInProc, and release it
//   query           query every hosted band for IUnknown again
//   snapshot PATH   write the first hosted band's picture (WM_PRINTCLIENT) as a BMP
//   exit            close the taskbar and end
#pragma once

#include <windows.h>

namespace bandhost {
constexpr ULONG_PTR kBandHostCommand = 0x56424843; // "VBHC"
} // namespace bandhost
