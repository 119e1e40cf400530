// bandhost: a small taskbar for the band, standing in for the Windows shell.
//
// It opens a taskbar-like window along one screen edge, serves the band site
// service (CLSID_TrayBandSiteService) to bands in its own process and, unless
// it plays an older taskbar (--older), the desk band service
// (CLSID_TrayDeskBand) to other processes. Every call it receives is reported
// on stdout (and in the --log file), one line each.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "bandhost/command.h"
#include "bandhost/desk_band_service.h"
#include "bandhost/host_log.h"
#include "bandhost/logged_band_site.h"
#include "server/guids.h"
#include "shell/band_site.h"
#include "shell/host_window.h"
#include "shell/snapshot.h"

namespace {

using namespace bandhost;

constexpr wchar_t kUsage[] =
    L"usage: bandhost [--bottom|--top|--left|--right] [--thickness PX] [--band-offset PX] "
    L"[--older]\n"
    L"                [--log FILE] [--exit-after SECONDS] [--dll PATH] [--show] [--hidden]\n"
    L"  --older       an older taskbar: no desk band service; show requests are served\n"
    L"                in this process (--show, or the \"show\" and \"load\" commands)\n"
    L"  --show        call the band's ShowBand in this process once the taskbar is up\n"
    L"  --dll PATH    the band module for --show (default: VantrelDeskBand.dll beside bandhost)\n"
    L"Ends on WM_CLOSE to its window, the \"exit\" command or after --exit-after seconds.\n";

constexpr wchar_t kProxyDll[] = L"VantrelTrayPS.dll";
constexpr wchar_t kBandDll[] = L"VantrelDeskBand.dll";
constexpr UINT_PTR kExitTimer = 1;

enum class Edge { Bottom, Top, Left, Right };

struct Options {
    Edge edge = Edge::Bottom;
    int thickness = 40;
    int bandOffset = 0; // where along the taskbar the first band starts
    bool older = false;
    bool show = false;
    bool visible = true;
    std::wstring logPath;
    std::wstring dllPath;
    unsigned exitAfterSeconds = 0;
};

struct Host {
    Options options;
    HWND hwnd = nullptr;
    WNDPROC defaultProc = nullptr;
    LoggedBandSite* pBandSite = nullptr;
};
Host g_host;

std::wstring BesideExecutable(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + fileName;
}

bool ParseUnsigned(const wchar_t* text, unsigned max, unsigned* value) {
    if (text == nullptr || *text == L'\0') {
        return false;
    }
    unsigned long n = 0;
    for (const wchar_t* p = text; *p != L'\0'; ++p) {
        if (*p < L'0' || *p > L'9') {
            return false;
        }
        n = n * 10 + static_cast<unsigned long>(*p - L'0');
        if (n > max) {
            return false;
        }
    }
    *value = static_cast<unsigned>(n);
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options* options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const wchar_t* next = i + 1 < argc ? argv[i + 1] : nullptr;
        unsigned n = 0;
        if (arg == L"--bottom") {
            options->edge = Edge::Bottom;
        } else if (arg == L"--top") {
            options->edge = Edge::Top;
        } else if (arg == L"--left") {
            options->edge = Edge::Left;
        } else if (arg == L"--right") {
            options->edge = Edge::Right;
        } else if (arg == L"--older") {
            options->older = true;
        } else if (arg == L"--show") {
            options->show = true;
        } else if (arg == L"--hidden") {
            options->visible = false;
        } else if (arg == L"--thickness" && ParseUnsigned(next, 1000, &n) && n >= 8) {
            options->thickness = static_cast<int>(n);
            ++i;
        } else if (arg == L"--band-offset" && ParseUnsigned(next, 10000, &n)) {
            options->bandOffset = static_cast<int>(n);
            ++i;
        } else if (arg == L"--exit-after" && ParseUnsigned(next, 86400, &n)) {
            options->exitAfterSeconds = n;
            ++i;
        } else if (arg == L"--log" && next != nullptr) {
            options->logPath = next;
            ++i;
        } else if (arg == L"--dll" && next != nullptr) {
            options->dllPath = next;
            ++i;
        } else {
            fwprintf(stderr, L"bandhost: bad argument \"%ls\"\n%ls", arg.c_str(), kUsage);
            return false;
        }
    }
    return true;
}

RECT TaskbarRect(Edge edge, int thickness) {
    const int cx = GetSystemMetrics(SM_CXSCREEN);
    const int cy = GetSystemMetrics(SM_CYSCREEN);
    switch (edge) {
    case Edge::Top:
        return {0, 0, cx, thickness};
    case Edge::Left:
        return {0, 0, thickness, cy};
    case Edge::Right:
        return {cx - thickness, 0, cx, cy};
    case Edge::Bottom:
    default:
        return {0, cy - thickness, cx, cy};
    }
}

