// What the band paints, read back through WM_PRINTCLIENT into a 32-bit DIB,
// and compared with the picture the module carries for a style and form.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace hardening {

constexpr int kIconSide = 32;

// The bitmap id of a style's 32-bit picture, from the module's published
// table: four ids per style from 109, normal then hot; style 3 stores its
// four in the reverse order.
inline int AlphaPictureId(int style, bool fHot) {
    if (style == 3) {
        return fHot ? 119 : 120;
    }
    return 109 + 4 * (style - 1) + (fHot ? 1 : 0);
}

struct Argb {
    uint8_t b, g, r, a;
};

// A 32-bit premultiplied picture from the module's resources, rows from the top.
inline std::vector<Argb> LoadAlphaPicture(HMODULE module, int id) {
    std::vector<Argb> px;
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /*RT_BITMAP*/);
    HGLOBAL mem = res != nullptr ? LoadResource(module, res) : nullptr;
    const BYTE* data = mem != nullptr ? static_cast<const BYTE*>(LockResource(mem)) : nullptr;
    if (data == nullptr || SizeofResource(module, res) < sizeof(BITMAPINFOHEADER)) {
        return px;
    }
    const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    if (h->biBitCount != 32 || h->biWidth != kIconSide || h->biHeight != kIconSide ||
        SizeofResource(module, res) < h->biSize + 4u * kIconSide * kIconSide) {
        return px;
    }
    const auto* bits = reinterpret_cast<const Argb*>(data + h->biSize);
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            px.push_back(bits[(kIconSide - 1 - y) * kIconSide + x]); // stored bottom-up
        }
    }
    return px;
}

// A top-down 32-bit DIB selected into a memory DC.
class Dib {
  public:
    Dib(int width, int height) : m_width(width), m_height(height) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = -height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        m_dc = CreateCompatibleDC(nullptr);
        m_bitmap = CreateDIBSection(m_dc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits),
                                    nullptr, 0);
        m_old = SelectObject(m_dc, m_bitmap);
    }
    ~Dib() {
        SelectObject(m_dc, m_old);
        DeleteObject(m_bitmap);
        DeleteDC(m_dc);
    }
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    bool Ok() const { return m_bits != nullptr; }
    HDC Dc() const { return m_dc; }
    void Fill(uint32_t value) {
        GdiFlush();
        for (int i = 0; i < m_width * m_height; ++i) {
            m_bits[i] = value;
        }
    }
    uint32_t At(int x, int y) const {
        GdiFlush();
        return m_bits[y * m_width + x];
    }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

  private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    uint32_t* m_bits = nullptr;
};

// Paints the band window's client area into a DIB of its size and checks it
// against the module's 32-bit picture for the style and form: every opaque
// picture pixel exactly, every transparent one showing the same background
// as the band's top-left corner. The band window must hold a whole 32-pixel
// icon square above a strip of background. Empty when the picture matches.
inline std::string CheckPaintedIcon(HWND band, HMODULE module, int style, bool fHot) {
    RECT rc = {};
    GetClientRect(band, &rc);
    const int side = std::min<int>(kIconSide, std::min<int>(rc.right, rc.bottom));
    if (side != kIconSide || rc.bottom == kIconSide) {
        return "band window of " + std::to_string(rc.right) + "x" + std::to_string(rc.bottom) +
               " cannot show a whole icon over its background";
    }
    const int x0 = (rc.right - side) / 2;
    const int y0 = (rc.bottom - side) / 2;
    const std::vector<Argb> picture = LoadAlphaPicture(module, AlphaPictureId(style, fHot));
    if (picture.size() != kIconSide * kIconSide) {
        return "picture " + std::to_string(AlphaPictureId(style, fHot)) + " not in the module";
    }
    Dib dib(rc.right, rc.bottom);
    if (!dib.Ok()) {
        return "no DIB";
    }
    dib.Fill(0x00123456);
    SendMessageW(band, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Dc()), PRF_CLIENT);
    const uint32_t background = dib.At(0, 0) & 0xFFFFFF;
    if (background == 0x123456) {
        return "nothing painted";
    }
    int opaque = 0;
    for (int y = 0; y < kIconSide; ++y) {
        for (int x = 0; x < kIconSide; ++x) {
            const Argb& p = picture[y * kIconSide + x];
            const uint32_t got = dib.At(x0 + x, y0 + y) & 0xFFFFFF;
            uint32_t want;
            if (p.a == 255) {
                want = (uint32_t{p.r} << 16) | (uint32_t{p.g} << 8) | p.b;
                ++opaque;
            } else if (p.a == 0) {
                want = background;
            } else {
                continue; // blended with the background: exact value is the blender's
            }
            if (got != want) {
                char text[160];
                std::snprintf(text, sizeof(text),
                              "style %d %s: pixel %d,%d is %06X, picture %d wants %06X", style,
                              fHot ? "hot" : "normal", x, y, static_cast<unsigned>(got),
                              AlphaPictureId(style, fHot), static_cast<unsigned>(want));
                return text;
            }
        }
    }
    if (opaque < 100) {
        return "picture has too few opaque pixels to tell it apart";
    }
    return "";
}

} // namespace hardening
