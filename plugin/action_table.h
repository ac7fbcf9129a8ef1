// The four actions the plug-in adds to the host's script language, as the
// host registers them. Platform-free: the editor and the tests read it too.
#pragma once

#include "canvas/action_ids.h"

constexpr int PARAM_NUMBER = 3;
constexpr int PARAM_TEXT = 4;
constexpr int PARAM_OBJECT = 8;

constexpr int MAX_ACTION_PARAMS = 7;
// The host reads the parameter types of an action from a buffer of this
// size, whatever the action's count; the unused codes are zero.
constexpr int HOST_PARAM_TYPES_SIZE = 12;

struct ActionInfo {
    int id;
    const char16_t* name;
    const char16_t* hint;
    int count;
    unsigned char types[MAX_ACTION_PARAMS];
};

extern const ActionInfo ACTIONS[ACTION_COUNT];

// The action with that id, or null for an id outside 1 to 4.
const ActionInfo* findAction(int id);

extern const char16_t* const PLUGIN_TITLE;
extern const char16_t* const PLUGIN_AUTHOR;
extern const char16_t* const PLUGIN_DESCRIPTION;
