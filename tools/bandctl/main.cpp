// bandctl: shows, hides and restyles the band from the command line, and
// registers or unregisters its module, the way an installer or a support
// script would.
//
// Exit codes: 0 done; 1 the operation failed; 2 usage (unknown command,
// missing or extra argument); 3 bad style value; 4 module missing or not
// loadable; 5 not the band's module; 6 no band window to send to.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "server/format.h"
#include "server/guids.h"
#include "server/names.h"

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitFailed = 1,
    kExitUsage = 2,
    kExitBadStyle = 3,
    kExitModuleMissing = 4,
    kExitForeignModule = 5,
    kExitNoBandWindow = 6,
};

constexpr wchar_t kUsage[] =
    L"usage: bandctl [--dll PATH] COMMAND\n"
    L"  register      register the band module (its DllRegisterServer)\n"
    L"  unregister    unregister it (its DllUnregisterServer)\n"
    L"  show          have the taskbar show the band (the module's ShowBand)\n"
    L"  hide          ask every band window to remove its band from the taskbar\n"
    L"  style N       switch every band window to icon style N (1 to 8)\n"
    L"  status        registered?, shown?, band windows found\n"
    L"  --dll PATH    the band module (default: VantrelDeskBand.dll beside bandctl)\n";

constexpr int kFirstStyle = 1;
constexpr int kLastStyle = 8;
constexpr UINT kSendTimeoutMs = 5000;

using ExportFn = HRESULT(STDAPICALLTYPE*)();

// The band module, loaded and checked to be ours: it carries every export
// the band's module has.
class BandModule {
  public:
    int Load(const std::wstring& path) {
        // A missing file must not bring up a dialog box.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        m_module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        const DWORD error = GetLastError();
        SetErrorMode(oldMode);
        if (m_module == nullptr) {
            fwprintf(stderr, L"bandctl: cannot load the band module \"%ls\" (error %lu)\n",
                     path.c_str(), error);
            return kExitModuleMissing;
        }
        static const char* const kExports[] = {"DllCanUnloadNow", "DllGetClassObject",
                                               "DllRegisterServer", "DllUnregisterServer",
                                               "ShowBand"};
        for (const char* name : kExports) {
            if (GetProcAddress(m_module, name) == nullptr) {
                fwprintf(stderr, L"bandctl: \"%ls\" is not the band module (no %hs export)\n",
                         path.c_str(), name);
                FreeLibrary(m_module);
                m_module = nullptr;
                return kExitForeignModule;
            }
        }
        return kExitOk;
    }
    ExportFn Export(const char* name) const {
        return reinterpret_cast<ExportFn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }

  private:
    // Never freed: ShowBand may leave objects of the module alive in this
    // process until it ends.
    HMODULE m_module = nullptr;
};

std::wstring DefaultModulePath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"VantrelDeskBand.dll";
}

// Style numbers: decimal digits only, 1 to 8. Anything else ("", "-1",
// "12abc", " 5") is refused rather than read as far as it goes.
bool ParseStyle(const std::wstring& text, int* style) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    int n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        n = n * 10 + (c - L'0');
    }
    if (n < kFirstStyle || n > kLastStyle) {
        return false;
    }
    *style = n;
    return true;
}

// Every window of the band's class on this desktop: top-level windows and
// all their descendants (the band window is a child of the taskbar).
BOOL CALLBACK CollectIfBand(HWND hwnd, LPARAM lParam) {
    wchar_t className[64] = {};
    if (GetClassNameW(hwnd, className, 64) > 0 && wcscmp(className, names::kWindowClass) == 0) {
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hwnd);
    }
    return TRUE;
}
BOOL CALLBACK CollectInTopLevel(HWND hwnd, LPARAM lParam) {
    CollectIfBand(hwnd, lParam);
    EnumChildWindows(hwnd, CollectIfBand, lParam);
    return TRUE;
}
std::vector<HWND> FindBandWindows() {
    std::vector<HWND> windows;
    EnumWindows(CollectInTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

int SendToBandWindows(const wchar_t* messageName, WPARAM wParam, const wchar_t* what) {
    const std::vector<HWND> windows = FindBandWindows();
    if (windows.empty()) {
        fwprintf(stderr, L"bandctl: no band window (class %ls) found; is the band shown?\n",
                 names::kWindowClass);
        return kExitNoBandWindow;
    }
    const UINT message = RegisterWindowMessageW(messageName);
    if (message == 0) {
        fwprintf(stderr, L"bandctl: cannot register the message \"%ls\" (error %lu)\n", messageName,
                 GetLastError());
        return kExitFailed;
    }
    int exitCode = kExitOk;
    for (HWND hwnd : windows) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        DWORD_PTR reply = 0;
        if (SendMessageTimeoutW(hwnd, message, wParam, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                &reply) != 0) {
            wprintf(L"%ls: band window 0x%llX (process %lu) replied %llu\n", what,
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)), pid,
                    static_cast<unsigned long long>(reply));
        } else {
            fwprintf(stderr,
                     L"bandctl: band window 0x%llX (process %lu) did not answer (error %lu)\n",
                     static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)), pid,
                     GetLastError());
            exitCode = kExitFailed;
        }
    }
    return exitCode;
}

