#include "window/window_test_support.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace wt {
namespace {

constexpr wchar_t kBrushHostClass[] = L"VantrelWindowTestHostBrush";
constexpr wchar_t kBareHostClass[] = L"VantrelWindowTestHostBare";

const wchar_t* HostClass(bool fBrush) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = CreateSolidBrush(kHostColour);
        wc.lpszClassName = kBrushHostClass;
        RegisterClassW(&wc);
        wc.hbrBackground = nullptr;
        wc.lpszClassName = kBareHostClass;
        RegisterClassW(&wc);
        registered = true;
    }
    return fBrush ? kBrushHostClass : kBareHostClass;
}

} // namespace

TestHost::TestHost(const RECT& rc, bool fBrush) {
    m_hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, HostClass(fBrush),
                             L"Window test taskbar", WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE,
                             rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
}

TestHost::~TestHost() {
    if (IsWindow(m_hwnd)) {
        DestroyWindow(m_hwnd);
    }
}

HostedBand::HostedBand(const BandModule& dll, HWND hwndHost) {
    m_pSite = new shell::BandSite(hwndHost);
    if (FAILED(dll.CreateBand(IID_IDeskBand, &m_pBand))) {
        m_pBand = nullptr;
        return;
    }
    const HRESULT hr = m_pSite->AddBand(m_pBand);
    if (FAILED(hr) || m_pSite->Bands().empty()) {
        return;
    }
    m_dwBandID = m_pSite->Bands().back().dwBandID;
    m_hwnd = m_pSite->Bands().back().hwnd;
}

void HostedBand::Remove() {
    if (m_pSite != nullptr && m_pSite->Find(m_dwBandID) != nullptr) {
        EXPECT_EQ(S_OK, m_pSite->RemoveBand(m_dwBandID));
    }
    m_hwnd = nullptr;
}

void HostedBand::SetComposition(BOOL fEnabled) {
    IDeskBand2* pBand2 = nullptr;
    ASSERT_EQ(S_OK, m_pBand->QueryInterface(IID_IDeskBand2, reinterpret_cast<void**>(&pBand2)));
    EXPECT_EQ(S_OK, pBand2->SetCompositionState(fEnabled));
    pBand2->Release();
}

HostedBand::~HostedBand() {
    Remove();
    if (m_pSite != nullptr) {
        EXPECT_EQ(0u, m_pSite->Release());
    }
    if (m_pBand != nullptr) {
        EXPECT_EQ(0u, m_pBand->Release());
    }
}

Dib::Dib(int width, int height) : m_width(width), m_height(height) {
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_hbm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<DWORD*>(bits);
    m_hdc = CreateCompatibleDC(nullptr);
    m_old = SelectObject(m_hdc, m_hbm);
}

Dib::~Dib() {
    SelectObject(m_hdc, m_old);
    DeleteDC(m_hdc);
    DeleteObject(m_hbm);
}

void Dib::Fill(COLORREF c) {
    GdiFlush();
    const DWORD value = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    std::fill(m_bits, m_bits + static_cast<size_t>(m_width) * m_height, value);
}

Rgb Dib::At(int x, int y) const {
    GdiFlush();
    const DWORD v = m_bits[static_cast<size_t>(y) * m_width + x];
    return {static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
            static_cast<int>(v & 0xFF)};
}

bool LoadPicture(HMODULE module, WORD id, Picture& picture) {
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /*RT_BITMAP*/);
    if (res == nullptr) {
        return false;
    }
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(module, res)));
    const DWORD size = SizeofResource(module, res);
    if (data == nullptr || size < sizeof(BITMAPINFOHEADER)) {
        return false;
    }
    const BITMAPINFOHEADER* bih = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    if (bih->biWidth != 32 || bih->biHeight != 32 || bih->biCompression != BI_RGB) {
        return false;
    }
    const int bpp = bih->biBitCount;
    DWORD colours = bih->biClrUsed;
    if (colours == 0 && bpp <= 8) {
        colours = 1u << bpp;
    }
    if (bpp != 8 && bpp != 24 && bpp != 32) {
        return false;
    }
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(data + bih->biSize);
    const BYTE* rows = data + bih->biSize + colours * sizeof(RGBQUAD);
    const size_t stride = ((32 * static_cast<size_t>(bpp) + 31) / 32) * 4;
    if (rows + stride * 32 > data + size) {
        return false;
    }
    picture.bitsPerPixel = bpp;
    picture.pixels.assign(32 * 32, RGBQUAD{});
    for (int y = 0; y < 32; ++y) {
        const BYTE* row = rows + stride * static_cast<size_t>(31 - y); // bottom-up
        for (int x = 0; x < 32; ++x) {
            RGBQUAD q = {};
            if (bpp == 32) {
                q = *reinterpret_cast<const RGBQUAD*>(row + 4 * x);
            } else if (bpp == 24) {
                q.rgbBlue = row[3 * x];
                q.rgbGreen = row[3 * x + 1];
                q.rgbRed = row[3 * x + 2];
                q.rgbReserved = 255;
            } else {
                if (row[x] >= colours) {
                    return false;
                }
                q = table[row[x]];
                q.rgbReserved = 255;
            }
            picture.pixels[static_cast<size_t>(y) * 32 + x] = q;
        }
    }
    return true;
}

Rgb BlendOver(const RGBQUAD& src, Rgb bg) {
    const int inv = 255 - src.rgbReserved;
    return {src.rgbRed + bg.r * inv / 255, src.rgbGreen + bg.g * inv / 255,
            src.rgbBlue + bg.b * inv / 255};
}

std::string FirstMismatch(const Dib& dib, const RECT& rc, Rgb expect, int tolerance) {
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x) {
            const Rgb got = dib.At(x, y);
            if (std::abs(got.r - expect.r) > tolerance || std::abs(got.g - expect.g) > tolerance ||
                std::abs(got.b - expect.b) > tolerance) {
                char text[160];
                std::snprintf(text, sizeof(text), "(%d,%d) is %d,%d,%d, expected %d,%d,%d", x, y,
                              got.r, got.g, got.b, expect.r, expect.g, expect.b);
                return text;
            }
        }
    }
    return std::string();
}

std::string PictureMismatch(const Dib& dib, const Picture& picture, int x0, int y0,
                            Rgb background) {
    for (int y = 0; y < dib.Height(); ++y) {
        for (int x = 0; x < dib.Width(); ++x) {
            const bool inside = x >= x0 && x < x0 + 32 && y >= y0 && y < y0 + 32;
            const Rgb expect =
                inside ? BlendOver(picture.At(x - x0, y - y0), background) : background;
            const std::string mismatch = FirstMismatch(dib, {x, y, x + 1, y + 1}, expect, 3);
            if (!mismatch.empty()) {
                return mismatch + (inside ? " inside the icon" : " outside the icon");
            }
        }
    }
    return std::string();
}

std::unique_ptr<Dib> PrintClient(HWND hwnd, COLORREF prefill) {
    RECT rc = {};
    GetClientRect(hwnd, &rc);
    auto dib = std::make_unique<Dib>(rc.right, rc.bottom);
    dib->Fill(prefill);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib->Dc()), PRF_CLIENT);
    return dib;
}

void PumpMessages(DWORD ms) {
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

} // namespace wt
