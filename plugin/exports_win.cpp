// The eight functions the host calls, exported by name with the stdcall
// convention. Everything a host can pass is checked here, once; nothing is
// thrown across this boundary.
#include "canvas/actions_win.h"
#include "editor/editor_win.h"
#include "plugin/plugin_win.h"

// The module definition (res/canvas.def) names the exports; no dllexport here,
// which would add the decorated names as well.
#define PLUGIN_EXPORT extern "C" int __stdcall

PLUGIN_EXPORT _nbRegisterPlugIn(AddActionProc addAction, int, int, int) {
    return plugin::registerPlugIn(addAction);
}

PLUGIN_EXPORT _nbInitPlugIn(int, HostString* title, HostString* author, HostString* description) {
    return plugin::initPlugIn(title, author, description);
}

PLUGIN_EXPORT _nbRegisterInterfaceAccess(HostInterfaceProc hostInterface) {
    return plugin::registerInterfaceAccess(hostInterface);
}

PLUGIN_EXPORT _nbRegisterScriptProcessor(void*) {
    return 0;
}

PLUGIN_EXPORT _nbExecAction(int id, ParamArray params) {
    return canvas::execAction(id, params);
}

PLUGIN_EXPORT _nbEditAction(int id, ParamArray params) {
    return editor::editAction(id, params);
}

PLUGIN_EXPORT _nbAbout() {
    editor::about();
    return 0;
}

PLUGIN_EXPORT _nbMessage(int code, int) {
    return plugin::message(code);
}