int Register(const std::wstring& dllPath, bool fRegister) {
    BandModule module;
    const int loaded = module.Load(dllPath);
    if (loaded != kExitOk) {
        return loaded;
    }
    // Registration uses the component category manager.
    const HRESULT hrInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const char* name = fRegister ? "DllRegisterServer" : "DllUnregisterServer";
    const HRESULT hr = module.Export(name)();
    if (SUCCEEDED(hrInit)) {
        CoUninitialize();
    }
    if (FAILED(hr)) {
        fwprintf(stderr, L"bandctl: %hs failed: 0x%08lX\n", name, static_cast<unsigned long>(hr));
        return kExitFailed;
    }
    wprintf(L"%ls: %hs returned 0x%08lX\n", fRegister ? L"register" : L"unregister", name,
            static_cast<unsigned long>(hr));
    return kExitOk;
}

int Show(const std::wstring& dllPath) {
    BandModule module;
    const int loaded = module.Load(dllPath);
    if (loaded != kExitOk) {
        return loaded;
    }
    // ShowBand initialises COM on this thread itself.
    const HRESULT hr = module.Export("ShowBand")();
    if (FAILED(hr)) {
        fwprintf(stderr, L"bandctl: ShowBand failed: 0x%08lX\n", static_cast<unsigned long>(hr));
        return kExitFailed;
    }
    wprintf(L"show: ShowBand returned 0x%08lX\n", static_cast<unsigned long>(hr));
    return kExitOk;
}

