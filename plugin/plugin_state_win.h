// Plug-in-wide state: the host callbacks and the registration strings
// handed to the host. One instance per loaded DLL. (The module instance
// goes to the toolkit at attach, which is all that uses it.)
#pragma once

#include <windows.h>

#include "plugin/host_exchange_win.h"

// Receives one action definition during _nbRegisterPlugIn.
using AddActionProc = int(__stdcall*)(int id, const char* name, const char* hint,
                                      const unsigned char* types, int last, int count);

constexpr int REGISTRATION_STRING_COUNT = 11;

struct PluginState {
    AddActionProc addAction = nullptr;
    HostInterfaceProc hostInterface = nullptr;
    // Title, author credit, description, then name and hint of actions 1 to 4.
    // Owned by the plug-in until detach; the host only reads them.
    HostString registration[REGISTRATION_STRING_COUNT] = {};
};

namespace plugin {
PluginState& state();
} // namespace plugin
