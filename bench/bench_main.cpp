// Measures what the band costs the shell that hosts it. Every figure is
// measured beside its floor, the least any 32-pixel band must do for the same
// thing, in the same run and interleaved with it, so that a busy machine
// slows both alike. Prints a table and writes the same figures as JSON.
//
//   band_bench [--quick] [--json FILE] [--cpu TEXT] [--load TEXT]
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <uxtheme.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "pe_file.h"
#include "report.h"
#include "res/resource_ids.h"
#include "samples.h"
#include "server/guids.h"
#include "server/names.h"
#include "shell/host_window.h"
#include "shell/site.h"
#include "window/icon_resource.h"

namespace {

constexpr int kIconSide = 32;
constexpr int kAlphaDepth = 32;
constexpr WORD kNormalPicture = IDB_ICON_FIRST;  // style 1, normal, 32-bit
constexpr WORD kHotPicture = IDB_ICON_FIRST + 1; // style 1, hot, 32-bit
// A taskbar along the bottom of the null driver's 1024 x 768 screen.
constexpr RECT kTaskbar = {0, 728, 1024, 768};
constexpr wchar_t kPlainClass[] = L"VantrelBenchPlainChild";
constexpr BLENDFUNCTION kBlend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

struct Repetitions {
    int paint;
    int hover;
    int style;
    int part;
    int cold;
};
// Sized so that the measuring takes a few seconds on a quiet machine.
constexpr Repetitions kFullRun = {2000, 1000, 1000, 1000, 100};
constexpr Repetitions kQuickRun = {20, 10, 16, 10, 3};

// What went wrong when the band did not do what a figure measures: such a
// figure would mean nothing, so the run stops.
struct Failure {
    std::string what;
};

struct Options {
    bool quick = false;
    std::wstring json = L"bench.json";
    std::string cpu = "unknown";
    std::string load = "unknown";
};

std::string Narrow(const std::wstring& s) {
    if (s.empty()) {
        return std::string();
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

bool ParseOptions(Options& opt) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return false;
    }
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--quick") {
            opt.quick = true;
        } else if (arg == L"--json" && hasValue) {
            opt.json = argv[++i];
        } else if (arg == L"--cpu" && hasValue) {
            opt.cpu = Narrow(argv[++i]);
        } else if (arg == L"--load" && hasValue) {
            opt.load = Narrow(argv[++i]);
        } else {
            ok = false;
        }
    }
    LocalFree(argv);
    return ok;
}

std::wstring BandDllPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"VantrelDeskBand.dll";
}

std::string WineVersion() {
    using WineGetVersionFn = const char*(CDECL*)();
    const auto fn = reinterpret_cast<WineGetVersionFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    return fn != nullptr ? fn() : "none (not Wine)";
}

std::string UtcNow() {
    SYSTEMTIME t;
    GetSystemTime(&t);
    char buf[32];
    std::snprintf(buf, sizeof(buf), "%04u-%02u-%02uT%02u:%02u:%02uZ", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return buf;
}

// Dispatches whatever the measured calls left queued, outside the timing.
void DrainMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void RegisterPlainClass() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kPlainClass;
    RegisterClassW(&wc);
}

