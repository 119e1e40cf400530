// Which bitmap resource shows a style in a form at a display depth.
#pragma once

#include <windows.h>

// Styles outside 1..8 show style 1. Exactly 32 bits per pixel selects the
// alpha picture; every other depth the colour-keyed one.
WORD IconResourceId(int style, bool fHot, int bitsPerPixel);

// The colour the keyed pictures use for "not part of the figure".
constexpr COLORREF kIconKeyColour = RGB(255, 0, 255);
