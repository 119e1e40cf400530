// A paint of one window, begun and ended within one handler.
#pragma once

#include <windows.h>

class PaintDC {
  public:
    // A null window begins no paint.
    explicit PaintDC(HWND hwnd) : m_hwnd(hwnd), m_hdc(nullptr) {
        if (m_hwnd != nullptr) {
            m_hdc = BeginPaint(m_hwnd, &m_ps);
        }
    }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    // EndPaint also when BeginPaint gave no DC, so the window is validated.
    ~PaintDC() {
        if (m_hwnd != nullptr) {
            EndPaint(m_hwnd, &m_ps);
        }
    }
    HDC Get() const { return m_hdc; }

  private:
    HWND m_hwnd;
    HDC m_hdc;
    PAINTSTRUCT m_ps = {};
};