// A child window that does nothing of its own: what every window pays.
HWND CreatePlainChild(HWND parent, int x, const RECT& size) {
    return CreateWindowExW(0, kPlainClass, nullptr, WS_CHILD | WS_VISIBLE, x, 0, size.right,
                           size.bottom, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

template <typename Fn> Fn Export(HMODULE dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

// A band object through the module's own class factory, as the shell makes one.
HRESULT CreateBand(HMODULE dll, IDeskBand** ppBand) {
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto getClassObject = Export<GetClassObjectFn>(dll, "DllGetClassObject");
    if (getClassObject == nullptr) {
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    }
    IClassFactory* pFactory = nullptr;
    HRESULT hr = getClassObject(CLSID_VantrelDeskBand, IID_IClassFactory,
                                reinterpret_cast<void**>(&pFactory));
    if (FAILED(hr)) {
        return hr;
    }
    hr = pFactory->CreateInstance(nullptr, IID_IDeskBand, reinterpret_cast<void**>(ppBand));
    pFactory->Release();
    return hr;
}

bool CanUnload(HMODULE dll) {
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
    const auto canUnloadNow = Export<CanUnloadNowFn>(dll, "DllCanUnloadNow");
    return canUnloadNow != nullptr && canUnloadNow() == S_OK;
}

// Sites the band as a taskbar does (site, band information, show) and places
// its window as the taskbar's layout would: as wide as the band asked, as
// tall as the taskbar.
HWND HostBand(IDeskBand* pBand, shell::Site* pSite) {
    IObjectWithSite* pObjectWithSite = nullptr;
    if (SUCCEEDED(pBand->QueryInterface(IID_IObjectWithSite,
                                        reinterpret_cast<void**>(&pObjectWithSite)))) {
        pObjectWithSite->SetSite(static_cast<IOleWindow*>(pSite));
        pObjectWithSite->Release();
    }
    DESKBANDINFO info = {};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
                  DBIM_MODEFLAGS | DBIM_BKCOLOR;
    pBand->GetBandInfo(1, DBIF_VIEWMODE_NORMAL, &info);
    HWND hwnd = nullptr;
    pBand->GetWindow(&hwnd);
    pBand->ShowDW(TRUE);
    RECT rcHost = {};
    GetClientRect(pSite->Host(), &rcHost);
    const int width = info.ptActual.x > 0 ? info.ptActual.x : info.ptMinSize.x;
    MoveWindow(hwnd, 0, 0, width, rcHost.bottom, TRUE);
    return hwnd;
}

// The picture a floor band draws, in a memory DC; switching it costs what
// any band that switches pictures must pay: load the new one, select it,
// delete the old one.
class FloorPicture {
  public:
    FloorPicture() : m_hdc(CreateCompatibleDC(nullptr)) {}
    ~FloorPicture() {
        DeleteDC(m_hdc);
        if (m_hbm != nullptr) {
            DeleteObject(m_hbm);
        }
    }
    FloorPicture(const FloorPicture&) = delete;
    FloorPicture& operator=(const FloorPicture&) = delete;

    bool Load(HMODULE dll, WORD id) {
        HBITMAP hbm = LoadBitmapW(dll, MAKEINTRESOURCEW(id));
        if (hbm == nullptr) {
            return false;
        }
        SelectObject(m_hdc, hbm);
        if (m_hbm != nullptr) {
            DeleteObject(m_hbm);
        }
        m_hbm = hbm;
        return true;
    }
    HDC Get() const { return m_hdc; }

  private:
    HDC m_hdc;
    HBITMAP m_hbm = nullptr;
};

// The least any 32-pixel band must do to show its picture: fill its client
// rectangle and blend the picture, centred, into it.
class FloorPainter {
  public:
    FloorPainter(HDC hdcPicture, const RECT& rc) : m_hdcPicture(hdcPicture), m_rc(rc) {
        m_side = kIconSide;
        if (rc.right < m_side) {
            m_side = rc.right;
        }
        if (rc.bottom < m_side) {
            m_side = rc.bottom;
        }
        m_x = (rc.right - m_side) / 2;
        m_y = (rc.bottom - m_side) / 2;
    }
    void Fill(HDC hdc) const {
        FillRect(hdc, &m_rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    }
    void Blend(HDC hdc) const {
        AlphaBlend(hdc, m_x, m_y, m_side, m_side, m_hdcPicture, 0, 0, kIconSide, kIconSide, kBlend);
    }
    void Paint(HDC hdc) const {
        Fill(hdc);
        Blend(hdc);
    }

  private:
    HDC m_hdcPicture;
    RECT m_rc;
    int m_side;
    int m_x;
    int m_y;
};

// A 32-bit top-down DIB section in a memory DC, as WM_PRINTCLIENT's target.
class DibCanvas {
  public:
    explicit DibCanvas(const RECT& rc) : m_cx(rc.right), m_cy(rc.bottom) {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
        bmi.bmiHeader.biWidth = m_cx;
        bmi.bmiHeader.biHeight = -m_cy;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = kAlphaDepth;
        bmi.bmiHeader.biCompression = BI_RGB;
        m_hdc = CreateCompatibleDC(nullptr);
        m_hbm = CreateDIBSection(m_hdc, &bmi, DIB_RGB_COLORS, &m_pvBits, nullptr, 0);
        m_hbmOld = SelectObject(m_hdc, m_hbm);
    }
    ~DibCanvas() {
        SelectObject(m_hdc, m_hbmOld);
        DeleteObject(m_hbm);
        DeleteDC(m_hdc);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC Get() const { return m_hdc; }
    void Clear() {
        GdiFlush();
        std::memset(m_pvBits, 0, Bytes());
    }
    std::vector<unsigned char> Pixels() const {
        GdiFlush();
        const unsigned char* p = static_cast<const unsigned char*>(m_pvBits);
        return std::vector<unsigned char>(p, p + Bytes());
    }

  private:
    size_t Bytes() const { return static_cast<size_t>(m_cx) * m_cy * 4; }

    int m_cx;
    int m_cy;
    HDC m_hdc;
    HBITMAP m_hbm;
    HGDIOBJ m_hbmOld;
    void* m_pvBits = nullptr;
};

bool AllZero(const std::vector<unsigned char>& v) {
    for (const unsigned char b : v) {
        if (b != 0) {
            return false;
        }
    }
    return true;
}

std::vector<unsigned char> PrintedPixels(HWND hwnd, DibCanvas& dib) {
    dib.Clear();
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Get()), PRF_CLIENT);
    return dib.Pixels();
}

Figure MakeFigure(const char* name, const char* what, const Samples& band, const char* floorWhat,
                  const Samples& floor) {
    return Figure{name, what, band.Summarise(), floorWhat, floor.Summarise()};
}

// The figures of a band that is up and running: paints, hover, style.
void MeasureRunningBand(const Repetitions& reps, HWND hostWindow, std::vector<Figure>& figures,
                        std::vector<Part>& parts, RECT& rcBand) {
    const std::wstring dllPath = BandDllPath();
    HMODULE dll = LoadLibraryW(dllPath.c_str());
    if (dll == nullptr) {
        throw Failure{"cannot load " + Narrow(dllPath)};
    }
    IDeskBand* pBand = nullptr;
    if (FAILED(CreateBand(dll, &pBand))) {
        throw Failure{"the class factory made no band"};
    }
    shell::Site* pSite = new shell::Site(hostWindow);
    HWND hwnd = HostBand(pBand, pSite);
    if (!IsWindowVisible(hwnd)) {
        throw Failure{"the band window is not showing"};
    }
    UpdateWindow(hwnd);
    GetClientRect(hwnd, &rcBand);

    DibCanvas dib(rcBand);
    const std::vector<unsigned char> normal = PrintedPixels(hwnd, dib);
    if (AllZero(normal)) {
        throw Failure{"WM_PRINTCLIENT painted nothing"};
    }
    // Reaching the band's procedure at all, and a paint, before the tooltip
    // exists: set beside the same after it, they show what its subclassing
    // of the band window adds to every message.
    {
        Samples reach, print;
        for (int i = 0; i < reps.part; ++i) {
            reach.Time([&] { SendMessageW(hwnd, WM_NULL, 0, 0); });
            print.Time([&] {
                SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Get()), PRF_CLIENT);
            });
        }
        parts.push_back(Part{"null_message_no_tooltip",
                             "WM_NULL sent to the band window before any hover (no tooltip yet)",
                             reach.Summarise()});
        parts.push_back(Part{"printclient_no_tooltip",
                             "WM_PRINTCLIENT into the DIB before any hover (no tooltip yet)",
                             print.Summarise()});
    }
    // The first mouse move also makes the tooltip, which from then on sees
    // every message of the band window: a band the user has once pointed at.
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(rcBand.right / 2, rcBand.bottom / 2));
    UpdateWindow(hwnd);
    const std::vector<unsigned char> hot = PrintedPixels(hwnd, dib);
    SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
    UpdateWindow(hwnd);
    if (hot == normal || PrintedPixels(hwnd, dib) != normal) {
        throw Failure{"the hover cycle did not switch the picture and back"};
    }
    DrainMessages();

    FloorPicture picture;
    if (!picture.Load(dll, kNormalPicture)) {
        throw Failure{"cannot load the normal picture from the DLL"};
    }
    const FloorPainter floor(picture.Get(), rcBand);
    HDC hdcWindow = GetDC(hwnd);

    {
        Samples band, base;
        for (int i = 0; i < reps.paint; ++i) {
            band.Time([&] {
                SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dib.Get()), PRF_CLIENT);
            });
            base.Time([&] { floor.Paint(dib.Get()); });
        }
        figures.push_back(MakeFigure(
            "paint_printclient", "WM_PRINTCLIENT sent to the band window, into a 32-bit DIB", band,
            "FillRect + AlphaBlend of picture 109 into the same DIB", base));
    }
    {
        Samples band, base;
        for (int i = 0; i < reps.paint; ++i) {
            band.Time([&] {
                InvalidateRect(hwnd, nullptr, TRUE);
                UpdateWindow(hwnd);
            });
            base.Time([&] { floor.Paint(hdcWindow); });
        }
        figures.push_back(MakeFigure(
            "paint_wm_paint", "InvalidateRect (erase) + UpdateWindow: WM_PAINT with its erase",
            band, "FillRect + AlphaBlend of picture 109 into the band window's DC", base));
    }
    {
        Samples band, base;
        for (int i = 0; i < reps.hover; ++i) {
            band.Time([&] {
                SendMessageW(hwnd, WM_MOUSEMOVE, 0,
                             MAKELPARAM(rcBand.right / 2, rcBand.bottom / 2));
                UpdateWindow(hwnd);
                SendMessageW(hwnd, WM_MOUSELEAVE, 0, 0);
                UpdateWindow(hwnd);
            });
            DrainMessages();
            base.Time([&] {
                picture.Load(dll, kHotPicture);
                floor.Paint(hdcWindow);
                picture.Load(dll, kNormalPicture);
                floor.Paint(hdcWindow);
            });
        }
        figures.push_back(MakeFigure(
            "hover_cycle", "WM_MOUSEMOVE + UpdateWindow, WM_MOUSELEAVE + UpdateWindow", band,
            "LoadBitmapW 110 + floor paint, LoadBitmapW 109 + floor "
            "paint, in the window's DC",
            base));
    }

    // Pieces of a paint, each alone, to see where a paint's time goes.
    HWND plain = CreatePlainChild(hostWindow, 2 * rcBand.right, rcBand);
    UpdateWindow(plain);
    struct Piece {
        const char* name;
        const char* what;
        std::function<void()> op;
        Samples samples = {};
    };
    Piece pieces[] = {
        {"fill", "FillRect of the band's client rectangle into the DIB",
         [&] { floor.Fill(dib.Get()); }},
        {"alpha_blend", "AlphaBlend of the 32 x 32 picture into the DIB",
         [&] { floor.Blend(dib.Get()); }},
        {"theme_parent_background", "DrawThemeParentBackground for the band window into the DIB",
         [&] { DrawThemeParentBackground(hwnd, dib.Get(), &rcBand); }},
        {"device_caps_bitspixel", "GetDeviceCaps(BITSPIXEL) of the DIB's DC, as every paint asks",
         [&] { GetDeviceCaps(dib.Get(), BITSPIXEL); }},
        {"null_message", "WM_NULL sent to the band window (tooltip present)",
         [&] { SendMessageW(hwnd, WM_NULL, 0, 0); }},
        {"erase_message", "WM_ERASEBKGND sent to the band window with the DIB",
         [&] { SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dib.Get()), 0); }},
        {"plain_window_paint",
         "InvalidateRect (erase) + UpdateWindow of a plain child window of the band's size",
         [&] {
             InvalidateRect(plain, nullptr, TRUE);
             UpdateWindow(plain);
         }},
        {"load_bitmap", "LoadBitmapW of picture 110 + DeleteObject",
         [&] { DeleteObject(LoadBitmapW(dll, MAKEINTRESOURCEW(kHotPicture))); }},
    };
    for (int i = 0; i < reps.part; ++i) {
        for (Piece& piece : pieces) {
            piece.samples.Time(piece.op);
        }
    }
    for (const Piece& piece : pieces) {
        parts.push_back(Part{piece.name, piece.what, piece.samples.Summarise()});
    }
    DestroyWindow(plain);

    {
        const UINT uChangeIcon = RegisterWindowMessageW(names::kChangeIconMessage);
        Samples band, base;
        for (int i = 0; i < reps.style; ++i) {
            const int style = 1 + i % ICON_STYLE_COUNT;
            band.Time([&] {
                SendMessageW(hwnd, uChangeIcon, static_cast<WPARAM>(style), 0);
                UpdateWindow(hwnd);
            });
            base.Time([&] {
                picture.Load(dll, IconResourceId(style, false, kAlphaDepth));
                floor.Paint(hdcWindow);
            });
        }
        SendMessageW(hwnd, uChangeIcon, 1, 0);
        figures.push_back(MakeFigure(
            "style_message",
            "\"VantrelChangeRepresentativeIcon\" with styles 1..8 in turn + UpdateWindow", band,
            "LoadBitmapW of that style's picture + floor paint in the window's DC", base));
    }

    ReleaseDC(hwnd, hdcWindow);
    pBand->CloseDW(0);
    pBand->Release();
    pSite->Release();
    DrainMessages();
    if (!CanUnload(dll)) {
        throw Failure{"DllCanUnloadNow refuses after the band was released"};
    }
    FreeLibrary(dll);
}

