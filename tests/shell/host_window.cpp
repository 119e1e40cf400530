#include "shell/host_window.h"

namespace shell {
namespace {

constexpr wchar_t kHostClass[] = L"VantrelTestTaskbarHost";

void EnsureHostClass() {
    static bool registered = false;
    if (registered) {
        return;
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    // A dark taskbar colour, so that painted bands stand out on screenshots.
    wc.hbrBackground = CreateSolidBrush(RGB(32, 40, 52));
    wc.lpszClassName = kHostClass;
    registered = RegisterClassW(&wc) != 0;
}

} // namespace

HostWindow::HostWindow(const RECT& rc, bool fVisible, const wchar_t* title) {
    EnsureHostClass();
    m_hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kHostClass, title,
                             WS_POPUP | WS_CLIPCHILDREN | (fVisible ? WS_VISIBLE : 0), rc.left,
                             rc.top, rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
}

HostWindow::~HostWindow() {
    if (IsWindow(m_hwnd)) {
        DestroyWindow(m_hwnd);
    }
}

void HostWindow::Move(const RECT& rc) {
    SetWindowPos(m_hwnd, nullptr, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace shell
