// Actions and dialogs at the host boundary: the slots of the host's
// parameter array become texts before the layers below see them, and the
// editor's answer goes back into the slots as fresh host strings.
#include <new>
#include <vector>

#include "canvas/action_table.h"
#include "canvas/actions_win.h"
#include "canvas/convert.h"
#include "canvas/failure.h"
#include "editor/editor_win.h"
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
    canvas::beginCall(u"_nbExecAction");
    if (!params) {
        return canvas::refuse(canvas::ActionFailure::NoParameters);
    }
    // An unknown id still has its slot 0 read, as every action does first;
    // the action code then refuses the id.
    const canvas::ActionDescriptor* action = canvas::findAction(id);
    std::vector<Text> slots;
    try {
        slots = readSlots(params, action ? action->paramCount : 1);
    } catch (const std::bad_alloc&) {
        // A slot too large to hold as text.
        return canvas::refuse(canvas::ActionFailure::OutOfMemory);
    }
    return canvas::execAction(id, slots, hostLink());
}

int editAction(int id, ParamArray params) {
    canvas::beginCall(u"_nbEditAction");
    if (!params) {
        return canvas::refuse(canvas::ActionFailure::NoParameters);
    }
    const canvas::ActionDescriptor* action = canvas::findAction(id);
    if (!action) {
        return canvas::refuse(canvas::ActionFailure::UnknownAction, formatNumber(id));
    }
    std::vector<Text> texts;
    try {
        texts = readSlots(params, action->paramCount);
    } catch (const std::bad_alloc&) {
        return canvas::refuse(canvas::ActionFailure::OutOfMemory);
    }
    if (!editor::editAction(id, &texts, hostLink())) {
        return 0; // the editor gave its reason
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
