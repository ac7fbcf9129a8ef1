#include "plugin/action_table.h"
#include "plugin/plugin_win.h"

#include <cstring>

namespace plugin {

enum { TITLE, AUTHOR, DESCRIPTION, FIRST_ACTION_STRING };

int registerPlugIn(AddActionProc addAction) {
    PluginState& current = state();
    current.addAction = addAction;
    if (!addAction) {
        return 0;
    }
    for (const ActionInfo& action : ACTIONS) {
        // Strings from an earlier registration stay with the host, which may
        // still hold them; only the latest set is freed at detach.
        const int at = FIRST_ACTION_STRING + 2 * (action.id - 1);
        HostString name = toHostString(action.name);
        HostString hint = toHostString(action.hint);
        current.registration[at] = name;
        current.registration[at + 1] = hint;
        unsigned char types[HOST_PARAM_TYPES_SIZE] = {};
        std::memcpy(types, action.types, static_cast<size_t>(action.count));
        addAction(action.id, name, hint, types, action.count - 1, action.count);
    }
    return 0;
}

int initPlugIn(HostString* title, HostString* author, HostString* description) {
    PluginState& current = state();
    current.registration[TITLE] = toHostString(PLUGIN_TITLE);
    current.registration[AUTHOR] = toHostString(PLUGIN_AUTHOR);
    current.registration[DESCRIPTION] = toHostString(PLUGIN_DESCRIPTION);
    HostString* targets[] = {title, author, description};
    for (int i = 0; i < 3; ++i) {
        if (targets[i]) {
            *targets[i] = current.registration[i];
        }
    }
    return 0;
}

int registerInterfaceAccess(HostInterfaceProc hostInterface) {
    state().hostInterface = hostInterface;
    return 0;
}

} // namespace plugin
