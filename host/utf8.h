// UTF-8, the encoding of script files and of the host's console, to UTF-16
// and back. Platform-free.
#pragma once

#include <string>

namespace host {

// Strict UTF-8 to UTF-16 into *out: false for malformed input (overlong
// forms, surrogates, truncated sequences, values above U+10FFFF), with *out
// then holding whatever came before the fault.
bool utf8ToUtf16(const std::string& utf8, std::u16string* out);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string utf16ToUtf8(const std::u16string& text);

} // namespace host
