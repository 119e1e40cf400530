// A picture of a window's client area as the window paints it on request
// (WM_PRINTCLIENT into a 32-bit DIB section), and BMP files of such pictures,
// so that a band hosted in one process can be compared with one painted in
// another.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace shell {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // top-down rows, 0x00RRGGBB in the low bytes

    bool operator==(const Picture& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
    bool operator!=(const Picture& other) const { return !(*this == other); }
};

// Empty (0 x 0) when the window has no client area or the DIB cannot be made.
Picture PrintClient(HWND hwnd);

bool WriteBmp(const std::wstring& path, const Picture& picture);
// Reads what WriteBmp wrote (32 bits per pixel, uncompressed).
bool ReadBmp(const std::wstring& path, Picture* picture);

} // namespace shell
