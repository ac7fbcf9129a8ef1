#include "plugin/plugin_win.h"

namespace plugin {

int message(int code) {
    (void)code;
    return 0;
}

void attach(HINSTANCE module) {
    pluginState().module = module;
}

void detach() {
    PluginState& state = pluginState();
    for (HostString& s : state.registration) {
        freeHostString(s);
        s = nullptr;
    }
}

} // namespace plugin
