// The eight functions the host calls, exported by name with the stdcall
// convention. Everything a host can pass is checked here, once; nothing is
// thrown across this boundary.
#include "base/boundary.h"
#include "plugin/plugin_win.h"

// The module definition (res/canvas.def) names the exports; no dllexport here,
// which would add the decorated names as well.
#define PLUGIN_EXPORT extern "C" int __stdcall

namespace {

// Runs the work of one export. An exception can only mean that memory ran
// out (a host string too large to copy, a table that cannot grow); it ends
// the call with 0 here, because unwinding into the host, which cannot catch
// it, would end the host's process.
template <typename Work> int guarded(Work work) noexcept {
    return atBoundary(work, [] { return 0; });
}

} // namespace

PLUGIN_EXPORT _nbRegisterPlugIn(AddActionProc addAction, int, int, int) {
    return guarded([&] { return plugin::registerPlugIn(addAction); });
}

PLUGIN_EXPORT _nbInitPlugIn(int, HostString* title, HostString* author, HostString* description) {
    return guarded([&] { return plugin::initPlugIn(title, author, description); });
}

PLUGIN_EXPORT _nbRegisterInterfaceAccess(HostInterfaceProc hostInterface) {
    return plugin::registerInterfaceAccess(hostInterface);
}

PLUGIN_EXPORT _nbRegisterScriptProcessor(void*) {
    return 0;
}

PLUGIN_EXPORT _nbExecAction(int id, ParamArray params) {
    return guarded([&] { return plugin::execAction(id, params); });
}

PLUGIN_EXPORT _nbEditAction(int id, ParamArray params) {
    return guarded([&] { return plugin::editAction(id, params); });
}

PLUGIN_EXPORT _nbAbout() {
    return guarded([] {
        plugin::about();
        return 0;
    });
}

PLUGIN_EXPORT _nbMessage(int code, int) {
    return guarded([&] { return plugin::message(code); });
}
