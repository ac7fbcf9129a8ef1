// Fuzzes the reference host's script parser: it must take any bytes without
// fault, every parameter it reads must survive quoting and reading again, and
// the UTF-8 it accepts must be exactly what the encoder writes back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/script.h"
#include "host/utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    host::Script script = host::parseScript(text);
    for (const host::ScriptError& e : script.errors) {
        if (e.line < 1 || e.message.empty()) {
            std::abort();
        }
    }
    for (const host::Command& c : script.commands) {
        if (c.op != host::Op::Action) {
            continue;
        }
        std::string line = "kiv_A"; // the name may hold a byte order mark

        for (const std::string& p : c.params) {
            line += " " + host::quote(p);
        }
        host::Script again = host::parseScript(line);
        if (!again.ok() || again.commands.size() != 1 || again.commands[0].params != c.params) {
            std::abort();
        }
    }
    std::u16string wide;
    if (host::utf8ToUtf16(text, &wide) && host::utf16ToUtf8(wide) != text) {
        std::abort();
    }
    return 0;
}