// A tooltip shown for a band: a visible popup of the common-controls tooltip
// class owned by the taskbar that holds a band window. Its text comes back
// through WM_GETTEXT, which the system carries across processes.
struct TooltipSearch {
    std::vector<HWND> owners;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectIfBandTooltip(HWND hwnd, LPARAM lParam) {
    TooltipSearch* search = reinterpret_cast<TooltipSearch*>(lParam);
    wchar_t className[64] = {};
    if (!IsWindowVisible(hwnd) || GetClassNameW(hwnd, className, 64) == 0 ||
        wcscmp(className, TOOLTIPS_CLASSW) != 0) {
        return TRUE;
    }
    const HWND owner = GetWindow(hwnd, GW_OWNER);
    for (HWND candidate : search->owners) {
        if (owner == candidate) {
            search->found.push_back(hwnd);
            break;
        }
    }
    return TRUE;
}

void PrintVisibleTooltips(const std::vector<HWND>& bandWindows) {
    TooltipSearch search;
    for (HWND hwnd : bandWindows) {
        search.owners.push_back(hwnd);
        search.owners.push_back(GetAncestor(hwnd, GA_ROOT));
    }
    EnumWindows(CollectIfBandTooltip, reinterpret_cast<LPARAM>(&search));
    for (HWND tip : search.found) {
        wchar_t text[names::kSettingTextChars] = {};
        DWORD_PTR cch = 0;
        SendMessageTimeoutW(tip, WM_GETTEXT, names::kSettingTextChars,
                            reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &cch);
        RECT rc = {};
        GetWindowRect(tip, &rc);
        wprintf(L"tooltip: visible at (%ld, %ld)-(%ld, %ld) text \"%ls\"\n", rc.left, rc.top,
                rc.right, rc.bottom, text);
    }
}

std::wstring RegisteredModule() {
    wchar_t clsid[kGuidStringChars] = {};
    StringFromGUID2(CLSID_VantrelDeskBand, clsid, kGuidStringChars);
    wchar_t keyPath[kGuidStringChars] = {};
    if (FAILED(FormatToBuffer(keyPath, kGuidStringChars, names::kInprocServerKeyFormat, clsid))) {
        return std::wstring();
    }
    wchar_t value[MAX_PATH + 1] = {};
    DWORD cb = MAX_PATH * sizeof(wchar_t);
    if (RegGetValueW(HKEY_CLASSES_ROOT, keyPath, nullptr, RRF_RT_REG_SZ, nullptr, value, &cb) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    return value;
}

int Status() {
    const std::wstring registered = RegisteredModule();
    if (registered.empty()) {
        wprintf(L"registered: no\n");
    } else {
        wprintf(L"registered: yes (%ls)\n", registered.c_str());
    }

    const HRESULT hrInit = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ITrayDeskBand* pTray = nullptr;
    const HRESULT hr = CoCreateInstance(CLSID_TrayDeskBand, nullptr, CLSCTX_SERVER,
                                        IID_ITrayDeskBand, reinterpret_cast<void**>(&pTray));
    if (SUCCEEDED(hr)) {
        const HRESULT hrShown = pTray->IsDeskBandShown(CLSID_VantrelDeskBand);
        pTray->Release();
        wprintf(L"desk band service: yes\n");
        if (hrShown == S_OK) {
            wprintf(L"shown: yes\n");
        } else if (hrShown == S_FALSE) {
            wprintf(L"shown: no\n");
        } else {
            wprintf(L"shown: unknown (IsDeskBandShown failed: 0x%08lX)\n",
                    static_cast<unsigned long>(hrShown));
        }
    } else {
        wprintf(L"desk band service: no (0x%08lX)\n", static_cast<unsigned long>(hr));
    }
    if (SUCCEEDED(hrInit)) {
        CoUninitialize();
    }

    const std::vector<HWND> windows = FindBandWindows();
    wprintf(L"band windows: %u\n", static_cast<unsigned>(windows.size()));
    for (HWND hwnd : windows) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        // Screen rectangles of the band and of the taskbar holding it: where a
        // person would point, and what the companion's anchor is measured from.
        RECT rcBand = {};
        RECT rcParent = {};
        GetWindowRect(hwnd, &rcBand);
        GetWindowRect(GetParent(hwnd), &rcParent);
        wprintf(L"  0x%llX (process %lu) at (%ld, %ld)-(%ld, %ld) in (%ld, %ld)-(%ld, %ld)\n",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)), pid,
                rcBand.left, rcBand.top, rcBand.right, rcBand.bottom, rcParent.left, rcParent.top,
                rcParent.right, rcParent.bottom);
    }
    PrintVisibleTooltips(windows);
    return kExitOk;
}

int Usage(const wchar_t* problem) {
    fwprintf(stderr, L"bandctl: %ls\n%ls", problem, kUsage);
    return kExitUsage;
}

int Run(int argc, wchar_t** argv) {
    std::wstring dllPath = DefaultModulePath();
    std::vector<std::wstring> words;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--dll") {
            if (i + 1 >= argc) {
                return Usage(L"--dll needs a path");
            }
            dllPath = argv[++i];
        } else if (arg == L"--help" || arg == L"-h" || arg == L"help") {
            wprintf(L"%ls", kUsage);
            return kExitOk;
        } else {
            words.push_back(arg);
        }
    }
    if (words.empty()) {
        return Usage(L"no command given");
    }
    const std::wstring& command = words[0];
    const size_t argCount = words.size() - 1;
    if (command == L"style") {
        if (argCount != 1) {
            return Usage(L"style needs exactly one number, 1 to 8");
        }
        int style = 0;
        if (!ParseStyle(words[1], &style)) {
            fwprintf(stderr, L"bandctl: bad style \"%ls\": give a number from %d to %d\n",
                     words[1].c_str(), kFirstStyle, kLastStyle);
            return kExitBadStyle;
        }
        return SendToBandWindows(names::kChangeIconMessage, static_cast<WPARAM>(style), L"style");
    }
    if (command != L"register" && command != L"unregister" && command != L"show" &&
        command != L"hide" && command != L"status") {
        fwprintf(stderr, L"bandctl: unknown command \"%ls\"\n%ls", command.c_str(), kUsage);
        return kExitUsage;
    }
    if (argCount != 0) {
        return Usage((L"\"" + command + L"\" takes no argument").c_str());
    }
    if (command == L"register") {
        return Register(dllPath, true);
    }
    if (command == L"unregister") {
        return Register(dllPath, false);
    }
    if (command == L"show") {
        return Show(dllPath);
    }
    if (command == L"hide") {
        return SendToBandWindows(names::kHideBandMessage, 0, L"hide");
    }
    return Status();
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const int exitCode = Run(argc, argv);
    fflush(stdout);
    fflush(stderr);
    return exitCode;
}
