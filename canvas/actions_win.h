// Execution of the four actions (_nbExecAction).
#pragma once

#include "plugin/host_exchange_win.h"

namespace canvas {

// Runs action `id` with the host's parameter array. 1 when the action was
// carried out, 0 otherwise; slot 0 (the canvas name) is read before the id.
int execAction(int id, ParamArray params);

} // namespace canvas
