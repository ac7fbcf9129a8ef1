#include "plugin/plugin_state_win.h"

PluginState& plugin::state() {
    static PluginState state;
    return state;
}
