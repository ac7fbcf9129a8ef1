#include "plugin/plugin_win.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        plugin::attach(module);
        break;
    case DLL_PROCESS_DETACH:
        plugin::detach();
        break;
    default: // thread notifications: nothing
        break;
    }
    return TRUE;
}
