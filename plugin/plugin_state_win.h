// Plug-in-wide state: the host callbacks and the registration strings
// handed to the host. One instance per loaded DLL. (The module instance
// goes to the toolkit at attach, which is all that uses it.)
#pragma once

#include <windows.h>

#include "canvas/action_table.h"
#include "plugin/host_exchange_win.h"

// Receives one action definition during _nbRegisterPlugIn.
using AddActionProc = int(__stdcall*)(int id, const char* name, const char* hint,
                                      const unsigned char* types, int last, int count);

// What the host shows of the plug-in (_nbInitPlugIn), and the About box.
inline constexpr const char16_t* PLUGIN_TITLE = u"KivCanvas 2D (Final)";
inline constexpr const char16_t* PLUGIN_AUTHOR = u"Kiv SDK Examples";
inline constexpr const char16_t* PLUGIN_DESCRIPTION =
    u"Permite dibujar formas y texto dentro de rectángulos.";

// Title, author credit and description, then a name and a hint per action.
enum {
    REGISTRATION_TITLE,
    REGISTRATION_AUTHOR,
    REGISTRATION_DESCRIPTION,
    REGISTRATION_FIRST_ACTION
};
constexpr int REGISTRATION_STRING_COUNT = REGISTRATION_FIRST_ACTION + 2 * canvas::ACTION_COUNT;

struct PluginState {
    AddActionProc addAction = nullptr;
    HostInterfaceProc hostInterface = nullptr;
    // In the order above. Owned by the plug-in until detach; the host only
    // reads them.
    HostString registration[REGISTRATION_STRING_COUNT] = {};
};

namespace plugin {
PluginState& state();
} // namespace plugin
