#include "window/icon_resource.h"

#include "res/resource_ids.h"

namespace {
constexpr int kAlphaDepth = 32;
// The one style whose pictures are stored in the reverse order.
constexpr int kReversedStyle = 3;
} // namespace

WORD IconResourceId(int style, bool fHot, int bitsPerPixel) {
    if (style < 1 || style > ICON_STYLE_COUNT) {
        style = 1;
    }
    int slot = (bitsPerPixel == kAlphaDepth ? 0 : 2) + (fHot ? 1 : 0);
    if (style == kReversedStyle) {
        slot = 3 - slot;
    }
    return static_cast<WORD>(IDB_ICON_FIRST + 4 * (style - 1) + slot);
}