// Cold start and teardown: each repetition loads the DLL, hosts a band,
// paints it once, closes and releases it and unloads the DLL.
void MeasureColdStart(const Repetitions& reps, HWND hostWindow, const RECT& rcBand,
                      std::vector<Figure>& figures, std::vector<Part>& parts) {
    const std::wstring dllPath = BandDllPath();
    Samples start, startFloor, down, downFloor;
    Samples load, create, host, firstPaint, close, release;
    for (int i = 0; i < reps.cold; ++i) {
        shell::Site* pSite = new shell::Site(hostWindow);
        const LONGLONG t0 = Ticks();
        HMODULE dll = LoadLibraryW(dllPath.c_str());
        const LONGLONG t1 = Ticks();
        IDeskBand* pBand = nullptr;
        const HRESULT hr = dll != nullptr ? CreateBand(dll, &pBand) : E_FAIL;
        if (FAILED(hr)) {
            throw Failure{"cold start made no band"};
        }
        const LONGLONG t2 = Ticks();
        HWND hwnd = HostBand(pBand, pSite);
        const LONGLONG t3 = Ticks();
        UpdateWindow(hwnd);
        const LONGLONG t4 = Ticks();
        start.Add(t4 - t0);
        load.Add(t1 - t0);
        create.Add(t2 - t1);
        host.Add(t3 - t2);
        firstPaint.Add(t4 - t3);
        DrainMessages();

        const LONGLONG t5 = Ticks();
        pBand->CloseDW(0);
        const LONGLONG t6 = Ticks();
        const ULONG cLeft = pBand->Release();
        const LONGLONG t7 = Ticks();
        down.Add(t7 - t5);
        close.Add(t6 - t5);
        release.Add(t7 - t6);
        pSite->Release();
        DrainMessages();
        if (cLeft != 0 || !CanUnload(dll)) {
            throw Failure{"the DLL cannot unload after the band's last Release"};
        }
        FreeLibrary(dll);

        // The floor: map the same DLL, make one child window, load the
        // picture and paint it once; then destroy the window.
        const LONGLONG f0 = Ticks();
        HMODULE floorDll = LoadLibraryW(dllPath.c_str());
        HWND child = CreatePlainChild(hostWindow, 0, rcBand);
        FloorPicture picture;
        picture.Load(floorDll, kNormalPicture);
        HDC hdc = GetDC(child);
        FloorPainter(picture.Get(), rcBand).Paint(hdc);
        ReleaseDC(child, hdc);
        const LONGLONG f1 = Ticks();
        startFloor.Add(f1 - f0);
        DrainMessages();
        const LONGLONG f2 = Ticks();
        DestroyWindow(child);
        const LONGLONG f3 = Ticks();
        downFloor.Add(f3 - f2);
        FreeLibrary(floorDll);
    }
    figures.push_back(MakeFigure(
        "cold_start",
        "LoadLibrary, DllGetClassObject, CreateInstance, SetSite, GetBandInfo, ShowDW, placing "
        "the window, first WM_PAINT",
        start,
        "LoadLibrary of the same DLL, one child window, LoadBitmapW 109 into a memory DC, one "
        "floor paint",
        startFloor));
    figures.push_back(MakeFigure("teardown", "CloseDW and the last Release", down,
                                 "DestroyWindow of one child window", downFloor));
    parts.push_back(Part{"cold_load_library", "cold start: LoadLibrary", load.Summarise()});
    parts.push_back(
        Part{"cold_create", "cold start: DllGetClassObject + CreateInstance", create.Summarise()});
    parts.push_back(
        Part{"cold_host", "cold start: SetSite, GetBandInfo, ShowDW, placing", host.Summarise()});
    parts.push_back(Part{"cold_first_paint", "cold start: the first WM_PAINT (UpdateWindow)",
                         firstPaint.Summarise()});
    parts.push_back(Part{"teardown_close", "teardown: CloseDW", close.Summarise()});
    parts.push_back(Part{"teardown_release", "teardown: the last Release", release.Summarise()});
}

} // namespace

