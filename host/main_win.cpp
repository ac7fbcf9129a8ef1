// canvas-host: the reference host program. Loads a plug-in, registers it and
// prints what it received.
#include <cstdio>
#include <string>

#include "host/host_win.h"

namespace {

void printRegistration(const host::Host& h) {
    std::printf("title: %s\n", h.title ? h.title : "(null)");
    std::printf("author: %s\n", h.author ? h.author : "(null)");
    std::printf("description: %s\n", h.description ? h.description : "(null)");
    for (const host::ActionDef& a : h.actions) {
        std::printf("action %d: %s - %s - types", a.id, a.name.c_str(), a.hint.c_str());
        for (unsigned char t : a.types) {
            std::printf(" %d", t);
        }
        std::printf("\n");
    }
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring pluginPath = L"canvas.nbp";
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--plugin" && i + 1 < argc) {
            pluginPath = argv[++i];
        }
    }
    host::PluginModule plugin(pluginPath);
    if (!plugin.ok()) {
        std::fprintf(stderr, "cannot load plug-in %ls\n", pluginPath.c_str());
        return 1;
    }
    host::Host h;
    h.connect(plugin);
    printRegistration(h);
    std::fflush(stdout);
    return 0;
}
