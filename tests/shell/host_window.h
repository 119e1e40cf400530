// The window a taskbar would host bands in: a plain top-level window whose
// client area the bands' windows are laid out in.
#pragma once

#include <windows.h>

namespace shell {

class HostWindow {
  public:
    // A window of the given outer rectangle, visible or not.
    HostWindow(const RECT& rc, bool fVisible = false, const wchar_t* title = L"Test taskbar");
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND Get() const { return m_hwnd; }

    // Changes the outer rectangle (and so the client area bands see).
    void Move(const RECT& rc);

  private:
    HWND m_hwnd;
};

} // namespace shell
