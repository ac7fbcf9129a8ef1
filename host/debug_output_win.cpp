#include "host/debug_output_win.h"

#include "host/encoding_win.h"

namespace host {

namespace {

// The capture that collects now (the newest); null when there is none.
DebugOutputCapture* g_capture = nullptr;

// The exception's first two arguments: the text's length in characters,
// its terminating zero included, and its address.
const DWORD PRINT_ARGUMENTS = 2;

} // namespace

DebugOutputCapture::DebugOutputCapture() : thread_(GetCurrentThreadId()), outer_(g_capture) {
    // First in the chain: the texts must not reach a handler that would
    // take them as faults.
    handler_ = AddVectoredExceptionHandler(1, &DebugOutputCapture::onException);
    g_capture = this;
}

DebugOutputCapture::~DebugOutputCapture() {
    if (handler_) {
        RemoveVectoredExceptionHandler(handler_);
    }
    g_capture = outer_;
}

void DebugOutputCapture::add(const std::string& utf8) {
    size_t pos = 0;
    while (pos < utf8.size()) {
        size_t end = utf8.find('\n', pos);
        if (end == std::string::npos) {
            end = utf8.size();
        }
        std::string line = utf8.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines_.push_back(line);
        }
        pos = end + 1;
    }
}

LONG CALLBACK DebugOutputCapture::onException(EXCEPTION_POINTERS* pointers) {
    const EXCEPTION_RECORD* r = pointers->ExceptionRecord;
    DebugOutputCapture* capture = g_capture;
    const bool print =
        r->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C || r->ExceptionCode == DBG_PRINTEXCEPTION_C;
    // Another thread's texts are left to the debugger, if any.
    if (!print || !capture || capture->thread_ != GetCurrentThreadId() ||
        r->NumberParameters < PRINT_ARGUMENTS || !r->ExceptionInformation[1]) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    const size_t length = static_cast<size_t>(r->ExceptionInformation[0]);
    if (r->ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(r->ExceptionInformation[1]);
        capture->add(utf8FromWide(std::wstring(text, wcsnlen(text, length))));
    } else {
        const char* text = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
        capture->add(utf8FromAnsi(std::string(text, strnlen(text, length)).c_str()));
    }
    // Taken, as a debugger takes it: OutputDebugStringW then sends no ANSI
    // copy of the same text.
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace host
