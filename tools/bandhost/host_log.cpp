#include "bandhost/host_log.h"

#include <cstdarg>
#include <cstdio>

namespace bandhost {
namespace {
HANDLE g_logFile = INVALID_HANDLE_VALUE;
}

bool OpenLogFile(const std::wstring& path) {
    // Readers may open it while we write: share reading and writing.
    g_logFile = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return g_logFile != INVALID_HANDLE_VALUE;
}

void CloseLogFile() {
    if (g_logFile != INVALID_HANDLE_VALUE) {
        CloseHandle(g_logFile);
        g_logFile = INVALID_HANDLE_VALUE;
    }
}

void Log(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof(line) - 2, format, args);
    va_end(args);
    if (n < 0) {
        return;
    }
    if (n > static_cast<int>(sizeof(line)) - 3) {
        n = static_cast<int>(sizeof(line)) - 3;
    }
    line[n++] = '\n';
    line[n] = '\0';
    std::fputs(line, stdout);
    std::fflush(stdout);
    if (g_logFile != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(g_logFile, line, static_cast<DWORD>(n), &written, nullptr);
        FlushFileBuffers(g_logFile);
    }
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string Hex(HWND hwnd) {
    char text[24];
    std::snprintf(text, sizeof(text), "0x%llX",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
    return text;
}

std::string GuidText(REFGUID guid) {
    wchar_t wide[64] = {};
    StringFromGUID2(guid, wide, 64);
    char narrow[64] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof(narrow), nullptr, nullptr);
    return narrow;
}

} // namespace bandhost