int main() {
    Options opt;
    if (!ParseOptions(opt)) {
        std::fprintf(stderr,
                     "usage: band_bench [--quick] [--json FILE] [--cpu TEXT] [--load TEXT]\n");
        return 1;
    }
    const Repetitions& reps = opt.quick ? kQuickRun : kFullRun;

    RunInfo run;
    run.date = UtcNow();
    run.wine = WineVersion();
    run.cpu = opt.cpu;
    run.load = opt.load;
    SYSTEM_INFO si = {};
    GetSystemInfo(&si);
    run.processors = static_cast<int>(si.dwNumberOfProcessors);
    run.timerFrequency = TicksPerSecond();
    run.quick = opt.quick;
    run.dllPath = Narrow(BandDllPath());

    // What the shell has done before any band arrives: a single-threaded
    // apartment and the common controls (the band's tooltip needs them).
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterPlainClass();
    // The pointer stays away from the taskbar, so that only the messages
    // sent here hover the band.
    SetCursorPos(0, 0);

    std::vector<Figure> figures;
    std::vector<Part> parts;
    int rc = 0;
    {
        shell::HostWindow host(kTaskbar, true);
        try {
            RECT rcBand = {};
            MeasureRunningBand(reps, host.Get(), figures, parts, rcBand);
            MeasureColdStart(reps, host.Get(), rcBand, figures, parts);
        } catch (const Failure& failure) {
            std::fprintf(stderr, "band_bench: %s\n", failure.what.c_str());
            rc = 2;
        }
    }
    if (rc != 0) {
        CoUninitialize();
        return rc;
    }

    const PeFile dll = ReadPeFile(BandDllPath());
    PrintReport(run, figures, parts, dll);
    if (!WriteJson(opt.json, run, figures, parts, dll)) {
        std::fprintf(stderr, "band_bench: cannot write %s\n", Narrow(opt.json).c_str());
        rc = 1;
    } else {
        std::printf("\nwritten: %s\n", Narrow(opt.json).c_str());
    }
    CoUninitialize();
    return rc;
}
