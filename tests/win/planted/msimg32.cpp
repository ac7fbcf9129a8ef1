// Planted as msimg32.dll beside a copy of a test program: a file that only
// has a system DLL's name, as anything in a host's folder may. The loader
// takes it for the system's when the name comes without a path; it does
// nothing.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
