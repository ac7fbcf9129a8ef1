// The record of the current call's reason. The one file that the
// diagnostic build (CANVAS_DIAGNOSTICS) compiles differently: there every
// refusal also writes its line with OutputDebugStringW, which a debugger or
// a debug-output viewer shows. The product writes nothing.
#include "canvas/failure.h"

#include "base/no_destroy.h"

#ifdef CANVAS_DIAGNOSTICS
#include <windows.h>

#include "base/text_win.h"
#endif

namespace canvas {

namespace {

// The line is composed when asked for, from these three.
const char16_t* g_who = u"";
ActionFailure g_lastFailure = ActionFailure::None;
NoDestroy<Text> g_value; // what caused the last refusal

} // namespace

void beginCall(const char16_t* who) {
    g_who = who;
    g_lastFailure = ActionFailure::None;
}

int refuse(ActionFailure why, const Text& value) {
    g_lastFailure = why;
    // A value too large to copy is left out rather than lose the reason.
    try {
        *g_value = value;
#ifdef CANVAS_DIAGNOSTICS
        OutputDebugStringW(wstr(failureLine(g_who, why, value) + u"\n"));
#endif
    } catch (...) {
        g_value->clear();
    }
    return 0;
}

ActionFailure lastFailure() {
    return g_lastFailure;
}

void forgetLastFailure() {
    g_lastFailure = ActionFailure::None;
    g_value.destroy();
}

Text lastFailureLine() {
    return g_lastFailure == ActionFailure::None ? Text()
                                                : failureLine(g_who, g_lastFailure, *g_value);
}

} // namespace canvas
