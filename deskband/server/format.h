// Bounded wide formatting: never writes past the buffer and always leaves it
// terminated.
#pragma once

#include <windows.h>
#include <cstddef>

// E_INVALIDARG for a capacity of 0 or above 0x7FFFFFFF (nothing written);
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) when the text had to be cut
// (the buffer then holds its first capacity - 1 characters); S_OK otherwise.
HRESULT FormatToBuffer(wchar_t* buffer, size_t capacity, const wchar_t* format, ...);
