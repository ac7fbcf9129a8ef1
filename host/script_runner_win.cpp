// The script runner: registers the plug-in, checks a script against what it
// registered and runs the commands, reporting on the console.
#include "host/app_win.h"

#include <algorithm>

#include "host/encoding_win.h"

namespace host {

namespace {

// What _nbEditAction returns when the user confirmed the editor.
const int EDIT_CONFIRMED = 1;

const char* typeName(unsigned char code) {
    switch (code) {
    case PARAM_TYPE_NUMBER:
        return "number";
    case PARAM_TYPE_TEXT:
        return "text";
    case PARAM_TYPE_OBJECT:
        return "object";
    default:
        return nullptr;
    }
}

} // namespace

// The host's parameter array for the slots: fresh GlobalAlloc'd strings,
// freed by Params at the end of the call, whoever put them there.
std::vector<const char*> slotTexts(const Slots& slots) {
    std::vector<const char*> texts;
    for (const auto& s : slots) {
        texts.push_back(s ? s->c_str() : nullptr);
    }
    return texts;
}

std::string App::withNotes(const std::string& line, const std::string& action) const {
    std::string notes;
    const std::string prefix = action + ": ";
    for (const std::string& note : notes_) {
        const bool named = !action.empty() && note.compare(0, prefix.size(), prefix) == 0;
        notes += (notes.empty() ? "" : "; ") + (named ? note.substr(prefix.size()) : note);
    }
    return notes.empty() ? line : line + " (" + notes + ")";
}

void App::reportAt(const Command& command, const std::string& message) {
    console_.err(formatError({command.line, message}, scriptName));
}

void App::connect() {
    host_.connect(plugin_);
    console_.out("title: " + (host_.title ? utf8FromAnsi(host_.title) : "(null)"));
    console_.out("author: " + (host_.author ? utf8FromAnsi(host_.author) : "(null)"));
    console_.out("description: " +
                 (host_.description ? utf8FromAnsi(host_.description) : "(null)"));
    for (const ActionDef& a : host_.actions) {
        std::string types;
        for (unsigned char t : a.types) {
            const char* name = typeName(t);
            types += (types.empty() ? "" : ", ") +
                     (name ? std::string(name) : "type " + std::to_string(t));
        }
        console_.out("action " + std::to_string(a.id) + ": " + utf8FromAnsi(a.name.c_str()) + "(" +
                     types + ") - " + utf8FromAnsi(a.hint.c_str()));
    }
}

const ActionDef* App::action(const std::string& utf8Name) const {
    const std::string name = ansiFromUtf8(utf8Name);
    for (const ActionDef& a : host_.actions) {
        if (a.name == name) {
            return &a;
        }
    }
    return nullptr;
}

bool App::check(const Script& script) {
    std::vector<RegisteredAction> registered;
    for (const ActionDef& a : host_.actions) {
        registered.push_back({utf8FromAnsi(a.name.c_str()), a.count});
    }
    const std::vector<ScriptError> faults = scriptFaults(script, registered);
    for (const ScriptError& e : faults) {
        console_.err(formatError(e, scriptName));
    }
    return faults.empty();
}

bool App::run(const Script& script) {
    bool ok = true;
    for (const Command& c : script.commands) {
        if (!main_) {
            reportAt(c, "the main window was closed; the script stops here");
            return false;
        }
        ok = run(c) && ok;
    }
    return ok;
}

bool App::pluginGone(const Command& command) {
    if (plugin_.ok()) {
        return false;
    }
    reportAt(command, "the plug-in is not loaded");
    return true;
}

CloseWith App::closeFor(const Command& command) const {
    if (command.close == CloseWith::None && unattended) {
        return CloseWith::CloseBox;
    }
    return command.close;
}

bool App::modalDone(ModalWatch& watch, const Command& command) {
    watch.disarm();
    const bool asked = !command.capture.empty() || command.close != CloseWith::None;
    if (asked && !watch.problem().empty()) {
        reportAt(command, watch.problem());
    }
    return command.capture.empty() || watch.captured();
}

bool App::run(const Command& c) {
    switch (c.op) {
    case Op::Window:
        if (!resize(c.width, c.height)) {
            reportAt(c, "the window cannot take that client size");
            return false;
        }
        return true;
    case Op::Object:
        return createObject(c);
    case Op::Destroy:
        return destroyObject(c);
    case Op::Wait:
        pump(static_cast<DWORD>(c.value));
        return true;
    case Op::Screenshot:
        if (!screenshot(wideFromUtf8(c.name))) {
            reportAt(c, "cannot write the screenshot " + c.name);
            return false;
        }
        return true;
    case Op::Unload:
        plugin_.unload();
        console_.out(from(c) + "unload");
        return true;
    case Op::Message: {
        if (pluginGone(c)) {
            return false;
        }
        int r = call([&] { return plugin_.message(c.value, 0); });
        console_.out(
            withNotes(from(c) + "message " + std::to_string(c.value) + " -> " + std::to_string(r)));
        return true;
    }
    case Op::About: {
        if (pluginGone(c)) {
            return false;
        }
        int r;
        bool ok;
        {
            ModalWatch watch(wideFromUtf8(c.capture), closeFor(c));
            r = call([&] { return plugin_.about(); });
            ok = modalDone(watch, c);
        }
        console_.out(withNotes(from(c) + "about -> " + std::to_string(r)));
        return ok;
    }
    case Op::Action:
    case Op::Edit: {
        if (pluginGone(c)) {
            return false;
        }
        const ActionDef* def = action(c.name);
        if (!def) { // check() lets no such script run; kept for single commands
            reportAt(c, "no action \"" + c.name + "\" is registered");
            return false;
        }
        Slots slots = slotsFrom(*def, c.params);
        if (c.op == Op::Action) {
            current_[def->id] = slots;
            execute(*def, slots, from(c));
            return true;
        }
        ModalWatch watch(wideFromUtf8(c.capture), closeFor(c));
        edit(*def, &slots, from(c));
        return modalDone(watch, c);
    }
    }
    return false;
}

// Missing trailing parameters are null slots, which the plug-in reads as
// empty texts; a script writes "" for an empty string.
Slots App::slotsFrom(const ActionDef& def, const std::vector<std::string>& utf8Params) const {
    Slots slots(static_cast<size_t>(std::max(def.count, 1)));
    for (size_t i = 0; i < utf8Params.size() && i < slots.size(); ++i) {
        slots[i] = ansiFromUtf8(utf8Params[i]);
    }
    return slots;
}

void App::execute(const ActionDef& def, const Slots& slots, const std::string& where) {
    Params params(slotTexts(slots));
    std::vector<HostString> before(params.data(), params.data() + params.size());
    int r = call([&] { return plugin_.execAction(def.id, params.data()); });
    const std::string name = utf8FromAnsi(def.name.c_str());
    console_.out(withNotes(where + name + " -> " + std::to_string(r), name));
    for (size_t i = 0; i < params.size(); ++i) {
        if (params.slot(i) != before[i]) {
            console_.err("  " + utf8FromAnsi(def.name.c_str()) + " replaced parameter " +
                         std::to_string(i));
        }
    }
}

int App::edit(const ActionDef& def, Slots* slots, const std::string& where) {
    Params params(slotTexts(*slots));
    int r = call([&] { return plugin_.editAction(def.id, params.data()); });
    const std::string name = utf8FromAnsi(def.name.c_str());
    console_.out(withNotes(where + "edit " + name + " -> " + std::to_string(r), name));
    Slots back;
    for (size_t i = 0; i < params.size(); ++i) {
        HostString s = params.slot(i);
        back.push_back(s ? std::optional<std::string>(s) : std::nullopt);
        console_.out("  " + std::to_string(i) + ": " + (s ? quote(utf8FromAnsi(s)) : "(null)"));
    }
    if (r == EDIT_CONFIRMED) {
        *slots = back;
        current_[def.id] = back;
    }
    return r;
}

} // namespace host