const char* EdgeName(Edge edge) {
    switch (edge) {
    case Edge::Top:
        return "top";
    case Edge::Left:
        return "left";
    case Edge::Right:
        return "right";
    default:
        return "bottom";
    }
}

bool ShowRequestPending() {
    wchar_t clsid[kGuidStringChars] = {};
    StringFromGUID2(CLSID_VantrelDeskBand, clsid, kGuidStringChars);
    return GlobalFindAtomW(clsid) != 0;
}

// The proxy/stub that lets other processes call ITrayDeskBand; registering it
// again is harmless.
HRESULT RegisterTrayProxy() {
    HMODULE module = LoadLibraryW(BesideExecutable(kProxyDll).c_str());
    if (module == nullptr) {
        return HRESULT_FROM_WIN32(GetLastError());
    }
    using RegisterFn = HRESULT(STDAPICALLTYPE*)();
    const auto registerServer = reinterpret_cast<RegisterFn>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    const HRESULT hr = registerServer != nullptr ? registerServer() : E_NOINTERFACE;
    FreeLibrary(module);
    return hr;
}

// The band module's ShowBand, called on this thread as any program would.
HRESULT CallShowBand() {
    const std::wstring path =
        g_host.options.dllPath.empty() ? BesideExecutable(kBandDll) : g_host.options.dllPath;
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        Log("ShowBand hr=%s module-missing=1", Hex(hr).c_str());
        return hr;
    }
    using ShowBandFn = HRESULT(STDAPICALLTYPE*)();
    const auto showBand =
        reinterpret_cast<ShowBandFn>(reinterpret_cast<void*>(GetProcAddress(module, "ShowBand")));
    HRESULT hr = E_NOINTERFACE;
    if (showBand != nullptr) {
        hr = showBand();
    }
    // The module stays loaded: a band it created may be hosted now.
    Log("ShowBand hr=%s request-pending=%d bands=%u", Hex(hr).c_str(), ShowRequestPending() ? 1 : 0,
        static_cast<unsigned>(g_host.pBandSite->Inner().Bands().size()));
    return hr;
}

// What a shell does after SHLoadInProc: create the class and let it go.
HRESULT LoadBandClass() {
    IUnknown* punk = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_VantrelDeskBand, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_IUnknown, reinterpret_cast<void**>(&punk));
    if (SUCCEEDED(hr)) {
        punk->Release();
    }
    Log("load hr=%s request-pending=%d bands=%u", Hex(hr).c_str(), ShowRequestPending() ? 1 : 0,
        static_cast<unsigned>(g_host.pBandSite->Inner().Bands().size()));
    return hr;
}

HRESULT QueryBands() {
    for (const shell::HostedBand& hosted : g_host.pBandSite->Inner().Bands()) {
        IUnknown* punk = nullptr;
        const HRESULT hr =
            hosted.pBand->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&punk));
        if (SUCCEEDED(hr)) {
            punk->Release();
        }
        Log("query id=%lu hr=%s", static_cast<unsigned long>(hosted.dwBandID), Hex(hr).c_str());
    }
    Log("query-done bands=%u", static_cast<unsigned>(g_host.pBandSite->Inner().Bands().size()));
    return S_OK;
}

HRESULT Snapshot(const std::wstring& path) {
    const auto& bands = g_host.pBandSite->Inner().Bands();
    if (bands.empty()) {
        Log("snapshot hr=%s bands=0", Hex(E_FAIL).c_str());
        return E_FAIL;
    }
    const shell::Picture picture = shell::PrintClient(bands.front().hwnd);
    const HRESULT hr = picture.width > 0 && shell::WriteBmp(path, picture) ? S_OK : E_FAIL;
    Log("snapshot id=%lu hr=%s size=%dx%d", static_cast<unsigned long>(bands.front().dwBandID),
        Hex(hr).c_str(), picture.width, picture.height);
    return hr;
}

HRESULT RunCommand(const std::wstring& command) {
    if (command == L"show") {
        return CallShowBand();
    }
    if (command == L"load") {
        return LoadBandClass();
    }
    if (command == L"query") {
        return QueryBands();
    }
    if (command.compare(0, 9, L"snapshot ") == 0 && command.size() > 9) {
        return Snapshot(command.substr(9));
    }
    if (command == L"exit") {
        PostMessageW(g_host.hwnd, WM_CLOSE, 0, 0);
        return S_OK;
    }
    Log("command-unknown");
    return E_INVALIDARG;
}

