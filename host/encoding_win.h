// Text between the host's three encodings: script files and the console are
// UTF-8, Windows calls take wide (UTF-16) text, and the plug-in reads and
// writes ANSI, the process code page (CP_ACP).
#pragma once

#include <string>

namespace host {

// ANSI bytes of a wide text and back. A character the code page lacks
// becomes the code page's default character.
std::string ansi(const std::wstring& text);
std::wstring wide(const std::string& bytes);

// UTF-8 to wide; malformed UTF-8 (which a parsed script never holds) ends
// the text at the fault.
std::wstring wideFromUtf8(const std::string& utf8);
std::string utf8FromWide(const std::wstring& text);

// UTF-8 to ANSI and back, through wide text. A null string reads as empty.
std::string ansiFromUtf8(const std::string& utf8);
std::string utf8FromAnsi(const char* bytes);

} // namespace host
