#include "canvas/failure.h"

namespace canvas {

Text failureLine(const char16_t* who, ActionFailure why, const Text& value) {
    Text line(who);
    line += u": ";
    line += FAILURE_TEXTS[static_cast<size_t>(why)].text;
    const size_t at = line.find(u"{}");
    if (at != Text::npos) {
        line.replace(at, 2, value);
    }
    return line;
}

} // namespace canvas
