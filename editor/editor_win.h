// The action editor dialogs and the About box.
#pragma once

#include "plugin/host_exchange_win.h"

namespace editor {

// Shows the parameter dialog of action `id`; 1 when the user pressed "OK"
// and every slot of the action was rewritten, else 0 with the slots untouched.
int editAction(int id, ParamArray params);

// Shows the modal About box; returns when it is dismissed.
void about();

} // namespace editor
