// The plug-in's behaviour behind its exports, callable from C++ (the
// exported C functions in exports_win.cpp only forward here).
#pragma once

#include <windows.h>

#include "plugin/plugin_state_win.h"

namespace plugin {

// Keeps the callback; with one, hands the host every action's definition.
int registerPlugIn(AddActionProc addAction);
// Hands the host its title, author credit and description; null addresses
// are skipped.
int initPlugIn(HostString* title, HostString* author, HostString* description);
int registerInterfaceAccess(HostInterfaceProc hostInterface);
// Codes 2 and 6 release every canvas; the plug-in stays usable.
int message(int code);

// Runs action `id` on the host's parameter array: 1 when it was carried
// out, else 0 with its reason (canvas::lastFailure). A null array reads
// nothing.
int execAction(int id, ParamArray params);
// Shows the parameter dialog of action `id`; on "OK" every slot of the
// action is replaced by a fresh host string of its field and 1 returned,
// else 0 with the slots untouched. A null array or an unknown id: 0 at
// once, nothing read.
int editAction(int id, ParamArray params);
// The About box with the plug-in's title and author credit.
void about();

// DLL attach and unload: the runtime support, the canvas registry and the
// registration strings, started and stopped in order. At process exit
// nothing is stopped: the system reclaims it all.
void attach(HINSTANCE module);
void detach();

} // namespace plugin
