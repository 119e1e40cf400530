// Icon layout: one square, at most 32 pixels, centred in the band window.
#include "band/desk_band.h"

#include "window/icon_layout.h"

IconSquare ComputeIconSquare(int width, int height) {
    IconSquare square;
    int side = kMaxIconSide;
    if (width < side) {
        side = width;
    }
    if (height < side) {
        side = height;
    }
    if (side < 0) {
        side = 0;
    }
    square.side = side;
    square.x = (width - side) / 2;
    square.y = (height - side) / 2;
    return square;
}

void CDeskBand::LayOutIcon(int width, int height) {
    const IconSquare square = ComputeIconSquare(width, height);
    m_cxIcon = square.side;
    m_xIcon = square.x;
    m_yIcon = square.y;
}

void CDeskBand::OnSize(LPARAM lParam) {
    LayOutIcon(LOWORD(lParam), HIWORD(lParam));
}

void CDeskBand::OnUpdateTaskBandInfo() {
    RECT rc = {};
    GetClientRect(m_hwnd, &rc);
    LayOutIcon(rc.right, rc.bottom);
}
