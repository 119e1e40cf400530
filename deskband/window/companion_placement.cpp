#include "window/companion_placement.h"

namespace {
// How far outside the band the companion's anchor lies.
constexpr LONGLONG kAnchorGap = 2;

LONG Clamp(LONGLONG value) {
    if (value > LONG_MAX) {
        return LONG_MAX;
    }
    if (value < LONG_MIN) {
        return LONG_MIN;
    }
    return static_cast<LONG>(value);
}
} // namespace

CompanionPlacement ComputeCompanionPlacement(const RECT& rcMonitor, const RECT& rcBand,
                                             const RECT& rcParent, POINT ptClick) {
    // Wide arithmetic: no rectangle or point can overflow the comparisons.
    const LONGLONG halfW = (LONGLONG{rcMonitor.right} - rcMonitor.left) / 2;
    const LONGLONG halfH = (LONGLONG{rcMonitor.bottom} - rcMonitor.top) / 2;
    // Halves are measured from the monitor's own corner, so monitors beside
    // or above the primary one get their own quadrants.
    const bool fLeft = LONGLONG{ptClick.x} - rcMonitor.left < halfW;
    const bool fTop = LONGLONG{ptClick.y} - rcMonitor.top < halfH;

    CompanionPlacement placement = {};
    placement.fVertical =
        (LONGLONG{rcParent.bottom} - rcParent.top) >= (LONGLONG{rcParent.right} - rcParent.left);
    if (fTop) {
        placement.corner = fLeft ? kCornerTopLeft : kCornerTopRight;
    } else {
        placement.corner = fLeft ? kCornerBottomLeft : kCornerBottomRight;
    }

    if (placement.fVertical) {
        placement.anchor.x = Clamp(fLeft ? rcBand.right + kAnchorGap : rcBand.left - kAnchorGap);
        placement.anchor.y = fTop ? rcBand.top : rcBand.bottom;
    } else {
        placement.anchor.x = fLeft ? rcBand.left : rcBand.right;
        placement.anchor.y = Clamp(fTop ? rcBand.bottom + kAnchorGap : rcBand.top - kAnchorGap);
    }
    return placement;
}
