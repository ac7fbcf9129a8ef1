#include "host/host_win.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {
Host* g_current = nullptr;
} // namespace

HostString allocString(const std::string& bytes) {
    auto block = static_cast<HostString>(GlobalAlloc(GMEM_FIXED, bytes.size() + 1));
    if (block) {
        std::memcpy(block, bytes.c_str(), bytes.size() + 1);
    }
    return block;
}

void freeString(HostString s) {
    if (s) {
        GlobalFree(s);
    }
}

//--- PluginModule

template <typename F> static void resolve(HMODULE module, const char* name, F& fn, bool& ok) {
    fn = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    ok = ok && fn != nullptr;
}

PluginModule::PluginModule(const std::wstring& path) {
    module_.reset(LoadLibraryW(path.c_str()));
    if (!module_) {
        return;
    }
    ok_ = true;
    resolve(module_.get(), "_nbRegisterPlugIn", registerPlugIn, ok_);
    resolve(module_.get(), "_nbInitPlugIn", initPlugIn, ok_);
    resolve(module_.get(), "_nbRegisterInterfaceAccess", registerInterfaceAccess, ok_);
    resolve(module_.get(), "_nbRegisterScriptProcessor", registerScriptProcessor, ok_);
    resolve(module_.get(), "_nbExecAction", execAction, ok_);
    resolve(module_.get(), "_nbEditAction", editAction, ok_);
    resolve(module_.get(), "_nbAbout", about, ok_);
    resolve(module_.get(), "_nbMessage", message, ok_);
}

PluginModule::~PluginModule() {
    unload();
}

void PluginModule::unload() {
    module_.reset();
    ok_ = false;
}

//--- Host

Host::Host() {
    g_current = this;
}

Host::~Host() {
    if (g_current == this) {
        g_current = nullptr;
    }
}

Host* Host::current() {
    return g_current;
}

void Host::connect(PluginModule& plugin) {
    plugin.registerInterfaceAccess(&Host::interfaceProc);
    plugin.registerPlugIn(&Host::addActionProc, 0, 0, 0);
    plugin.initPlugIn(0, &title, &author, &description);
}

int __stdcall Host::addActionProc(int id, const char* name, const char* hint,
                                  const unsigned char* types, int last, int count) {
    Host* self = g_current;
    if (!self) {
        return 0;
    }
    ActionDef def;
    def.id = id;
    def.namePtr = name;
    def.hintPtr = hint;
    def.name = name ? name : "";
    def.hint = hint ? hint : "";
    if (types && count > 0) {
        def.types.assign(types, types + count);
    }
    def.last = last;
    def.count = count;
    self->actions.push_back(def);
    return 1;
}

int __stdcall Host::interfaceProc(int command, HostString* slot) {
    Host* self = g_current;
    if (!self || !slot) {
        return 0;
    }
    InterfaceCall call;
    call.command = command;
    call.request = *slot;
    call.requestText = *slot ? *slot : "";
    self->calls.push_back(call);
    if (self->answer) {
        return self->answer(command, slot);
    }
    return self->defaultAnswer(command, slot);
}

// Replaces the request with a reply, freeing the request as the host must
// when it swaps the slot's string.
static int reply(HostString* slot, const std::string& text) {
    freeString(*slot);
    *slot = allocString(text);
    return 1;
}

int Host::defaultAnswer(int command, HostString* slot) {
    switch (command) {
    case COMMAND_OBJECT_WINDOW: {
        auto it = objects.find(*slot ? *slot : "");
        if (it == objects.end()) {
            return 0;
        }
        return reply(slot, std::to_string(reinterpret_cast<uintptr_t>(it->second)));
    }
    case COMMAND_PICK_OBJECT: {
        std::string name;
        if (!pickObject || !pickObject(&name)) {
            return 0;
        }
        return reply(slot, name);
    }
    case COMMAND_PICK_COLOUR: {
        COLORREF colour = 0;
        if (!pickColour || !pickColour(&colour)) {
            return 0;
        }
        char text[sizeof "$BBGGRR"];
        std::snprintf(text, sizeof text, "$%02X%02X%02X", GetBValue(colour), GetGValue(colour),
                      GetRValue(colour));
        return reply(slot, text);
    }
    default:
        return 0;
    }
}

//--- Params

Params::Params(const std::vector<const char*>& texts) {
    for (const char* t : texts) {
        slots_.push_back(t ? allocString(t) : nullptr);
    }
}

Params::~Params() {
    for (HostString s : slots_) {
        freeString(s);
    }
}

} // namespace host
