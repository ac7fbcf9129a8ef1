// The text type at the Win32 boundary: Text is UTF-16, as wide strings are
// on Windows, so it crosses as LPCWSTR without conversion.
#pragma once

#include <windows.h>

#include "base/text.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide strings are UTF-16");

inline const wchar_t* wstr(const Text& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline Text textFromWide(const wchar_t* s) {
    return s ? Text(reinterpret_cast<const char16_t*>(s)) : Text();
}
