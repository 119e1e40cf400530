// Where the companion program should open: a point just outside the band,
// beyond the band's edge that faces the middle of its monitor, and the
// quadrant of the monitor that holds the click.
#pragma once

#include <windows.h>

enum CompanionCorner : int {
    kCornerTopLeft = 0,
    kCornerTopRight = 1,
    kCornerBottomRight = 2,
    kCornerBottomLeft = 3,
};

struct CompanionPlacement {
    POINT anchor;
    int corner;
    BOOL fVertical; // the taskbar stands upright
};

// rcMonitor: the monitor nearest the click; rcBand and rcParent: the window
// rectangles of the band and of the taskbar; ptClick: the release point. All
// in screen coordinates.
CompanionPlacement ComputeCompanionPlacement(const RECT& rcMonitor, const RECT& rcBand,
                                             const RECT& rcParent, POINT ptClick);
