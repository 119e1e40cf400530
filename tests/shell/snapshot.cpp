#include "shell/snapshot.h"

#include <cstring>

namespace shell {

Picture PrintClient(HWND hwnd) {
    Picture picture;
    RECT rc = {};
    if (!GetClientRect(hwnd, &rc) || rc.right <= 0 || rc.bottom <= 0) {
        return picture;
    }
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = rc.right;
    bmi.bmiHeader.biHeight = -rc.bottom; // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP hbm = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (hbm == nullptr) {
        return picture;
    }
    HDC hdc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(hdc, hbm);
    std::memset(bits, 0, static_cast<size_t>(rc.right) * rc.bottom * 4);
    SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(hdc), PRF_CLIENT);
    GdiFlush();
    picture.width = rc.right;
    picture.height = rc.bottom;
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(p, p + static_cast<size_t>(rc.right) * rc.bottom);
    SelectObject(hdc, old);
    DeleteDC(hdc);
    DeleteObject(hbm);
    return picture;
}

bool WriteBmp(const std::wstring& path, const Picture& picture) {
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    const DWORD cbPixels = static_cast<DWORD>(picture.pixels.size() * 4);
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = file.bfOffBits + cbPixels;
    info.biSize = sizeof(info);
    info.biWidth = picture.width;
    info.biHeight = -picture.height;
    info.biPlanes = 1;
    info.biBitCount = 32;
    info.biCompression = BI_RGB;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    bool ok = WriteFile(h, &file, sizeof(file), &written, nullptr) &&
              WriteFile(h, &info, sizeof(info), &written, nullptr) &&
              (cbPixels == 0 || WriteFile(h, picture.pixels.data(), cbPixels, &written, nullptr));
    CloseHandle(h);
    return ok;
}

bool ReadBmp(const std::wstring& path, Picture* picture) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return false;
    }
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER info = {};
    DWORD read = 0;
    bool ok = ReadFile(h, &file, sizeof(file), &read, nullptr) && read == sizeof(file) &&
              ReadFile(h, &info, sizeof(info), &read, nullptr) && read == sizeof(info) &&
              file.bfType == 0x4D42 && info.biBitCount == 32 && info.biCompression == BI_RGB &&
              info.biWidth > 0 && info.biWidth <= 4096 && info.biHeight < 0 &&
              info.biHeight >= -4096;
    if (ok) {
        picture->width = info.biWidth;
        picture->height = -info.biHeight;
        picture->pixels.resize(static_cast<size_t>(picture->width) * picture->height);
        const DWORD cb = static_cast<DWORD>(picture->pixels.size() * 4);
        ok = ReadFile(h, picture->pixels.data(), cb, &read, nullptr) && read == cb;
    }
    CloseHandle(h);
    return ok;
}

} // namespace shell
