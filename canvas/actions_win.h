// Execution of the actions (_nbExecAction) and the release of every canvas
// (host notifications 2 and 6, and detach).
#pragma once

#include <vector>

#include "base/text.h"
#include "canvas/host_link.h"
#include "canvas/registry.h"

namespace canvas {

// Runs action `id` of the table (canvas/action_table.h) on the texts of its
// parameter slots (a slot the host left out reads as empty); kiv_CreateCanvas
// asks `host` for the object's window. 1 when the action was carried out,
// 0 otherwise with the reason recorded (lastFailure(), canvas/failure.h).
int execAction(int id, const std::vector<Text>& params, HostLink& host);

// The plug-in's one registry.
CanvasRegistry& registry();

// Whether closing a canvas window tells the host's object window
// (WM_PARENTNOTIFY), whose procedure then runs inside the release and may
// call the plug-in again.
enum class ParentNotice { Sent, Withheld };

// Closes every canvas window the toolkit still lists (its picture control
// goes with it), frees every image that still exists, and empties the
// registry. Canvases whose window the host destroyed are released too; a
// canvas made while the release runs (by the host's code it lets run) is
// not. Withheld: no host window procedure runs on the release's account
// (the unload, under the loader lock).
void releaseAllCanvases(ParentNotice notice = ParentNotice::Sent);

} // namespace canvas
