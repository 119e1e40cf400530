#include "server/format.h"

#include <cstdarg>
#include <cwchar>

namespace {
constexpr size_t kMaxCapacity = 0x7FFFFFFF;
}

HRESULT FormatToBuffer(wchar_t* buffer, size_t capacity, const wchar_t* format, ...) {
    if (capacity == 0 || capacity > kMaxCapacity) {
        return E_INVALIDARG;
    }
    const size_t cchMax = capacity - 1;
    va_list args;
    va_start(args, format);
    // The counted formatter leaves the buffer unterminated when the text fills
    // it exactly, and answers -1 when the text does not fit at all.
    const int written = _vsnwprintf(buffer, cchMax, format, args);
    va_end(args);
    if (written < 0 || static_cast<size_t>(written) > cchMax) {
        buffer[cchMax] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    if (static_cast<size_t>(written) == cchMax) {
        buffer[cchMax] = L'\0';
    }
    return S_OK;
}
