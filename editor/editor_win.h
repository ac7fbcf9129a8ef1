// The action editor dialogs and the About box.
#pragma once

#include "plugin/host_exchange_win.h"

namespace editor {

// Shows the parameter dialog of action `id`; 1 when the user pressed "OK"
// and every slot of the action was rewritten, else 0 with the slots untouched.
// A null array, an id outside 1 to 4, or another dialog of the plug-in still
// open on this thread: 0 at once, nothing shown, nothing read.
int editAction(int id, ParamArray params);

// Shows the modal About box; returns when it is dismissed. Nothing while
// another dialog of the plug-in is open.
void about();

} // namespace editor
