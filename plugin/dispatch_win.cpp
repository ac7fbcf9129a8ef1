// Actions and dialogs at the host boundary: the slots of the host's
// parameter array become texts before the layers below see them, and the
// editor's answer goes back into the slots as fresh host strings.
#include <vector>

#include "canvas/actions_win.h"
#include "editor/editor_win.h"
#include "plugin/action_table.h"
#include "plugin/plugin_win.h"

namespace plugin {

namespace {

// The texts of the first `count` slots; a null slot reads as empty.
std::vector<Text> readSlots(ParamArray params, int count) {
    std::vector<Text> texts(static_cast<size_t>(count));
    for (size_t slot = 0; slot < texts.size(); ++slot) {
        texts[slot] = fromHostString(params[slot]);
    }
    return texts;
}

} // namespace

int execAction(int id, ParamArray params) {
    if (!params) {
        return 0;
    }
    // An unknown id still has its slot 0 read, as every action does first;
    // the action code then refuses the id.
    const ActionInfo* action = findAction(id);
    return canvas::execAction(id, readSlots(params, action ? action->count : 1), hostLink());
}

int editAction(int id, ParamArray params) {
    const ActionInfo* action = findAction(id);
    if (!params || !action) {
        return 0;
    }
    std::vector<Text> texts = readSlots(params, action->count);
    if (!editor::editAction(id, &texts, hostLink())) {
        return 0;
    }
    // Every text is in hand before the first slot changes: a failure above
    // leaves all of them as they were.
    for (size_t slot = 0; slot < texts.size(); ++slot) {
        setParamString(&params[slot], texts[slot]);
    }
    return 1;
}

void about() {
    editor::about(PLUGIN_TITLE, PLUGIN_AUTHOR);
}

} // namespace plugin
