#include "base/boundary.h"
#include "plugin/plugin_win.h"

// A non-null `reserved` at DLL_PROCESS_DETACH means the process is ending:
// other threads are gone and other DLLs may be unloaded already, so nothing
// is released then; the system reclaims memory, GDI objects and windows.
// Only an unload (FreeLibrary) releases everything. The C runtime runs the
// DLL's static destructors at either detach, so every global that owns
// something lives in a NoDestroy and is released by plugin::detach alone.
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    atBoundary(
        [&] {
            switch (reason) {
            case DLL_PROCESS_ATTACH:
                plugin::attach(module);
                break;
            case DLL_PROCESS_DETACH:
                if (!reserved) {
                    plugin::detach();
                }
                break;
            default: // thread notifications: nothing
                break;
            }
        },
        [] {});
    return TRUE;
}
