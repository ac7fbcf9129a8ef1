#include "canvas/action_table.h"
#include "plugin/plugin_win.h"

namespace plugin {

namespace {

// The host reads the parameter types of an action from a buffer of this
// size, whatever the action's count; the unused codes are zero.
constexpr int HOST_PARAM_TYPES_SIZE = 12;
static_assert(canvas::MAX_ACTION_PARAMS <= HOST_PARAM_TYPES_SIZE, "every type fits the buffer");

} // namespace

int registerPlugIn(AddActionProc addAction) {
    PluginState& current = state();
    current.addAction = addAction;
    if (!addAction) {
        return 0;
    }
    int at = REGISTRATION_FIRST_ACTION;
    for (const canvas::ActionDescriptor& action : canvas::ACTIONS) {
        // Strings from an earlier registration stay with the host, which may
        // still hold them; only the latest set is freed at detach.
        HostString name = toHostString(action.name);
        HostString hint = toHostString(action.hint);
        current.registration[at++] = name;
        current.registration[at++] = hint;
        unsigned char types[HOST_PARAM_TYPES_SIZE] = {};
        for (int slot = 0; slot < action.paramCount; ++slot) {
            types[slot] = static_cast<unsigned char>(action.params[slot].type);
        }
        addAction(action.id, name, hint, types, action.paramCount - 1, action.paramCount);
    }
    return 0;
}

int initPlugIn(HostString* title, HostString* author, HostString* description) {
    PluginState& current = state();
    current.registration[REGISTRATION_TITLE] = toHostString(PLUGIN_TITLE);
    current.registration[REGISTRATION_AUTHOR] = toHostString(PLUGIN_AUTHOR);
    current.registration[REGISTRATION_DESCRIPTION] = toHostString(PLUGIN_DESCRIPTION);
    HostString* const targets[REGISTRATION_FIRST_ACTION] = {title, author, description};
    for (int i = 0; i < REGISTRATION_FIRST_ACTION; ++i) {
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
