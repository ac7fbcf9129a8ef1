#include "host/encoding_win.h"

#include <windows.h>

#include "host/utf8.h"

namespace host {

std::string ansi(const std::wstring& text) {
    if (text.empty()) {
        return std::string();
    }
    int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::wstring wide(const std::string& bytes) {
    if (bytes.empty()) {
        return std::wstring();
    }
    int n =
        MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.c_str(), static_cast<int>(bytes.size()), &out[0], n);
    return out;
}

std::wstring wideFromUtf8(const std::string& utf8) {
    std::u16string text;
    utf8ToUtf16(utf8, &text);
    return std::wstring(text.begin(), text.end());
}

std::string utf8FromWide(const std::wstring& text) {
    return utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

std::string ansiFromUtf8(const std::string& utf8) {
    return ansi(wideFromUtf8(utf8));
}

std::string utf8FromAnsi(const char* bytes) {
    return utf8FromWide(wide(bytes ? bytes : ""));
}

} // namespace host
