#include "plugin/plugin_state_win.h"

PluginState& pluginState() {
    static PluginState state;
    return state;
}
