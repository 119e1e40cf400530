// A click on the band starts the companion program beside the DLL.
#include "band/desk_band.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "server/format.h"
#include "server/module.h"
#include "server/names.h"
#include "window/companion_placement.h"

namespace {

// Cursor travel, on each axis, that still counts as a click.
constexpr LONGLONG kClickSlop = 2;

LONGLONG Distance(LONG a, LONG b) {
    const LONGLONG d = LONGLONG{a} - LONGLONG{b};
    return d < 0 ? -d : d;
}

// The companion's full path, or false when it does not fit: a cut-short path
// could start some other program.
bool CompanionPath(wchar_t (&path)[MAX_PATH]) {
    const DWORD cch = GetModuleFileNameW(g_hInstance, path, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH) {
        return false;
    }
    if (!PathRemoveFileSpecW(path)) {
        return false;
    }
    return PathAppendW(path, names::kCompanionExe) != FALSE;
}

} // namespace

void CDeskBand::OnLButtonDown() {
    GetCursorPos(&m_ptDown);
}

void CDeskBand::OnLButtonUp(HWND hwnd) {
    POINT pt = {};
    GetCursorPos(&pt);
    if (Distance(pt.x, m_ptDown.x) < kClickSlop && Distance(pt.y, m_ptDown.y) < kClickSlop) {
        LaunchCompanion(hwnd, pt);
    }
}

void CDeskBand::LaunchCompanion(HWND hwnd, POINT ptRelease) {
    wchar_t path[MAX_PATH] = {};
    if (!CompanionPath(path)) {
        return;
    }
    MONITORINFO mi = {};
    mi.cbSize = sizeof(mi);
    if (!GetMonitorInfoW(MonitorFromPoint(ptRelease, MONITOR_DEFAULTTONEAREST), &mi)) {
        return;
    }
    RECT rcBand = {};
    RECT rcParent = {};
    GetWindowRect(hwnd, &rcBand);
    GetWindowRect(m_hwndParent, &rcParent);
    const CompanionPlacement placement =
        ComputeCompanionPlacement(mi.rcMonitor, rcBand, rcParent, ptRelease);
    m_fVertical = placement.fVertical;

    wchar_t args[MAX_PATH] = {};
    FormatToBuffer(args, MAX_PATH, names::kCompanionArgsFormat, placement.anchor.x,
                   placement.anchor.y, placement.corner);
    OutputDebugStringW(args);
    ShellExecuteW(hwnd, nullptr, path, args, nullptr, SW_SHOWNORMAL);
}
