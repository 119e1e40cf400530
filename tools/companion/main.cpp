// Stand-in for AppVantrelHelp.exe, the program a click on the band starts.
//
// Every start appends one line to a log, so that tests in another process can
// see exactly how the band started it:
//     exe=<this program's full path>\targs=<command line after the program>\tcmdline=<raw>
// The log is the file named by VANTREL_COMPANION_LOG, or AppVantrelHelp.log
// beside the program when that variable is not set. Lines are UTF-8.
//
// With VANTREL_COMPANION_SHOW=1 it also opens a small window at the anchor
// point of "/DISPLAYUI x y corner", showing the command line, and stays until
// that window is closed; otherwise it exits at once.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kLogVariable[] = L"VANTREL_COMPANION_LOG";
constexpr wchar_t kShowVariable[] = L"VANTREL_COMPANION_SHOW";
constexpr wchar_t kDefaultLogName[] = L"AppVantrelHelp.log";
constexpr wchar_t kWindowClass[] = L"VantrelCompanionStandIn";

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    const DWORD cch = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(cch);
    return path;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t value[32768] = {};
    const DWORD cch = GetEnvironmentVariableW(name, value, 32768);
    return (cch > 0 && cch < 32768) ? std::wstring(value, cch) : std::wstring();
}

// What follows the program's own name on the command line, by the rules
// Windows programs parse their first argument with.
const wchar_t* SkipProgramName(const wchar_t* p) {
    if (*p == L'"') {
        ++p;
        while (*p != L'\0' && *p != L'"') {
            ++p;
        }
        if (*p == L'"') {
            ++p;
        }
    } else {
        while (*p != L'\0' && *p != L' ' && *p != L'\t') {
            ++p;
        }
    }
    while (*p == L' ' || *p == L'\t') {
        ++p;
    }
    return p;
}

std::string Utf8(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    const int cb = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(cb), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], cb,
                        nullptr, nullptr);
    return out;
}

// Appends the whole line with one write. Several copies may start at once,
// so a file that another copy holds open is retried for a while.
bool AppendLine(const std::wstring& logPath, const std::string& line) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            const BOOL ok =
                WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            return ok && written == line.size();
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION) {
            return false;
        }
        Sleep(25);
    }
    return false;
}

struct Request {
    bool valid = false;
    int x = 0;
    int y = 0;
    int corner = 0;
};

Request ParseRequest(const wchar_t* args) {
    Request request;
    request.valid =
        swscanf(args, L"/DISPLAYUI %d %d %d", &request.x, &request.y, &request.corner) == 3;
    return request;
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC hdc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        InflateRect(&rc, -8, -8);
        wchar_t text[1024] = {};
        GetWindowTextW(hwnd, text, 1024);
        DrawTextW(hdc, text, -1, &rc, DT_WORDBREAK | DT_NOPREFIX);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
}

// A window that opens away from the anchor, into the quadrant's inside: the
// corner code names the quadrant of the click (0 top-left, 1 top-right,
// 2 bottom-right, 3 bottom-left), so the window grows towards the middle.
int ShowWindowAtAnchor(HINSTANCE hInstance, const Request& request, const std::wstring& cmdline) {
    constexpr int kWidth = 360;
    constexpr int kHeight = 120;
    int left = request.x;
    int top = request.y;
    if (request.valid) {
        if (request.corner == 1 || request.corner == 2) {
            left -= kWidth;
        }
        if (request.corner == 2 || request.corner == 3) {
            top -= kHeight;
        }
    } else {
        left = CW_USEDEFAULT;
        top = CW_USEDEFAULT;
    }

    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kWindowClass, cmdline.c_str(),
                                WS_POPUP | WS_BORDER | WS_VISIBLE, left, top, kWidth, kHeight,
                                nullptr, nullptr, hInstance, nullptr);
    if (hwnd == nullptr) {
        return 1;
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    const wchar_t* raw = GetCommandLineW();
    const wchar_t* args = SkipProgramName(raw);
    const std::wstring exe = ModulePath();

    std::wstring logPath = Environment(kLogVariable);
    if (logPath.empty()) {
        logPath = exe.substr(0, exe.find_last_of(L"\\/") + 1) + kDefaultLogName;
    }
    const std::wstring line = L"exe=" + exe + L"\targs=" + args + L"\tcmdline=" + raw + L"\n";
    const bool recorded = AppendLine(logPath, Utf8(line));

    if (Environment(kShowVariable) == L"1") {
        return ShowWindowAtAnchor(hInstance, ParseRequest(args), raw);
    }
    return recorded ? 0 : 1;
}
