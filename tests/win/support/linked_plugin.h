// The plug-in's own code linked into the test program, attached as the DLL attaches itself
// and answered by the current host::Host: the loaded DLL keeps its reasons to itself, so
// this copy is the one whose reason for a 0 (canvas::lastFailure) a test can read.
#pragma once

#include <ostream>
#include <vector>

#include "canvas/failure.h"

namespace canvas {
// How a test failure shows a reason: its number in canvas/failure.h.
inline void PrintTo(ActionFailure why, std::ostream* out) {
    *out << "ActionFailure " << static_cast<int>(why);
}
} // namespace canvas

class LinkedPlugin {
  public:
    LinkedPlugin();
    ~LinkedPlugin(); // every canvas this copy made goes
    LinkedPlugin(const LinkedPlugin&) = delete;
    LinkedPlugin& operator=(const LinkedPlugin&) = delete;

    // Runs action `id` here on a parameter array of `texts` (null entries left null), then
    // dispatches the messages it left. Returns the reason of its 0, or None when it returned
    // 1; a 0 without a reason or a 1 with one fails the test.
    canvas::ActionFailure reasonOf(int id, const std::vector<const char*>& texts);
    // The same on a null parameter array.
    canvas::ActionFailure reasonOfNullArray(int id);
};
