// What the band-window tests share: a taskbar-like host with a band of the
// built DLL in it, 32-bit DIB sections to paint into, the DLL's own icon
// pictures, the debugger output, and the companion stand-in's log.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "shell/band_site.h"
#include "support/band_module.h"
#include "support/com_test.h"
#include "support/companion_log.h"
#include "support/debug_output.h"

namespace wt {

// ---- Hosting -------------------------------------------------------------

// A top-level popup that stands in for the taskbar. With a brush its default
// erase paints that colour (which is what the band's themed background call
// brings into the band); without one it paints nothing.
class TestHost {
  public:
    TestHost(const RECT& rc, bool fBrush);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;
    HWND Get() const { return m_hwnd; }

  private:
    HWND m_hwnd = nullptr;
};

// The taskbar's colour in the hosts with a brush.
constexpr COLORREF kHostColour = RGB(32, 40, 52);

// One band of a loaded module, hosted the way the taskbar hosts it. The band
// site holds the band; the fixture holds one more reference, and gives it up
// last, expecting it to be the final one.
class HostedBand {
  public:
    HostedBand(const BandModule& dll, HWND hwndHost);
    ~HostedBand();
    HostedBand(const HostedBand&) = delete;
    HostedBand& operator=(const HostedBand&) = delete;

    bool Ok() const { return m_hwnd != nullptr; }
    HWND Window() const { return m_hwnd; }
    IDeskBand* Band() const { return m_pBand; }
    shell::BandSite* Site() const { return m_pSite; }
    // Closes the band as the taskbar does when it removes it.
    void Remove();
    void SetComposition(BOOL fEnabled);

  private:
    IDeskBand* m_pBand = nullptr;
    shell::BandSite* m_pSite = nullptr;
    DWORD m_dwBandID = 0;
    HWND m_hwnd = nullptr;
};

// ---- Pixels --------------------------------------------------------------

struct Rgb {
    int r, g, b;
};
inline Rgb FromColorRef(COLORREF c) {
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// A top-down 32-bit DIB section selected into its own memory DC.
class Dib {
  public:
    Dib(int width, int height);
    ~Dib();
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;
    HDC Dc() const { return m_hdc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    void Fill(COLORREF c);
    Rgb At(int x, int y) const;

  private:
    int m_width;
    int m_height;
    HDC m_hdc = nullptr;
    HBITMAP m_hbm = nullptr;
    HGDIOBJ m_old = nullptr;
    DWORD* m_bits = nullptr;
};

// One of the module's pictures, decoded from its resource: 32 x 32, top row
// first, blue-green-red-alpha (alpha 255 for pictures without alpha).
struct Picture {
    int bitsPerPixel = 0;
    std::vector<RGBQUAD> pixels;
    const RGBQUAD& At(int x, int y) const { return pixels[static_cast<size_t>(y) * 32 + x]; }
};
bool LoadPicture(HMODULE module, WORD id, Picture& picture);

// A premultiplied source pixel over a background, as per-pixel alpha
// blending composes them.
Rgb BlendOver(const RGBQUAD& src, Rgb background);

// First pixel of a rectangle of the DIB that is off from `expect` by more
// than `tolerance` on some channel; empty when all match.
std::string FirstMismatch(const Dib& dib, const RECT& rc, Rgb expect, int tolerance);

// Where a DIB differs (by more than 3 levels) from the picture drawn 1:1 at
// (x0, y0) over `background` with the background everywhere else; empty when
// it does not.
std::string PictureMismatch(const Dib& dib, const Picture& picture, int x0, int y0, Rgb background);

// The band window's client area as WM_PRINTCLIENT paints it.
std::unique_ptr<Dib> PrintClient(HWND hwnd, COLORREF prefill);

// ---- Debugger output and the companion ------------------------------------

using support::DebugOutputCapture;

// The companion stand-in's record of its starts.
using support::CompanionLog;
using support::CompanionRecord;

// Pumps this thread's messages for a while.
void PumpMessages(DWORD ms);

} // namespace wt
