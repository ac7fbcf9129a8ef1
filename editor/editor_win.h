// The action editor dialogs and the About box.
#pragma once

#include <vector>

#include "base/text.h"
#include "canvas/host_link.h"

namespace editor {

// Shows the parameter dialog of action `id` with one field per text of
// *slots; the "..." buttons ask `host`. 1 when the user pressed "OK": every
// text of *slots then holds its field. Else 0 with *slots untouched and
// the reason recorded (canvas/failure.h). An id no action has, or another
// dialog of the plug-in still open on this thread: 0 at once, nothing shown.
int editAction(int id, std::vector<Text>* slots, HostLink& host);

// Shows the modal About box with the plug-in's title and author credit;
// returns when it is dismissed. Nothing while another dialog of the
// plug-in is open.
void about(const Text& title, const Text& credit);

} // namespace editor
