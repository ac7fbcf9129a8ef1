// The 32-bit plug-in unwinds its exceptions with its own DWARF tables and
// the unwinder linked into it, whatever else the host process holds.
//
// GCC's 32-bit start-up code (crtbegin) asks GetModuleHandleA whether the
// shared GCC runtime, libgcc_s_dw2-1.dll, is in the process. If it is (a
// host built with MinGW, or one that loaded another plug-in built so), it
// registers this DLL's unwind tables with that DLL's unwinder, and takes a
// LoadLibrary reference on it that its detach code drops with FreeLibrary,
// under the loader lock. But this DLL throws through the unwinder it links
// statically, which then finds no tables: the first exception, even a
// std::bad_alloc that an export is there to catch, calls abort() and ends
// the host.
//
// So this DLL's own import of GetModuleHandleA is defined here, in front of
// the one in kernel32's import library: the linker takes it and never adds
// the kernel32 import. For the shared runtime it answers "not loaded", so
// crtbegin registers the tables with the static unwinder, as in a process
// without that DLL, and loads and frees nothing. Any other name goes to the
// real function. Only crtbegin asks for that name; nothing of the plug-in's
// own code uses the A function. The static check of the shipped DLL
// (tests/pe/check_pe.py) shows that kernel32's GetModuleHandleA is not
// imported, so this definition is the one in use.
//
// The 64-bit build unwinds through the system's tables (SEH), which its
// start-up code does not register: nothing to do there.
#include <windows.h>

#if defined(__i386__)

namespace {

constexpr char SHARED_GCC_RUNTIME[] = "libgcc_s_dw2-1.dll";

char foldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Module names compared with ASCII letters taken without regard to case
// (the one name looked for is ASCII). Not _stricmp: it folds by the C
// runtime's locale, and this runs under the loader lock, from start-up
// code, where nothing of that runtime is to be relied on.
bool sameModuleName(const char* a, const char* b) {
    for (; foldAscii(*a) == foldAscii(*b); ++a, ++b) {
        if (*a == '\0') {
            return true;
        }
    }
    return false;
}

HMODULE WINAPI moduleHandleA(LPCSTR name) {
    if (name && sameModuleName(name, SHARED_GCC_RUNTIME)) {
        return nullptr;
    }
    using Real = HMODULE(WINAPI*)(LPCSTR);
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const auto real = kernel32 ? reinterpret_cast<Real>(reinterpret_cast<void*>(
                                     GetProcAddress(kernel32, "GetModuleHandleA")))
                               : nullptr;
    return real ? real(name) : nullptr;
}

} // namespace

// The import slot every `GetModuleHandleA` call of this DLL reads.
extern "C" HMODULE(WINAPI* const importedModuleHandleA)(LPCSTR) __asm__(
    "__imp__GetModuleHandleA@4") = &moduleHandleA;

#endif