LRESULT CALLBACK HostProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    switch (uMsg) {
    case WM_COPYDATA: {
        const COPYDATASTRUCT* pcds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (pcds == nullptr || pcds->dwData != kBandHostCommand || pcds->cbData % 2 != 0 ||
            pcds->cbData > 4096) {
            return E_INVALIDARG;
        }
        const std::wstring command(static_cast<const wchar_t*>(pcds->lpData), pcds->cbData / 2);
        return RunCommand(command);
    }
    case WM_SIZE:
        if (g_host.pBandSite != nullptr) {
            g_host.pBandSite->Inner().Layout();
        }
        break;
    case WM_TIMER:
        if (wParam == kExitTimer) {
            KillTimer(hwnd, kExitTimer);
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
            return 0;
        }
        break;
    case WM_CLOSE:
        // A taskbar that goes away closes and releases its bands first.
        Log("closing bands=%u", static_cast<unsigned>(g_host.pBandSite->Inner().Bands().size()));
        g_host.pBandSite->RemoveAll();
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        break;
    default:
        break;
    }
    return CallWindowProcW(g_host.defaultProc, hwnd, uMsg, wParam, lParam);
}

int Run(int argc, wchar_t** argv) {
    if (!ParseOptions(argc, argv, &g_host.options)) {
        return 2;
    }
    const Options& options = g_host.options;
    if (!options.logPath.empty() && !OpenLogFile(options.logPath)) {
        fwprintf(stderr, L"bandhost: cannot create the log file \"%ls\"\n",
                 options.logPath.c_str());
        return 3;
    }
    // The taskbar's thread is a single-threaded apartment that pumps messages;
    // calls from other processes arrive through that pump.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) {
        Log("failed step=CoInitializeEx hr=%s", Hex(hr).c_str());
        return 4;
    }
    // Bands create tooltips: a host registers the common controls' classes.
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);

    int exitCode = 0;
    {
        shell::HostWindow window(TaskbarRect(options.edge, options.thickness), options.visible,
                                 L"Vantrel band host");
        g_host.hwnd = window.Get();
        if (g_host.hwnd == nullptr) {
            Log("failed step=CreateWindow error=%lu", GetLastError());
            CoUninitialize();
            return 4;
        }
        g_host.defaultProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(g_host.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostProc)));

        shell::BandSite* pInner = new shell::BandSite(g_host.hwnd);
        pInner->SetLayoutStart(options.bandOffset);
        g_host.pBandSite = new LoggedBandSite(pInner);
        pInner->Release();

        // Bands reach the band site from this process only: the band site is
        // no service for other processes (it has no proxy, and a band created
        // elsewhere could not live in this window).
        shell::ClassObjectRegistration bandSiteService(
            CLSID_TrayBandSiteService, static_cast<IClassFactory*>(g_host.pBandSite),
            CLSCTX_INPROC_SERVER);
        Log("service name=TrayBandSiteService hr=%s", Hex(bandSiteService.Result()).c_str());

        DeskBandService* pDeskBandService = nullptr;
        shell::ClassObjectRegistration* pDeskBandRegistration = nullptr;
        if (!options.older) {
            Log("proxy-registered hr=%s", Hex(RegisterTrayProxy()).c_str());
            pDeskBandService = new DeskBandService(g_host.pBandSite);
            pDeskBandRegistration = new shell::ClassObjectRegistration(
                CLSID_TrayDeskBand, static_cast<IClassFactory*>(pDeskBandService),
                CLSCTX_LOCAL_SERVER);
            Log("service name=TrayDeskBand hr=%s", Hex(pDeskBandRegistration->Result()).c_str());
        }

        if (options.exitAfterSeconds != 0) {
            SetTimer(g_host.hwnd, kExitTimer, options.exitAfterSeconds * 1000, nullptr);
        }
        Log("ready pid=%lu hwnd=%s mode=%s edge=%s thickness=%d", GetCurrentProcessId(),
            Hex(g_host.hwnd).c_str(), options.older ? "older" : "service", EdgeName(options.edge),
            options.thickness);
        if (options.show) {
            CallShowBand();
        }

        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        exitCode = static_cast<int>(msg.wParam);

        delete pDeskBandRegistration;
        if (pDeskBandService != nullptr) {
            pDeskBandService->Release();
        }
        // Bands still hosted (the window went away without WM_CLOSE) go now.
        g_host.pBandSite->RemoveAll();
        g_host.pBandSite->Release();
        g_host.pBandSite = nullptr;
    }
    Log("exit code=%d", exitCode);
    CoUninitialize();
    CloseLogFile();
    return exitCode;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    return Run(argc, argv);
}
