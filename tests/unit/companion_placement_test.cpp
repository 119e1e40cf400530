// Where the companion opens: quadrant, upright taskbar and anchor point from
// the monitor, band and taskbar rectangles and the release point.
#include <windows.h>

#include <gtest/gtest.h>

#include "window/companion_placement.h"

namespace {

struct PlacementCase {
    const char* name;
    RECT monitor;
    RECT taskbar;
    RECT band;
    POINT release;
    int corner;
    POINT anchor;
    BOOL upright;
};

constexpr RECT kScreen = {0, 0, 800, 600};

const PlacementCase kCases[] = {
    // The worked examples on an 800 x 600 monitor.
    {"bottom taskbar, right",
     kScreen,
     {0, 560, 800, 600},
     {700, 560, 740, 600},
     {720, 580},
     2,
     {740, 558},
     FALSE},
    {"bottom taskbar, left",
     kScreen,
     {0, 560, 800, 600},
     {100, 560, 140, 600},
     {120, 580},
     3,
     {100, 558},
     FALSE},
    {"top taskbar", kScreen, {0, 0, 800, 40}, {100, 0, 140, 40}, {120, 20}, 0, {100, 42}, FALSE},
    {"upright at the left",
     kScreen,
     {0, 0, 60, 600},
     {10, 100, 50, 140},
     {30, 120},
     0,
     {52, 100},
     TRUE},
    {"upright at the right",
     kScreen,
     {740, 0, 800, 600},
     {750, 460, 790, 500},
     {770, 480},
     2,
     {748, 500},
     TRUE},
    {"upright at the right, top half",
     kScreen,
     {740, 0, 800, 600},
     {750, 100, 790, 140},
     {770, 120},
     1,
     {748, 100},
     TRUE},
    {"top taskbar, right half",
     kScreen,
     {0, 0, 800, 40},
     {600, 0, 640, 40},
     {620, 20},
     1,
     {640, 42},
     FALSE},
    // A square taskbar counts as upright; one pixel wider does not.
    {"square taskbar",
     kScreen,
     {0, 540, 60, 600},
     {10, 550, 50, 590},
     {30, 570},
     3,
     {52, 590},
     TRUE},
    {"one pixel wider than tall",
     kScreen,
     {0, 540, 61, 600},
     {10, 550, 50, 590},
     {30, 570},
     3,
     {10, 548},
     FALSE},
    // Exactly half the width or height is the right or bottom half.
    {"x exactly halfW",
     kScreen,
     {0, 0, 800, 40},
     {380, 0, 420, 40},
     {400, 20},
     1,
     {420, 42},
     FALSE},
    {"x one short of halfW",
     kScreen,
     {0, 0, 800, 40},
     {380, 0, 420, 40},
     {399, 20},
     0,
     {380, 42},
     FALSE},
    {"y exactly halfH",
     kScreen,
     {0, 0, 60, 600},
     {10, 280, 50, 320},
     {30, 300},
     3,
     {52, 320},
     TRUE},
    {"y one short of halfH",
     kScreen,
     {0, 0, 60, 600},
     {10, 280, 50, 320},
     {30, 299},
     0,
     {52, 280},
     TRUE},
    {"odd width drops the half pixel",
     {0, 0, 801, 601},
     {0, 0, 801, 40},
     {380, 0, 420, 40},
     {400, 20},
     1,
     {420, 42},
     FALSE},
    // Monitors that do not start at the origin have their own quadrants.
    {"right of the primary, left half",
     {800, 0, 1824, 768},
     {800, 728, 1824, 768},
     {880, 728, 920, 768},
     {900, 740},
     3,
     {880, 726},
     FALSE},
    {"right of the primary, right half",
     {800, 0, 1824, 768},
     {800, 728, 1824, 768},
     {1700, 728, 1740, 768},
     {1720, 740},
     2,
     {1740, 726},
     FALSE},
    {"right of the primary, upright at its left",
     {800, 0, 1824, 768},
     {800, 0, 860, 768},
     {810, 100, 850, 140},
     {830, 120},
     0,
     {852, 100},
     TRUE},
    {"left of the primary, left half",
     {-1024, 0, 0, 768},
     {-1024, 0, 0, 40},
     {-1010, 0, -970, 40},
     {-1000, 20},
     0,
     {-1010, 42},
     FALSE},
    {"left of the primary, right half",
     {-1024, 0, 0, 768},
     {-1024, 0, 0, 40},
     {-120, 0, -80, 40},
     {-100, 20},
     1,
     {-80, 42},
     FALSE},
    {"left of the primary, bottom right",
     {-1024, 0, 0, 768},
     {-1024, 728, 0, 768},
     {-120, 728, -80, 768},
     {-100, 740},
     2,
     {-80, 726},
     FALSE},
    {"above the primary, bottom half",
     {0, -600, 800, 0},
     {0, -40, 800, 0},
     {80, -40, 120, 0},
     {100, -20},
     3,
     {80, -42},
     FALSE},
};

TEST(CompanionPlacement, QuadrantUprightAndAnchor) {
    for (const PlacementCase& c : kCases) {
        SCOPED_TRACE(c.name);
        const CompanionPlacement placement =
            ComputeCompanionPlacement(c.monitor, c.band, c.taskbar, c.release);
        EXPECT_EQ(c.corner, placement.corner);
        EXPECT_EQ(c.anchor.x, placement.anchor.x);
        EXPECT_EQ(c.anchor.y, placement.anchor.y);
        EXPECT_EQ(c.upright, placement.fVertical);
    }
}

} // namespace
