// What a plug-in writes with OutputDebugString while the host calls it,
// read in the host itself, with no debugger attached.
//
// OutputDebugString raises an exception that a debugger, when there is one,
// takes as the text: DBG_PRINTEXCEPTION_WIDE_C with the wide text (Windows 10
// and later, from OutputDebugStringW) and DBG_PRINTEXCEPTION_C with the ANSI
// text (every Windows; also OutputDebugStringW's fallback when nobody took
// the wide one). A vectored handler sees them first, as a debugger would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace host {

// While one exists, the texts that this thread writes with
// OutputDebugStringA or OutputDebugStringW are collected here, one entry per
// line (UTF-8, line ends taken off, empty lines dropped), and go no further:
// neither to a debugger nor to a debug-output viewer. Captures nest: the
// newest one collects.
class DebugOutputCapture {
  public:
    DebugOutputCapture();
    ~DebugOutputCapture();
    DebugOutputCapture(const DebugOutputCapture&) = delete;
    DebugOutputCapture& operator=(const DebugOutputCapture&) = delete;

    // False when the handler could not be installed: nothing is collected.
    bool ok() const { return handler_ != nullptr; }
    const std::vector<std::string>& lines() const { return lines_; }

  private:
    static LONG CALLBACK onException(EXCEPTION_POINTERS* pointers);
    void add(const std::string& utf8);

    void* handler_ = nullptr; // AddVectoredExceptionHandler's handle, owned
    DWORD thread_ = 0;
    DebugOutputCapture* outer_ = nullptr; // not owned: the capture this one hides
    std::vector<std::string> lines_;
};

} // namespace host
