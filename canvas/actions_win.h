// Execution of the four actions (_nbExecAction) and the release of every
// canvas (host notifications 2 and 6, and detach).
#pragma once

#include "canvas/registry.h"
#include "plugin/host_exchange_win.h"

namespace canvas {

// Runs action `id` with the host's parameter array. 1 when the action was
// carried out, 0 otherwise; slot 0 (the canvas name) is read before the id,
// and a null array reads nothing.
int execAction(int id, ParamArray params);

// The plug-in's one registry.
CanvasRegistry& registry();

// Closes every canvas window the toolkit still lists (its picture control
// goes with it), frees every image that still exists, and empties the
// registry. Canvases whose window the host destroyed are released too.
void releaseAllCanvases();

} // namespace canvas
